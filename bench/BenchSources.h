// Sources for the benchmarks: a generated sequencer program of the whole
// instruction set (the same seed gives the same text), and the source whose
// every other line repeats one label.
#pragma once

#include <algorithm>
#include <memory>
#include <random>
#include <sstream>
#include <string>

namespace bench {

inline constexpr int memoryWords = 4096;
inline constexpr int labelEvery = 8;

struct Source {
    std::shared_ptr<const std::string> text;
    int lines = 0;
    int instructions = 0;
};

// Instructions drawn from the whole built-in set, register and immediate
// forms, with labels, .DEF symbols, comments and blank lines, the way a
// hand-written sequencer program mixes them. The same seed gives the same text.
class ProgramGenerator {
public:
    explicit ProgramGenerator(unsigned seed) : random(seed) {}

    // Stops at whichever comes first: the number of instructions or the
    // number of lines. The last line is always "stop".
    Source generate(int maxInstructions, int maxLines) {
        std::ostringstream os;
        int lines = 0;
        auto line = [&](const std::string& text) {
            os << text << '\n';
            ++lines;
        };
        line("; generated sequencer program");
        line(".CPU vorel");
        for (int i = 0; i < symbols; ++i) {
            line(".DEF WAVE" + std::to_string(i) + " " + std::to_string(number(0, 1023)));
            line(".DEF BIN" + std::to_string(i) + " " + std::to_string(number(0, 4095)));
        }
        line(".DEF STEPS 16");
        line(".DEF GAIN_STEP 512");
        line("");
        line(".CODE");

        // Every labelEvery-th instruction but the final stop carries a label;
        // jumps go backward or forward.
        const int body = bodyInstructions(lines, maxInstructions, maxLines);
        // Only addresses inside instruction memory can be encoded, so a source
        // longer than memory jumps only into its first memoryWords instructions.
        labels = std::max(1, (std::min(body, memoryWords) + labelEvery - 1) / labelEvery);
        int instructions = 0;
        while (instructions < body) {
            if (blockBreak(instructions, lines, maxLines)) {
                line("");
                line("; block " + std::to_string(instructions / 64));
            }
            std::string text = instructions % labelEvery == 0
                                   ? "L" + std::to_string(instructions / labelEvery) + ":"
                                   : "";
            text.resize(std::max<std::size_t>(text.size() + 1, 10), ' ');
            text += instruction();
            if (number(0, 3) == 0)
                text += "        # step " + std::to_string(instructions);
            line(text);
            ++instructions;
        }
        line("          stop");
        ++instructions;

        Source source;
        source.text = std::make_shared<const std::string>(os.str());
        source.lines = lines;
        source.instructions = instructions;
        return source;
    }

private:
    static const int symbols = 8;

    // A blank line and a comment line before every block of 64 instructions
    // after the first, while the line budget leaves room for them.
    static bool blockBreak(int instructions, int lines, int maxLines) {
        return instructions % 64 == 0 && instructions > 0 && lines + 3 < maxLines;
    }
    // The instructions before the final stop, counted by laying out the lines
    // as generate does, without their text.
    static int bodyInstructions(int lines, int maxInstructions, int maxLines) {
        int instructions = 0;
        while (instructions + 1 < maxInstructions && lines + 1 < maxLines) {
            if (blockBreak(instructions, lines, maxLines))
                lines += 2;
            ++lines;
            ++instructions;
        }
        return instructions;
    }

    std::mt19937 random;
    int labels = 1;

    long number(long low, long high) {
        return low + static_cast<long>(random() % static_cast<unsigned long>(high - low + 1));
    }
    std::string n(long low, long high) { return std::to_string(number(low, high)); }
    std::string reg() { return "R" + n(0, 63); }
    std::string count() { return n(4, 2000); }
    std::string target() { return "@L" + n(0, labels - 1); }
    std::string symbol(const char* name) { return std::string("$") + name + n(0, symbols - 1); }

    std::string instruction() {
        static const char* const alu[] = {"add", "sub", "and", "or", "xor", "asl", "asr"};
        const std::string op = alu[number(0, 6)];
        switch (number(0, 31)) {
        case 0:
        case 1:
            return "move " + n(0, 100000) + ", " + reg();
        case 2:
            return "move $STEPS, " + reg();
        case 3:
            return "move " + reg() + ", " + reg();
        case 4:
        case 5:
        case 6:
            return op + " " + reg() + ", " + n(0, 255) + ", " + reg();
        case 7:
            return "add " + reg() + ", $GAIN_STEP, " + reg();
        case 8:
        case 9:
            return op + " " + reg() + ", " + reg() + ", " + reg();
        case 10:
            return "not " + reg() + ", " + reg();
        case 11:
            return "jmp " + target();
        case 12:
            return std::string(number(0, 1) ? "jge " : "jlt ") + reg() + ", " + n(0, 50) + ", " +
                   target();
        case 13:
            return std::string(number(0, 1) ? "jge " : "jlt ") + reg() + ", " + n(0, 50) + ", " +
                   reg();
        case 14:
        case 15:
            return "loop " + reg() + ", " + target();
        case 16:
        case 17:
            return "wait " + count();
        case 18:
            return "wait " + reg();
        case 19:
            return std::string(number(0, 1) ? "wait_trigger " : "wait_sync ") + count();
        case 20:
        case 21:
            return "play " + symbol("WAVE") + ", " + n(0, 1023) + ", " + count();
        case 22:
            return "play " + reg() + ", " + reg() + ", " + count();
        case 23:
        case 24:
            return "acquire " + n(0, 63) + ", " + symbol("BIN") + ", " + count();
        case 25:
            return "acquire " + n(0, 63) + ", " + reg() + ", " + count();
        case 26:
            return "acquire_weighed " + n(0, 63) + ", " + n(0, 4095) + ", " + n(0, 63) + ", " +
                   n(0, 63) + ", " + count();
        case 27:
            return number(0, 1) ? "set_awg_gain " + n(-32768, 32767) + ", " + n(-32768, 32767)
                                : "set_awg_gain " + reg() + ", " + reg();
        case 28:
            return number(0, 1) ? "set_awg_offs " + n(-32768, 32767) + ", " + n(-32768, 32767)
                                : "set_awg_offs " + reg() + ", " + reg();
        case 29:
            return std::string(number(0, 1) ? "set_ph " : "set_ph_delta ") + n(0, 511) + ", " +
                   n(0, 511) + ", " + n(0, 8191);
        case 30:
            return number(0, 1) ? "set_mrk " + n(0, 15) : "upd_param " + count();
        default:
            return number(0, 1) ? "sw_req " + n(0, 1000) : "nop";
        }
    }
};

// "a: nop" and then `pairs` times "a: nop" and "  move 1 R1": every pair gives a
// duplicate-label error reported at the first line and a syntax error at its
// own, so errors keep arriving for the front of a growing list.
inline std::string duplicateLabelSource(int pairs) {
    std::string text = "a: nop\n";
    for (int i = 0; i < pairs; ++i)
        text += "a: nop\n  move 1 R1\n";
    return text;
}

// `lines` lines that are each a syntax error (a missing comma): a report of
// every line, which the run builds whatever the log level shows.
inline std::string allErrorsSource(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += "  move 1 R1\n";
    return text;
}

} // namespace bench
