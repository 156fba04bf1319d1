#include "Logging.h"

#include <sys/time.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

pthread_mutex_t Logging::mutex = PTHREAD_MUTEX_INITIALIZER;
const char* Logging::progName = "prog";
int Logging::logLevel = 7;
const char* Logging::logFileName = nullptr;
FILE* Logging::logFile = stderr;

namespace {

struct LevelName {
    const char* name;
    int level;
};

// The order in which names are matched.
// clang-format off
const LevelName levelNames[] = {
    {"i", 6}, {"info", 6},     {"d", 7}, {"debug", 7},    {"v", 8}, {"verbose", 8},
    {"n", 5}, {"notice", 5},   {"w", 4}, {"warning", 4},  {"e", 3}, {"error", 3},
    {"c", 2}, {"critical", 2}, {"a", 1}, {"alert", 1},    {"m", 0}, {"emergency", 0},
    {"q", Logging::quietLevel}, {"quiet", Logging::quietLevel},
};

const char* const levelTags[] = {
    "*******", "****** ", "*****  ", "****   ", "***    ", "**     ", "+      ", ".      ",
    "       ",
};
// clang-format on

const char* const monthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

int Logging::write(int type, const char* format, ...) {
    if (logLevel < type)
        return 0;

    struct timeval now;
    gettimeofday(&now, nullptr);
    struct tm local;
    const time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    const std::string stamp = formatTimeStamp(local, static_cast<long>(now.tv_usec));
    const char* tag = (type >= 0 && type <= 8) ? levelTags[type] : "?      ";

    const int lockError = pthread_mutex_lock(&mutex);
    if (lockError != 0)
        fprintf(logFile, "Logging::write: pthread_mutex_lock failed (%s)", strerror(lockError));
    fprintf(logFile, "%s  %s %s: ", tag, stamp.c_str(), progName);
    va_list args;
    va_start(args, format);
    vfprintf(logFile, format, args);
    va_end(args);
    fputc('\n', logFile);
    if (lockError == 0) {
        const int unlockError = pthread_mutex_unlock(&mutex);
        if (unlockError != 0)
            fprintf(logFile, "Logging::write: pthread_mutex_unlock failed (%s)",
                    strerror(unlockError));
    }
    fflush(logFile);
    return 0;
}

std::string Logging::formatTimeStamp(const std::tm& time, long microseconds) {
    const int month = time.tm_mon >= 0 && time.tm_mon < 12 ? time.tm_mon : 0;
    char buffer[64];
    snprintf(buffer, sizeof buffer, "%s %02d %02d:%02d:%02d.%03d", monthNames[month], time.tm_mday,
             time.tm_hour, time.tm_min, time.tm_sec, static_cast<int>(microseconds / 1000));
    return buffer;
}

bool Logging::open(const char* newProgName, int level, const char* fileName) {
    logLevel = level;
    progName = newProgName;
    logFileName = fileName;
    if (!fileName)
        return false;
    // The earlier file would otherwise stay open for the rest of the process.
    if (logFile != stderr)
        fclose(logFile);
    logFile = fopen(fileName, "a");
    if (logFile)
        return true;
    logFile = stderr;
    if (logLevel >= 2)
        write(2, "Could not open log file '%s'", fileName);
    return false;
}

bool Logging::reopen() {
    if (!logFileName)
        return false;
    // Standard error is never closed: the log would be left without a stream
    // to fall back on.
    if (logFile != stderr)
        fclose(logFile);
    logFile = fopen(logFileName, "a");
    if (logFile)
        return true;
    logFile = stderr;
    if (logLevel >= 4)
        write(4, "Could not reopen log file '%s'", logFileName);
    return false;
}

void Logging::rename(const char* newProgName) {
    progName = newProgName;
}

void Logging::flush() {
    fflush(logFile);
}

std::string Logging::getLogFileName() {
    return vorel::orEmpty(logFileName);
}

bool Logging::setLogLevel(int level) {
    logLevel = level;
    return true;
}

bool Logging::setLogLevel(const std::string& name) {
    for (const LevelName& entry : levelNames) {
        if (name == entry.name) {
            logLevel = entry.level;
            return true;
        }
    }
    return false;
}

int Logging::getLogLevel() {
    return logLevel;
}

int Logging::logLevelFromName(const std::string& name) {
    for (const LevelName& entry : levelNames)
        if (name == entry.name)
            return entry.level;
    return -1;
}

std::string Logging::getLogLevelName() {
    return logLevelToName(logLevel);
}

std::string Logging::logLevelToName(int level) {
    // Every second entry holds the full name.
    for (size_t i = 1; i < sizeof levelNames / sizeof levelNames[0]; i += 2)
        if (levelNames[i].level == level)
            return levelNames[i].name;
    return "unknown";
}

bool Logging::isLogLevelActive(int type) {
    return type <= logLevel;
}

const char* Logging::relativeSourcePath(const char* file) {
    // This file lies at the root of the source tree, so its own path gives the
    // prefix to strip; other paths (or relative ones) are left as they are.
    static const char* const self = __FILE__;
    const char* slash = std::strrchr(self, '/');
    if (!slash)
        return file;
    const size_t prefix = static_cast<size_t>(slash - self) + 1;
    if (std::strncmp(file, self, prefix) == 0)
        return file + prefix;
    return file;
}

void Logging::throwBug(const char* file, int line, const char* function, const std::string& error) {
    if (getLogLevel() >= 0)
        write(0, "THROW_BUG: file='%s', line=%d, function='%s', error='%s'",
              relativeSourcePath(file), line, function, error.c_str());
    exit(1);
}

std::string stringFormat(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    const int result = vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (static_cast<unsigned>(result) > sizeof buffer - 1 && Logging::getLogLevel() >= 4)
        Logging::write(4, "stringFormat: output truncated");
    if (result < 0)
        return std::string();
    return std::string(buffer);
}

void sigUsr1Handler(int /*signal*/) {
    if (Logging::getLogLevel() >= 4)
        Logging::write(4, "sigUsr1Handler not implemented");
}
