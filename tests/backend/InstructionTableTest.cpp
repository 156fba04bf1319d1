// The instruction table of docs/instructions.md, held against the built-in
// instruction set: every form of the set is a row and every row a form of the
// set, with the same opcode, select value, operand names and accepted ranges,
// and every row's example assembles to that very form.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "BackendTestSupport.h"
#include "assembler/seq_instr_set.h"

namespace {

const char* const tablePath = VOREL_SOURCE_DIR "/docs/instructions.md";
const char* const tableHeader =
    "| mnemonic | operands | example | opcode | select | operand ranges |";

struct Operand {
    std::string name;
    std::string prefix; // "R" for a register, empty for an immediate
    int64_t min = 0, max = 0;

    bool operator==(const Operand& other) const {
        return name == other.name && prefix == other.prefix && min == other.min && max == other.max;
    }
};

struct Row {
    int lineNr = 0; // in the markdown file; 0 for a row made from the set
    std::string mnemonic;
    std::string signature;
    std::string example;
    unsigned long long opcode = 0, select = 0;
    std::vector<Operand> operands;
};

std::string trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// A cell written as `text`.
std::string unquote(const std::string& cell) {
    if (cell.size() >= 2 && cell.front() == '`' && cell.back() == '`')
        return cell.substr(1, cell.size() - 2);
    return cell;
}

std::string rangeText(const Operand& operand) {
    return "`" + operand.name + "` " + operand.prefix + std::to_string(operand.min) + " to " +
           operand.prefix + std::to_string(operand.max);
}

// The row as the table writes it; a row made from the set gets an example with
// every operand at its lowest value.
std::string rowText(const Row& row) {
    std::string example = row.example;
    if (example.empty()) {
        example = row.mnemonic;
        const char* separator = " ";
        for (const Operand& operand : row.operands) {
            example += separator + operand.prefix + std::to_string(operand.min);
            separator = ", ";
        }
    }
    std::string ranges;
    for (const Operand& operand : row.operands)
        ranges += (ranges.empty() ? "" : "; ") + rangeText(operand);
    return "| `" + row.mnemonic + "` | " +
           (row.signature.empty() ? "(none)" : "`" + row.signature + "`") + " | `" + example +
           "` | " + std::to_string(row.opcode) + " | " + std::to_string(row.select) + " | " +
           (ranges.empty() ? "(none)" : ranges) + " |";
}

Row rowOf(const SeqInstructionDef& def) {
    Row row;
    row.mnemonic = def.mnemonic;
    row.signature = def.signature.text;
    row.opcode = def.opcode;
    row.select = def.select;
    for (const auto& argument : def.arguments)
        row.operands.push_back(
            {argument->name, argument->registerPrefix, argument->min, argument->max});
    return row;
}

// "`name` R0 to R63" or "`name` -32768 to 32767"; written back, the operand
// must give the very text, so nothing is read loosely.
bool parseOperand(const std::string& text, Operand& operand) {
    const size_t nameEnd = text.find('`', 1);
    const size_t to = text.find(" to ");
    if (text.empty() || text[0] != '`' || nameEnd == std::string::npos || to == std::string::npos ||
        to < nameEnd)
        return false;
    operand.name = text.substr(1, nameEnd - 1);
    std::string low = trim(text.substr(nameEnd + 1, to - nameEnd - 1));
    std::string high = text.substr(to + 4);
    if (!low.empty() && low[0] == 'R') {
        operand.prefix = "R";
        low.erase(0, 1);
        if (!high.empty() && high[0] == 'R')
            high.erase(0, 1);
    }
    try {
        operand.min = std::stoll(low);
        operand.max = std::stoll(high);
    } catch (const std::exception&) {
        return false;
    }
    return rangeText(operand) == text;
}

// Parses one table line; false with a reason when a cell cannot be read.
bool parseRow(const std::string& line, int lineNr, Row& row, std::string& why) {
    std::vector<std::string> cells;
    std::stringstream stream(line.substr(1));
    std::string cell;
    while (std::getline(stream, cell, '|'))
        cells.push_back(trim(cell));
    if (cells.size() == 7 && cells.back().empty())
        cells.pop_back();
    if (cells.size() != 6) {
        why = "expected 6 cells, found " + std::to_string(cells.size());
        return false;
    }
    row.lineNr = lineNr;
    row.mnemonic = unquote(cells[0]);
    row.signature = cells[1] == "(none)" ? "" : unquote(cells[1]);
    row.example = unquote(cells[2]);
    try {
        row.opcode = std::stoull(cells[3]);
        row.select = std::stoull(cells[4]);
    } catch (const std::exception&) {
        why = "opcode or select is not a number";
        return false;
    }
    if (cells[5] == "(none)")
        return true;
    std::stringstream ranges(cells[5]);
    std::string range;
    while (std::getline(ranges, range, ';')) {
        const std::string text = trim(range);
        Operand operand;
        if (!parseOperand(text, operand)) {
            why = "operand range '" + text + "' is not written as `name` min to max";
            return false;
        }
        row.operands.push_back(operand);
    }
    return true;
}

// The rows of the table under its header, in file order.
std::vector<Row> readTable(std::vector<std::string>& faults) {
    std::ifstream file(tablePath);
    std::vector<Row> rows;
    if (!file) {
        faults.push_back(std::string("cannot open ") + tablePath);
        return rows;
    }
    std::string line;
    int lineNr = 0;
    bool inTable = false;
    while (std::getline(file, line)) {
        ++lineNr;
        line = trim(line);
        if (!inTable) {
            inTable = line == tableHeader;
            continue;
        }
        if (line.rfind("|---", 0) == 0)
            continue;
        if (line.empty() || line[0] != '|')
            break;
        Row row;
        std::string why;
        if (parseRow(line, lineNr, row, why))
            rows.push_back(row);
        else
            faults.push_back("line " + std::to_string(lineNr) + ": " + why + ": " + line);
    }
    if (!inTable)
        faults.push_back(std::string("no line '") + tableHeader + "' in " + tablePath);
    return rows;
}

std::string where(const Row& row) {
    return "docs/instructions.md line " + std::to_string(row.lineNr) + " (`" + row.mnemonic +
           "` `" + row.signature + "`)";
}

class InstructionTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        rows = readTable(faults);
        forEachDefinition(set, [&](const SeqInstructionDef& def) { forms.push_back(rowOf(def)); });
    }

    // What the table should hold, for a message that is a fix as well.
    std::string expectedTable() const {
        std::map<std::pair<std::string, std::string>, std::string> examples;
        for (const Row& row : rows)
            examples[{row.mnemonic, row.signature}] = row.example;
        std::string text = std::string(tableHeader) + "\n|---|---|---|---|---|---|\n";
        for (Row form : forms) {
            form.example = examples[{form.mnemonic, form.signature}];
            text += rowText(form) + "\n";
        }
        return text;
    }

    SeqInstructionSet set = seq_instr_set();
    std::vector<Row> rows;
    std::vector<Row> forms; // of the set, by opcode and select
    std::vector<std::string> faults;
};

