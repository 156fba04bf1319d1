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
#include "bench/BenchSources.h"

namespace {

using bench::memoryWords;
using bench::ProgramGenerator;
using bench::Source;

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
