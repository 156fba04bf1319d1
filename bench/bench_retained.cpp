// What a long-lived facade keeps: one seq, as a library front end holds it,
// assembles a 200000-line source and then many small ones; after each stage it
// prints the heap bytes the process holds (the facade's pools and tables, as
// asked of the heap, without the heap's own overhead), its resident set now
// and at its peak. Room kept for a source long gone shows as heap bytes that
// do not fall back after the small assemblies. Room given back to the heap
// stays resident while the heap keeps it; the last line shows what trimming
// the heap then returns to the system.
//
//   bench_retained [small-assemblies [lines-of-each]]   (default: 100 of 200 lines)
#include <sys/resource.h>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>

#include "Logging.h"
#include "assembler/seq.h"
#include "bench/BenchSources.h"
#include "bench/HeapCounter.h"

namespace {

long residentKilobytes() {
    long pages = 0, resident = 0;
    std::ifstream statm("/proc/self/statm");
    if (!(statm >> pages >> resident))
        return -1;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long peakKilobytes() {
    struct rusage usage {};
    return getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_maxrss : -1;
}

void report(const char* stage, size_t baseBytes, int errors) {
    std::printf("%-28s %3d errors: heap %9.1f kB held, resident %7ld kB, peak %7ld kB\n", stage,
                errors, (double(bench::liveHeapBytes()) - double(baseBytes)) / 1024.0,
                residentKilobytes(), peakKilobytes());
}

} // namespace

int main(int argc, char** argv) {
    Logging::setLogLevel(std::string("quiet"));
    const int smallRuns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const int smallLines = argc > 2 ? std::max(8, std::atoi(argv[2])) : 200;

    bench::ProgramGenerator generator(20261210);
    const bench::Source longSource = generator.generate(1 << 30, 200000);
    const bench::Source small = generator.generate(1 << 30, smallLines);
    std::string message;
    {
        seq warm; // the tables made once per process are not counted
        warm.assemble(*small.text, message);
    }

    const size_t base = bench::liveHeapBytes();
    seq assembler;
    report("made", base, 0);
    int errors = assembler.assemble(longSource.text, message);
    char stage[64];
    std::snprintf(stage, sizeof stage, "%d lines", longSource.lines);
    report(stage, base, errors);
    for (int run = 1; run <= smallRuns; ++run) {
        errors = assembler.assemble(small.text, message);
        if (run <= 3 || run == smallRuns) {
            std::snprintf(stage, sizeof stage, "then %d lines, run %d", small.lines, run);
            report(stage, base, errors);
        }
    }
#ifdef __GLIBC__
    malloc_trim(0);
    report("heap trimmed", base, errors);
#endif
    return errors == 0 ? 0 : 1;
}
