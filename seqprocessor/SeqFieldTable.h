// The fields of an instruction set, by id and by name.
#pragma once

#include <initializer_list>

#include "seqprocessor/SeqField.h"
#include "seqprocessor/SeqIdNameLUT.h"

class SeqFieldTable : public SeqIdNameLUT<SeqField> {
public:
    SeqFieldTable() = default;
    SeqFieldTable(std::initializer_list<SeqFieldInit> rows);
    ~SeqFieldTable() override;

    using SeqIdNameLUT<SeqField>::add;

    // One new field per row, in list order; the first failing row ends the
    // call and the rows before it stay.
    void add(std::initializer_list<SeqFieldInit> rows);
    void add(const SeqFieldInit& row);
    // New copies (not shared) of the other table's fields, in ascending id order.
    void add(const SeqFieldTable& other);
};
