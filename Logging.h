// The process-wide levelled log, and THROW_BUG, the report of a broken
// internal invariant.
#pragma once

#include <pthread.h>

#include <cstdio>
#include <ctime>
#include <sstream>
#include <string>

#include "utils/StringUtils.h"

// Static members only; never instantiated.
class Logging {
public:
    Logging() = delete;

    // The level "quiet", below every message type: nothing is written.
    static constexpr int quietLevel = -1000;

    // Writes one line "tag  time prog: message" when type <= the log level.
    // Callers test the level first, so no text is built for nothing.
    static int write(int type, const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Sets level and program name; with a file name the log appends to that
    // file (false, and standard error, when it cannot be opened). The strings
    // are kept, not copied.
    static bool open(const char* progName, int level, const char* fileName);
    static bool reopen();
    static void rename(const char* progName);
    static void flush();
    static std::string getLogFileName();

    static bool setLogLevel(int level);
    // Full names or single letters, case-sensitive; false for anything else.
    static bool setLogLevel(const std::string& name);
    static int getLogLevel();
    // -1 for an unknown name.
    static int logLevelFromName(const std::string& name);
    static std::string getLogLevelName();
    static std::string logLevelToName(int level);
    static bool isLogLevelActive(int type);

    // "Mar 07 09:05:03.042": the fixed English month names, never the locale's.
    static std::string formatTimeStamp(const std::tm& time, long microseconds);

    // Writes the THROW_BUG line (unless the level is negative) and ends the
    // process with status 1. Use the THROW_BUG macro.
    [[noreturn]] static void throwBug(const char* file, int line, const char* function,
                                      const std::string& error);
    // The path of a source file of this tree relative to its root.
    static const char* relativeSourcePath(const char* file);

private:
    static pthread_mutex_t mutex;
    static const char* progName;
    static int logLevel;
    static const char* logFileName;
    static FILE* logFile;
};

void sigUsr1Handler(int signal);

// THROW_BUG("index " << i << " out of range"): the error text is built by
// stream insertion; the report carries this file, line and function.
#define THROW_BUG(error)                                                                           \
    do {                                                                                           \
        std::ostringstream throwBugText_;                                                          \
        throwBugText_ << error;                                                                    \
        Logging::throwBug(__FILE__, __LINE__, __func__, throwBugText_.str());                      \
    } while (false)
