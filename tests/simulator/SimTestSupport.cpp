#include "SimTestSupport.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <sstream>

// Stand-in assembler: labels "name:", registers "R<n>", label references
// "@name", integers in any base, comments after '#'.
static std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) {
        return "";
    }
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

int assembleInto(std::vector<unsigned long long>& buffer, const std::string& source,
                 std::string& message) {
    const SeqInstructionSet set = seq_instr_set();
    struct Line {
        std::string mnemonic;
        std::vector<std::string> args;
    };
    std::vector<Line> lines;
    std::map<std::string, long long> labels;
    std::istringstream in(source);
    std::string text;
    bool sim = false;
    while (std::getline(in, text)) {
        text = trim(text.substr(0, text.find('#')));
        if (text == ".SIM") {
            sim = true;
            continue;
        }
        if (text == ".CODE") {
            sim = false;
            continue;
        }
        if (sim || text.empty()) {
            continue;
        }
        size_t colon = text.find(':');
        if (colon != std::string::npos) {
            labels[trim(text.substr(0, colon))] = static_cast<long long>(lines.size());
            text = trim(text.substr(colon + 1));
            if (text.empty()) {
                continue;
            }
        }
        Line line;
        size_t sp = text.find_first_of(" \t");
        line.mnemonic = text.substr(0, sp);
        if (sp != std::string::npos) {
            std::istringstream args(text.substr(sp));
            std::string arg;
            while (std::getline(args, arg, ',')) {
                line.args.push_back(trim(arg));
            }
        }
        lines.push_back(line);
    }
    for (size_t address = 0; address < lines.size(); ++address) {
        const Line& line = lines[address];
        std::string signature;
        for (const auto& a : line.args) {
            signature += signature.empty() ? "" : ",";
            signature += a[0] == 'R' ? "R#" : "#";
        }
        auto def = set.find(line.mnemonic, signature);
        if (!def) {
            message = "no instruction " + line.mnemonic + " " + signature;
            return 1;
        }
        unsigned long long word = 0;
        set.writeOpcodeField(word, static_cast<unsigned>(def->opcode));
        set.writeSelectField(word, static_cast<unsigned>(def->select));
        for (size_t i = 0; i < line.args.size(); ++i) {
            const std::string& a = line.args[i];
            long long v = 0;
            if (a[0] == 'R') {
                v = std::strtoll(a.c_str() + 1, nullptr, 0);
            } else if (a[0] == '@') {
                v = labels.at(a.substr(1));
            } else {
                v = std::strtoll(a.c_str(), nullptr, 0);
            }
            const SeqField& f = *def->arguments[i]->field;
            word =
                (word & ~f.shiftedMask) | ((static_cast<unsigned long long>(v) & f.mask) << f.lsb);
        }
        buffer.at(address) = word;
    }
    message = "assembler finished successfully";
    return 0;
}

SimFixture::SimFixture(const std::string& source, unsigned instructionWords, unsigned dataWords) {
    assembleResult = assembleInto(buffer, source, assembleMessage);
    processor =
        std::make_unique<SeqProcessor>(seq_instr_set(), buffer.data(), instructionWords, dataWords);
    processor->classicalClockMHz = 250.0;
    processor->realtimeClockMHz = 250.0;
    sim = std::make_unique<seq_sim>(processor.get());
}