TEST_F(InstructionTableTest, EveryFormIsARowWithItsOpcodeSelectAndRanges) {
    std::map<std::pair<std::string, std::string>, const Row*> byForm;
    for (const Row& row : rows) {
        if (!byForm.emplace(std::make_pair(row.mnemonic, row.signature), &row).second)
            faults.push_back(where(row) + ": a second row for this form");
    }
    for (const Row& form : forms) {
        auto found = byForm.find({form.mnemonic, form.signature});
        if (found == byForm.end()) {
            faults.push_back("no row for `" + form.mnemonic + "` `" + form.signature +
                             "`; it would read: " + rowText(form));
            continue;
        }
        const Row& row = *found->second;
        Row fixed = form;
        fixed.example = row.example;
        if (row.opcode != form.opcode || row.select != form.select || row.operands != form.operands)
            faults.push_back(where(row) +
                             " differs from the set; it should read: " + rowText(fixed));
        byForm.erase(found);
    }
    for (const auto& extra : byForm)
        faults.push_back(where(*extra.second) + ": the set has no such form");
    std::string report;
    for (const std::string& fault : faults)
        report += fault + "\n";
    EXPECT_TRUE(faults.empty()) << report << "\nThe table as the set holds it:\n"
                                << expectedTable();
}

TEST_F(InstructionTableTest, EveryExampleAssemblesToItsOwnForm) {
    ASSERT_FALSE(rows.empty()) << (faults.empty() ? "" : faults.front());
    AssemblerRig rig;
    for (const Row& row : rows) {
        // Every label the example refers to is defined after it.
        std::string source = row.example + "\n";
        std::set<std::string> labels;
        for (size_t at = row.example.find('@'); at != std::string::npos;
             at = row.example.find('@', at + 1)) {
            const size_t end = row.example.find_first_of(" ,#", at);
            const std::string label = row.example.substr(at + 1, end - at - 1);
            if (labels.insert(label).second)
                source += label + ": nop\n";
        }
        if (rig.assemble(source) != 0) {
            ADD_FAILURE() << where(row) << ": the example `" << row.example
                          << "` does not assemble:\n"
                          << rig.errors.toStringFullReport("example");
            continue;
        }
        const auto def = set.findForBinary(rig.word(0));
        ASSERT_TRUE(def) << where(row);
        EXPECT_EQ(def->mnemonic + " " + def->signature.text, row.mnemonic + " " + row.signature)
            << where(row) << ": the example `" << row.example << "` is another form";
    }
}

} // namespace
