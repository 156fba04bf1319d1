#include "seqprocessor/SeqFieldTable.h"

#include <memory>

#include "utils/StringUtils.h"

SeqFieldTable::SeqFieldTable(std::initializer_list<SeqFieldInit> rows) {
    add(rows);
}

SeqFieldTable::~SeqFieldTable() = default;

void SeqFieldTable::add(std::initializer_list<SeqFieldInit> rows) {
    for (const SeqFieldInit& row : rows) {
        add(row);
    }
}

void SeqFieldTable::add(const SeqFieldInit& row) {
    // Beyond these bounds the mask computation would shift by 64 or more.
    if (row.lsb > row.msb || row.msb > 63) {
        SeqProcInstructionTableError error("SeqFieldTable: Field with Id=");
        error << row.id << " (name=\"" << vorel::orEmpty(row.name)
              << "\"): invalid bit range msb=" << row.msb << " lsb=" << row.lsb
              << " (need lsb <= msb <= 63)";
        throw error;
    }
    auto field = std::make_shared<SeqField>();
    field->id = row.id;
    // A row without a name is entered by id only.
    field->name = vorel::orEmpty(row.name);
    field->lsb = row.lsb;
    // Twice the top bit minus one, so that a 64-bit field gets all 64 bits.
    field->mask = 2 * (uint64_t(1) << (row.msb - row.lsb)) - 1;
    field->shiftedMask = field->mask << row.lsb;
    SeqIdNameLUT<SeqField>::add(std::move(field));
}

void SeqFieldTable::add(const SeqFieldTable& other) {
    for (const auto& slot : other.byId) {
        if (slot) {
            SeqIdNameLUT<SeqField>::add(std::make_shared<SeqField>(*slot));
        }
    }
}
