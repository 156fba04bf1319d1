// The interface through which the section dispatch hands the lines of a
// source to the back end that owns each section (".CODE", ".SIM").
#pragma once

#include <memory>
#include <string>

#include "asmparser/AsmErrorList.h"
#include "utils/SourceLine.h"

class AsmSection {
public:
    virtual ~AsmSection() = default;
    // The directive that selects the section, with its leading '.'.
    virtual std::string asmSectionGetDirective() = 0;
    // Prepares for a new source; true when the section cannot work.
    virtual bool asmSectionStart(AsmErrorList& errors) = 0;
    // One line of the section's text; true asks to stop reading the source.
    virtual bool asmSectionProcessLine(const std::shared_ptr<const SourceLine>& line,
                                       AsmErrorList& errors) = 0;
    // The source has ended.
    virtual void asmSectionFinish(AsmErrorList& errors) = 0;
};
