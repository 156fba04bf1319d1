// What a user of vorelasm feels, per run of the whole program: wall time, peak
// resident set and page faults of one process, for the generated 4096-line
// program, a 200000-line source, the duplicate-label source and a source whose
// every line is an error; and, in this process, the heap bytes that one
// assembly keeps per source line (all statements stay alive to the end of an
// assembly; counted as asked of the heap, without the heap's own overhead) and
// the heap allocations it makes.
//
//   bench_process [path/to/vorelasm [runs]]      (default: the vorelasm of this build, 7 runs)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <string>
#include <vector>

#include "Logging.h"
#include "assembler/seq.h"
#include "bench/BenchSources.h"
#include "bench/HeapCounter.h"

namespace {

struct Case {
    const char* name;
    std::string file;
    int lines;
    int expectedStatus;
};

struct Run {
    double wallMs = 0;
    long peakKb = 0;
    long faults = 0;
    int status = -1;
};

Run runOnce(const std::string& vorelasm, const std::string& input, const std::string& outBase) {
    Run run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl(vorelasm.c_str(), vorelasm.c_str(), "-l", "q", "-o", outBase.c_str(), input.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return run;
    run.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.peakKb = usage.ru_maxrss;
    run.faults = usage.ru_minflt + usage.ru_majflt;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

template <typename T> T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out.flush());
}

// Heap bytes and allocations that one assembly of the text keeps, per line:
// what a fresh facade holds after it, so the blocks of its pools count whole,
// used or not, and so do the facade's own tables.
void retainedPerLine(const char* name, const std::string& text, int lines) {
    std::string message;
    {
        seq warm; // the tables made once per process are not counted
        warm.assemble(text, message);
    }
    const size_t bytesBefore = bench::liveHeapBytes();
    const size_t allocationsBefore = bench::heapAllocations();
    seq assembler;
    assembler.assemble(text, message);
    std::printf(
        "%-16s %7d lines: %6.1f bytes retained per line, %4.2f heap allocations made per line\n",
        name, lines, (double(bench::liveHeapBytes()) - double(bytesBefore)) / lines,
        double(bench::heapAllocations() - allocationsBefore) / lines);
}

struct Sources {
    bench::Source program;
    bench::Source longSource;
};

// The same texts every time: one seed.
Sources makeSources() {
    bench::ProgramGenerator generator(20261210);
    Sources sources;
    sources.program = generator.generate(bench::memoryWords, 1 << 30);
    sources.longSource = generator.generate(1 << 30, 200000);
    return sources;
}

std::string defaultVorelasm(const char* argv0) {
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string(argv0);
    const size_t slash = path.rfind('/');
    path = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    return path + "/../vorelasm";
}

} // namespace

int main(int argc, char** argv) {
    Logging::setLogLevel(std::string("quiet"));
    const std::string vorelasm = argc > 1 ? argv[1] : defaultVorelasm(argv[0]);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    if (access(vorelasm.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "bench_process: no vorelasm at %s\n", vorelasm.c_str());
        return 2;
    }
    char folder[] = "/tmp/vorel-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 2;
    const std::string dir = folder;

    const int pairs = 100000;
    std::vector<Case> cases = {
        {"program", dir + "/program.s", 0, 0},
        {"long source", dir + "/long.s", 0, 1},
        {"duplicate labels", dir + "/duplicates.s", 1 + 2 * pairs, 255},
        {"all errors", dir + "/errors.s", 2 * pairs, 255},
    };
    // The sources are made in a child of their own: a run's peak resident set
    // counts the pages of the process that forked it, so this one stays small.
    int lines[2] = {0, 0};
    int channel[2];
    if (pipe(channel) != 0)
        return 2;
    const pid_t writer = fork();
    if (writer == 0) {
        const Sources sources = makeSources();
        const int counts[2] = {sources.program.lines, sources.longSource.lines};
        const bool written = writeText(cases[0].file, *sources.program.text) &&
                             writeText(cases[1].file, *sources.longSource.text) &&
                             writeText(cases[2].file, bench::duplicateLabelSource(pairs)) &&
                             writeText(cases[3].file, bench::allErrorsSource(2 * pairs));
        _exit(written && write(channel[1], counts, sizeof counts) == sizeof counts ? 0 : 1);
    }
    close(channel[1]);
    int writerStatus = 0;
    const bool gotLines = writer > 0 && read(channel[0], lines, sizeof lines) == sizeof lines;
    close(channel[0]);
    if (writer < 0 || waitpid(writer, &writerStatus, 0) != writer || !gotLines ||
        !WIFEXITED(writerStatus) || WEXITSTATUS(writerStatus) != 0) {
        std::fprintf(stderr, "bench_process: could not write the sources into %s\n", folder);
        return 2;
    }
    cases[0].lines = lines[0];
    cases[1].lines = lines[1];

    std::printf("vorelasm: %s, %d runs each, medians\n", vorelasm.c_str(), runs);
    bool ok = true;
    for (const Case& c : cases) {
        std::vector<double> wall;
        std::vector<long> peak, faults;
        for (int r = 0; r < runs; ++r) {
            const Run run = runOnce(vorelasm, c.file, dir + "/out");
            if (run.status != c.expectedStatus) {
                std::fprintf(stderr, "bench_process: %s exited with %d, expected %d\n", c.name,
                             run.status, c.expectedStatus);
                ok = false;
                break;
            }
            wall.push_back(run.wallMs);
            peak.push_back(run.peakKb);
            faults.push_back(run.faults);
        }
        if (wall.empty())
            continue;
        std::printf("%-16s %7d lines: %9.1f ms per run, peak RSS %7ld kB, %6ld page faults, "
                    "%6.1f bytes of peak RSS per line\n",
                    c.name, c.lines, median(wall), median(peak), median(faults),
                    median(peak) * 1024.0 / c.lines);
    }

    const Sources sources = makeSources();
    retainedPerLine("program", *sources.program.text, sources.program.lines);
    retainedPerLine("long source", *sources.longSource.text, sources.longSource.lines);

    for (const char* name : {"program.s", "long.s", "duplicates.s", "errors.s", "out.hex"})
        std::remove((dir + "/" + name).c_str());
    rmdir(folder);
    return ok ? 0 : 1;
}
