#include "Logging.h"

#include "tests/support/CapturedStderr.h"
#include "tests/support/ExitOf.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

// Every test leaves the log as it found it: level 7, name "prog", standard error.
class LoggingTest : public ::testing::Test {
protected:
    void SetUp() override {
        Logging::setLogLevel(7);
        Logging::rename("vtest");
    }
    void TearDown() override {
        Logging::setLogLevel(7);
        Logging::rename("prog");
    }
};

size_t openDescriptors() {
    size_t n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d))
            ++n;
        closedir(d);
    }
    return n;
}

const char* const stamp = R"([A-Z][a-z]{2} \d\d \d\d:\d\d:\d\d\.\d{3})";

TEST_F(LoggingTest, LineFormat) {
    captureStderr();
    EXPECT_EQ(Logging::write(6, "hello %d %s", 5, "x"), 0);
    const std::string out = capturedStderr();
    EXPECT_TRUE(std::regex_match(
        out, std::regex(std::string(R"(\+        )") + stamp + " vtest: hello 5 x\n")))
        << out;
}

TEST_F(LoggingTest, TagsPerMessageType) {
    struct Case {
        int type;
        const char* tag;
    };
    const Case cases[] = {{0, "*******"}, {1, "****** "}, {2, "*****  "}, {3, "****   "},
                          {4, "***    "}, {5, "**     "}, {6, "+      "}, {7, ".      "},
                          {8, "       "}, {9, "?      "}, {-3, "?      "}};
    Logging::setLogLevel(9);
    for (const Case& c : cases) {
        captureStderr();
        Logging::write(c.type, "m");
        const std::string out = capturedStderr();
        EXPECT_EQ(out.substr(0, 9), std::string(c.tag) + "  ") << c.type;
        // tag, blanks, time stamp, blank, "vtest: m", line feed
        EXPECT_EQ(out.size(), 9u + 19 + 1 + 8 + 1) << c.type;
    }
}

TEST_F(LoggingTest, LevelFiltersMessages) {
    Logging::setLogLevel("info");
    captureStderr();
    Logging::write(7, "suppressed");
    Logging::write(6, "shown");
    const std::string shown = capturedStderr();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1) << shown;

    Logging::setLogLevel(-1);
    EXPECT_FALSE(Logging::isLogLevelActive(0));
    captureStderr();
    Logging::write(0, "emergency at level -1");
    Logging::setLogLevel("q");
    Logging::write(-999, "quiet");
    EXPECT_EQ(capturedStderr(), "");
    EXPECT_TRUE(Logging::isLogLevelActive(-1000));
}

TEST_F(LoggingTest, LevelNames) {
    struct Case {
        const char* name;
        int level;
    };
    const Case cases[] = {
        {"i", 6},     {"info", 6},      {"d", 7},     {"debug", 7},   {"v", 8}, {"verbose", 8},
        {"n", 5},     {"notice", 5},    {"w", 4},     {"warning", 4}, {"e", 3}, {"error", 3},
        {"c", 2},     {"critical", 2},  {"a", 1},     {"alert", 1},   {"m", 0}, {"emergency", 0},
        {"q", -1000}, {"quiet", -1000}, {"INFO", -1}, {"Info", -1},   {"", -1}, {"infos", -1}};
    for (const Case& c : cases) {
        Logging::setLogLevel(3);
        EXPECT_EQ(Logging::logLevelFromName(c.name), c.level) << c.name;
        EXPECT_EQ(Logging::setLogLevel(std::string(c.name)), c.level != -1) << c.name;
        EXPECT_EQ(Logging::getLogLevel(), c.level != -1 ? c.level : 3) << c.name;
    }
    EXPECT_EQ(Logging::logLevelToName(-1000), "quiet");
    EXPECT_EQ(Logging::logLevelToName(0), "emergency");
    EXPECT_EQ(Logging::logLevelToName(9), "unknown");
    EXPECT_EQ(Logging::logLevelToName(-1), "unknown");
    Logging::setLogLevel(8);
    EXPECT_EQ(Logging::getLogLevelName(), "verbose");
    EXPECT_TRUE(Logging::setLogLevel(12345));
    EXPECT_EQ(Logging::getLogLevelName(), "unknown");
}

TEST_F(LoggingTest, TimeStamp) {
    std::tm t{};
    t.tm_mon = 2;
    t.tm_mday = 7;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 3;
    EXPECT_EQ(Logging::formatTimeStamp(t, 5), "Mar 07 09:05:03.000");
    EXPECT_EQ(Logging::formatTimeStamp(t, 42999), "Mar 07 09:05:03.042");
    t.tm_mon = 11;
    t.tm_mday = 31;
    t.tm_hour = 23;
    EXPECT_EQ(Logging::formatTimeStamp(t, 999999), "Dec 31 23:05:03.999");
}

