// vorelasm: assembles one vorel source file into a .hex file of instruction words.

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <new>
#include <string>

#include "Logging.h"
#include "assembler/seq.h"
#include "utils/StringUtils.h"

const char* programName = "vorelasm";

void help() {
    std::cout << "Usage: " << programName
              << "[-h] [-l loglevel] [-s repetitions] [-o outfilebase] [inputfile]"
              << "\nAssemble vorelasm program into binary."
              << "\nArguments:"
              << "\n\tinputfile: input file containing vorel assembly."
              << "\nOptions:"
              << "\n\t-h                 : print help"
              << "\n\t-l loglevel        : debug/d, info/i, notice/n, warning/w"
              << ", error/e, critical/c, alert/a or emergency/m."
              << "\n\t                     Default: info"
              << "\n\t-s repeat_assembly : repeat assemble of program given number of times for "
                 "stress testing."
              << "\n\t-o outfilebase     : output filename(s) without extension."
              << "\n\t                     Default: input file base (without directory, without "
                 "extension)"
              << std::endl;
}

long print_mem_usage(long, int) {
    return 0;
}

namespace {

// The .hex file goes to the current directory: the input name without its
// directory and without its last extension.
std::string outputBase(const std::string& input) {
    size_t slash = input.rfind('/');
    std::string base = slash == std::string::npos ? input : input.substr(slash + 1);
    size_t dot = base.rfind('.');
    if (dot != std::string::npos) {
        base.erase(dot);
    }
    return base;
}

// Whether both names lead to one file, through symbolic or hard links: a
// source named x.hex, or linked to from there, is never written over.
bool isSameFile(const std::string& a, const std::string& b) {
    struct stat first, second;
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// The message may be a report of every line of a large source: it is made fit
// for the log only when the level shows it.
void logMessage(const std::string& message) {
    if (Logging::getLogLevel() > 5)
        Logging::write(6, "%s", vorel::loggable(message).c_str());
}

// A run with errors must never exit with a status that reads as success.
int exitStatus(int result) {
    return result > 255 ? 255 : result;
}

int run(int argc, char** argv) {
    // Started without a name (an empty argument vector, which some kernels
    // turn into one empty argument), the program goes by its own.
    if (argc > 0 && argv[0] != nullptr && argv[0][0] != '\0') {
        programName = argv[0];
    }
    Logging::setLogLevel(std::string("info"));
    Logging::open(programName, Logging::getLogLevel(), nullptr);
    if (argc <= 0) {
        help();
        return 1;
    }
    if (argc == 1) {
        help();
        return 2;
    }

    // An empty argument is a name too: "" names a file that cannot be opened.
    bool haveInput = false;
    std::string input;
    std::string outBase;
    int repetitions = 1;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.empty() || arg[0] != '-') {
            if (haveInput) {
                Logging::write(3, "Too many non-option arguments");
                help();
                return 2;
            }
            input = arg;
            haveInput = true;
            continue;
        }
        if (arg == "-h") {
            help();
            return 1;
        }
        if (arg == "-l" || arg == "-o" || arg == "-s") {
            if (i + 1 >= argc || argv[i + 1][0] == '-') {
                Logging::write(3, "Option %s requires argument", arg.c_str());
                help();
                return 2;
            }
            std::string value = argv[++i];
            if (arg == "-l") {
                if (!Logging::setLogLevel(value)) {
                    Logging::write(3, "Unsupported log level: %s", value.c_str());
                    help();
                    return 2;
                }
            } else if (arg == "-o") {
                outBase = value;
            } else {
                char* end = nullptr;
                errno = 0;
                long long n = std::strtoll(value.c_str(), &end, 10);
                if (*end != '\0' || errno == ERANGE || n < INT_MIN || n > INT_MAX) {
                    Logging::write(3, "Error in number of repeated assembly (stress testing): %s",
                                   value.c_str());
                    help();
                    return 2;
                }
                repetitions = static_cast<int>(n);
            }
            continue;
        }
        Logging::write(3, "Unsupported option: '%s'", arg.c_str());
    }
    if (!haveInput) {
        help();
        return 2;
    }
    if (outBase.empty()) {
        outBase = outputBase(input);
    }

    // Never destroyed: the statements and lines of the last assembly would be
    // torn down one by one, which for a large source costs more than writing
    // its output, and everything the run shows is out by then (the log is
    // flushed per line, the .hex closed). A static keeps it reachable, so a
    // leak checker does not count it.
    static seq* const kept = new seq;
    seq& vorel = *kept;
    SeqAssembler::printCPU_info();
    std::string message;
    int result = 0;
    for (int j = 1; j <= repetitions; ++j) {
        result = vorel.assembleFile(input, message);
        if (result != 0 && j < repetitions) {
            logMessage(message);
        }
    }
    logMessage(message);
    if (result == 0 && repetitions > 0) {
        std::string hexName = outBase + ".hex";
        if (isSameFile(input, hexName)) {
            Logging::write(3, "output %s is the input file", hexName.c_str());
            Logging::write(3, "could not write %s", hexName.c_str());
            result = 1;
        } else if (!vorel.asm_->saveHexOutput(hexName)) {
            Logging::write(3, "could not write %s", hexName.c_str());
            result = 1;
        }
    }
    vorel.asm_->printTimers("");
    return exitStatus(result);
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        Logging::write(3, "out of memory");
        return 1;
    } catch (const std::exception& e) {
        Logging::write(3, "unexpected failure: %s", e.what());
        return 1;
    }
}
