#include "seqprocessor/SeqArgumentTable.h"

#include <cstdint>
#include <limits>
#include <memory>

#include "utils/StringUtils.h"

SeqArgumentTable::SeqArgumentTable(std::initializer_list<SeqFieldInit> fieldRows,
                                   std::initializer_list<SeqArgumentInit> argumentRows)
    : fields(fieldRows) {
    add(argumentRows);
}

SeqArgumentTable::SeqArgumentTable(const SeqFieldTable& fieldTable,
                                   std::initializer_list<SeqArgumentInit> argumentRows)
    : fields(fieldTable) {
    add(argumentRows);
}

SeqArgumentTable::~SeqArgumentTable() = default;

void SeqArgumentTable::add(const SeqArgumentInit& row) {
    std::shared_ptr<SeqField const> field = fields.findById(row.fieldId);
    if (!field) {
        SeqProcInstructionTableError error("SeqArgumentTable: Argument with Id=");
        error << row.id << " (name=\"" << vorel::orEmpty(row.name) << "\"): "
              << "could not find SeqField with fieldId=" << row.fieldId;
        throw error;
    }
    auto argument = std::make_shared<SeqArgument>();
    argument->field = field;
    argument->id = row.id;
    // A missing name or prefix counts as empty: unnamed, an immediate.
    argument->name = vorel::orEmpty(row.name);
    argument->registerPrefix = vorel::orEmpty(row.registerPrefix);
    argument->min = row.min;
    argument->max = row.max;
    if (argument->max < argument->min) {
        if (field->mask == std::numeric_limits<uint64_t>::max()) {
            // Every 64-bit value fits a 64-bit field; its mask taken as signed
            // would be -1 and leave an empty range.
            argument->min = std::numeric_limits<int64_t>::min();
            argument->max = std::numeric_limits<int64_t>::max();
        } else {
            argument->max = int64_t(field->mask);
        }
    }
    SeqIdNameLUT<SeqArgument>::add(std::move(argument));
}

void SeqArgumentTable::add(std::initializer_list<SeqArgumentInit> rows) {
    for (const SeqArgumentInit& row : rows) {
        add(row);
    }
}