TEST_F(LoggingTest, StringFormatTruncatesAndWarns) {
    captureStderr();
    EXPECT_EQ(stringFormat("%s", std::string(600, 'z').c_str()), std::string(511, 'z'));
    const std::string warned = capturedStderr();
    EXPECT_NE(warned.find("***    "), std::string::npos);
    EXPECT_NE(warned.find(": stringFormat: output truncated\n"), std::string::npos) << warned;

    captureStderr();
    EXPECT_EQ(stringFormat("%s", std::string(511, 'z').c_str()).size(), 511u);
    EXPECT_EQ(stringFormat("%ls", L"\x100 wide"), "") << "a formatting error gives no text";
    const std::string warnings = capturedStderr();
    EXPECT_EQ(std::count(warnings.begin(), warnings.end(), '\n'), 1) << warnings;

    Logging::setLogLevel(3);
    captureStderr();
    stringFormat("%s", std::string(600, 'z').c_str());
    EXPECT_EQ(capturedStderr(), "");
}

TEST_F(LoggingTest, SigUsr1Handler) {
    captureStderr();
    sigUsr1Handler(10);
    EXPECT_NE(capturedStderr().find("sigUsr1Handler not implemented\n"), std::string::npos);
    Logging::setLogLevel(3);
    captureStderr();
    sigUsr1Handler(10);
    EXPECT_EQ(capturedStderr(), "");
}

TEST_F(LoggingTest, LogFilesOpenReopenAndFallBack) {
    const TempFolder folder;
    const std::string& dir = folder.path();
    const std::string first = dir + "/first.log";
    const std::string second = dir + "/second.log";
    const std::string later = dir + "/later/x.log";

    EXPECT_EQ(Logging::getLogFileName(), "");
    EXPECT_FALSE(Logging::reopen()) << "nothing to reopen";
    EXPECT_FALSE(Logging::open("vtest", 7, nullptr));

    const size_t descriptors = openDescriptors();
    ASSERT_TRUE(Logging::open("vtest", 7, first.c_str()));
    Logging::write(6, "to first");
    ASSERT_TRUE(Logging::open("vtest", 7, second.c_str()));
    EXPECT_EQ(openDescriptors(), descriptors + 1) << "the earlier log file is closed";
    EXPECT_EQ(Logging::getLogFileName(), second);
    Logging::write(6, "to second");
    ASSERT_TRUE(Logging::reopen());
    Logging::write(6, "again");
    EXPECT_NE(readFile(first).find("vtest: to first\n"), std::string::npos);
    EXPECT_EQ(readFile(first).find("to second"), std::string::npos);
    const std::string secondText = readFile(second);
    EXPECT_NE(secondText.find("vtest: to second\n"), std::string::npos);
    EXPECT_NE(secondText.find("vtest: again\n"), std::string::npos);

    // A file that cannot be opened sends the log back to standard error.
    captureStderr();
    EXPECT_FALSE(Logging::open("vtest", 7, later.c_str()));
    EXPECT_FALSE(Logging::reopen());
    Logging::write(6, "on stderr");
    const std::string err = capturedStderr();
    EXPECT_NE(err.find("*****    "), std::string::npos);
    EXPECT_NE(err.find("Could not open log file '" + later + "'\n"), std::string::npos) << err;
    EXPECT_NE(err.find("***    "), std::string::npos);
    EXPECT_NE(err.find("Could not reopen log file '" + later + "'\n"), std::string::npos) << err;
    EXPECT_NE(err.find("vtest: on stderr\n"), std::string::npos);
    EXPECT_EQ(openDescriptors(), descriptors) << "the second file is closed";

    // Reopening from standard error must leave standard error open.
    ASSERT_EQ(mkdir((dir + "/later").c_str(), 0700), 0);
    ASSERT_TRUE(Logging::reopen());
    Logging::write(6, "in later");
    EXPECT_NE(readFile(later).find("vtest: in later\n"), std::string::npos);
    captureStderr();
    EXPECT_FALSE(Logging::open("vtest", 7, (dir + "/missing/y.log").c_str()));
    Logging::write(6, "stderr still works");
    EXPECT_NE(capturedStderr().find("stderr still works"), std::string::npos);
    EXPECT_FALSE(Logging::open("vtest", 7, nullptr));
    EXPECT_EQ(Logging::getLogFileName(), "");
}

// The THROW_BUG below stands three lines further down.
const int checkIndexBugLine = __LINE__ + 3;
int checkIndex(int index, int size) {
    if (index >= size)
        THROW_BUG("index " << index << " of " << size);
    return index;
}

using LoggingDeathTest = LoggingTest;

TEST_F(LoggingDeathTest, ThrowBugReportsTheSiteAndExits) {
    EXPECT_EQ(checkIndex(1, 3), 1);
    // Extended regular expressions (see exitedWith): no \d.
    const std::string expected =
        "[*]{7}  [A-Z][a-z]{2} [0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} "
        "vtest: THROW_BUG: file='tests/utils/LoggingTest\\.cpp', line=" +
        std::to_string(checkIndexBugLine) + ", function='checkIndex', error='index 5 of 3'\n";
    EXPECT_TRUE(exitedWith(endOf([&] { checkIndex(5, 3); }), 1, expected));
}

TEST_F(LoggingDeathTest, ThrowBugIsSilentWhenQuietButStillExits) {
    EXPECT_TRUE(exitedWith(endOf([&] {
                               Logging::setLogLevel("quiet");
                               checkIndex(5, 3);
                           }),
                           1, "^$"));
    EXPECT_TRUE(exitedWith(endOf([&] {
                               Logging::setLogLevel(-1);
                               checkIndex(5, 3);
                           }),
                           1, "^$"));
}

} // namespace
