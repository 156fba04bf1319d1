// The assembler section of the ready-made facade seq: a SeqAssembler over the
// facade's processor and syntax.
#pragma once

#include "SeqAssembler.h"
#include "asmparser/AsmSyntax.h"
#include "seqprocessor/SeqProcessor.h"

class seq_asm : public SeqAssembler {
public:
    seq_asm(SeqProcessor* processor, const AsmSyntax& syntax);
    ~seq_asm() override;
};
