// The arguments of an instruction set, by id and by name, with the field table
// that their rows refer to.
#pragma once

#include <initializer_list>

#include "seqprocessor/SeqArgument.h"
#include "seqprocessor/SeqFieldTable.h"
#include "seqprocessor/SeqIdNameLUT.h"

class SeqArgumentTable : public SeqIdNameLUT<SeqArgument> {
public:
    SeqFieldTable fields;

    SeqArgumentTable() = default;
    SeqArgumentTable(std::initializer_list<SeqFieldInit> fieldRows,
                     std::initializer_list<SeqArgumentInit> argumentRows);
    // Shares the given table's fields.
    SeqArgumentTable(const SeqFieldTable& fieldTable,
                     std::initializer_list<SeqArgumentInit> argumentRows);
    ~SeqArgumentTable() override;

    using SeqIdNameLUT<SeqArgument>::add;

    void add(const SeqArgumentInit& row);
    void add(std::initializer_list<SeqArgumentInit> rows);
};
