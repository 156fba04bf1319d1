// Assembly speed: generated sources are assembled again and again through the
// facade, from a string, with the log quiet; prints source lines per second,
// microseconds per assembly (median and mean over the repetitions) and the
// peak resident set size of the process.
//
//   bench_assemble [repetitions-of-the-program [repetitions-of-the-long-source]]
//   bench_assemble -w file    (writes the program's source, for timing vorelasm -s)
//
// The program is 4096 instructions, exactly the instruction memory: it must
// assemble without error. The long source is 200000 valid lines: every line is
// parsed, then encoding stops with one "Program too long (" error.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Logging.h"
#include "Vorel.h"
#include "assembler/seq.h"

namespace {

const int memoryWords = 4096;
const int labelEvery = 8;

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

long peakRssKilobytes() {
    struct rusage usage {};
    return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : -1;
}

struct Timing {
    double median = 0.0;
    double mean = 0.0;
};

Timing summarize(std::vector<double> microseconds) {
    Timing timing;
    if (microseconds.empty())
        return timing;
    std::sort(microseconds.begin(), microseconds.end());
    const std::size_t half = microseconds.size() / 2;
    timing.median = microseconds.size() % 2 ? microseconds[half]
                                            : (microseconds[half - 1] + microseconds[half]) / 2;
    double total = 0.0;
    for (double value : microseconds)
        total += value;
    timing.mean = total / static_cast<double>(microseconds.size());
    return timing;
}

// Assembles the source repetitions times on one facade, as "vorelasm -s"
// does, and checks every result; false (with a line on standard error) when
// a result is not the expected one.
bool measure(const char* name, const Source& source, int repetitions, int expectedErrors,
             const std::string& expectedText) {
    seq assembler;
    Vorel& facade = assembler;
    std::vector<double> microseconds;
    microseconds.reserve(static_cast<std::size_t>(repetitions));
    std::string message;
    for (int r = 0; r < repetitions; ++r) {
        message.clear();
        const auto start = std::chrono::steady_clock::now();
        const int result = facade.assemble(source.text, message);
        const auto stop = std::chrono::steady_clock::now();
        microseconds.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
        if (result != expectedErrors || message.find(expectedText) == std::string::npos) {
            std::fprintf(stderr, "%s: assembly %d gave %d errors (expected %d):\n%.2000s\n", name,
                         r + 1, result, expectedErrors, message.c_str());
            return false;
        }
    }
    const uint32_t words = assembler.asm_->getProgramSize();
    if (words != static_cast<uint32_t>(std::min(source.instructions, memoryWords))) {
        std::fprintf(stderr, "%s: program size %u after assembly\n", name, words);
        return false;
    }
    const Timing timing = summarize(microseconds);
    std::printf("%-12s %7d lines, %6d instructions, %4d assemblies: median %10.1f us/assembly "
                "(mean %10.1f), %.3e lines/second at the median, peak RSS %ld kB\n",
                name, source.lines, source.instructions, repetitions, timing.median, timing.mean,
                timing.median > 0.0 ? source.lines / (timing.median * 1e-6) : 0.0,
                peakRssKilobytes());
    std::string result = message;
    for (char& c : result)
        c = c == '\n' ? ' ' : c;
    std::printf("%-12s result: %s\n", "", result.c_str());
    // The encoding timer of the last assembly, as vorelasm reports it.
    for (const auto& timer : assembler.asm_->getTimers()) {
        std::ostringstream text;
        timer->print(text, 3);
        std::printf("%-12s timer %s\n", "", text.str().c_str());
    }
    return true;
}

int repetitionsArgument(int argc, char** argv, int index, int fallback) {
    if (argc <= index)
        return fallback;
    char* end = nullptr;
    const long value = std::strtol(argv[index], &end, 10);
    if (*end != '\0' || value < 1 || value > 1000000) {
        std::fprintf(stderr,
                     "usage: %s [program-repetitions [long-source-repetitions]] | -w file\n",
                     argv[0]);
        std::exit(2);
    }
    return static_cast<int>(value);
}

} // namespace

int main(int argc, char** argv) {
    Logging::setLogLevel(std::string("quiet"));
    ProgramGenerator generator(20261210);
    const Source program = generator.generate(memoryWords, 1 << 30);
    if (argc == 3 && std::string(argv[1]) == "-w") {
        const std::string& text = *program.text;
        FILE* file = std::fopen(argv[2], "w");
        bool written = file != nullptr;
        if (written) {
            written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
            written = std::fclose(file) == 0 && written;
        }
        if (!written) {
            std::fprintf(stderr, "could not write %s\n", argv[2]);
            return 1;
        }
        std::printf("%s: %d lines, %d instructions\n", argv[2], program.lines,
                    program.instructions);
        return 0;
    }
    const int programRepetitions = repetitionsArgument(argc, argv, 1, 3000);
    const int longRepetitions = repetitionsArgument(argc, argv, 2, 40);
    const Source longSource = generator.generate(1 << 30, 200000);
    std::printf("peak RSS %ld kB with both sources generated\n", peakRssKilobytes());

    if (!measure("program", program, programRepetitions, 0, "assembler finished successfully"))
        return 1;
    const std::string tooLong = "Program too long (" + std::to_string(longSource.instructions) +
                                "). Maximum " + std::to_string(memoryWords) + " instructions";
    if (!measure("long source", longSource, longRepetitions, 1, tooLong))
        return 1;
    std::printf("%-12s checked: all %d instructions parsed and counted, one error only\n", "",
                longSource.instructions);
    return 0;
}
