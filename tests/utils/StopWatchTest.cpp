#include "utils/StopWatch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A clock the test moves by hand.
struct ManualClock {
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<ManualClock>;
    [[maybe_unused]] static constexpr bool is_steady = true;
    static time_point current;
    static time_point now() { return current; }
};
ManualClock::time_point ManualClock::current;

std::string printed(const StopWatch<ManualClock>& w) {
    std::ostringstream os;
    w.print<std::chrono::microseconds, std::chrono::seconds>(os, 3);
    return os.str();
}

TEST(StopWatch, ReportLine) {
    ManualClock::current = ManualClock::time_point(std::chrono::seconds(100));
    StopWatch<ManualClock> w("parse", "source line");
    w.start();
    ManualClock::current += std::chrono::microseconds(1234);
    w.stop();
    w.count = 120;
    EXPECT_EQ(printed(w), "parse: 1.234e-03 seconds for 120 source lines = 9.724e+04 source "
                          "lines/second = 1.028e+01 microseconds/source line");

    w.count = 0;
    EXPECT_EQ(printed(w), "parse: 1.234e-03 seconds");
}

TEST(StopWatch, NeverStartedAndNamelessTimers) {
    StopWatch<ManualClock> w("", "instruction");
    w.setCount(5);
    EXPECT_EQ(printed(w), "0.000e+00 seconds for 5 instructions = 0.000e+00 instructions/second "
                          "= 0.000e+00 microseconds/instruction");
}

TEST(StopWatch, StopStartAndReset) {
    ManualClock::current = ManualClock::time_point(std::chrono::seconds(1));
    StopWatch<ManualClock> w("t", "item");
    w.stop();
    EXPECT_FALSE(w.isStopped()) << "stop on an idle stopwatch changes nothing";
    w.start();
    ManualClock::current += std::chrono::milliseconds(2);
    EXPECT_EQ(w.elapsed(), std::chrono::milliseconds(2)) << "a running stopwatch reads the clock";
    w.stop();
    ManualClock::current += std::chrono::milliseconds(5);
    w.stop();
    EXPECT_EQ(w.elapsed(), std::chrono::milliseconds(2));
    w.count = 3;
    w.start();
    EXPECT_EQ(w.count, 0u) << "start begins a new measurement";
    w.reset();
    EXPECT_EQ(w.elapsed(), ManualClock::duration::zero());
    EXPECT_FALSE(w.isRunning());
}

TEST(StopWatch, ReportOfAListHasOneLinePerTimer) {
    ManualClock::current = ManualClock::time_point(std::chrono::seconds(100));
    auto parse = std::make_shared<StopWatch<ManualClock>>("parse", "source line");
    parse->start();
    ManualClock::current += std::chrono::microseconds(1234);
    parse->stop();
    parse->setCount(120);
    auto idle = std::make_shared<StopWatch<ManualClock>>("assemble", "instruction");
    std::vector<std::shared_ptr<StopWatch<ManualClock>>> timers{parse, idle};
    EXPECT_EQ(vorel::timerReport(timers), printed(*parse) + "\n" + printed(*idle) + "\n");
    EXPECT_EQ(vorel::timerReport(decltype(timers){}), "");
}

TEST(StopWatch, StreamStaysScientific) {
    StopWatch<> w("Vorel processor", "instruction");
    w.start();
    w.stop();
    std::ostringstream os;
    w.print<std::chrono::microseconds, std::chrono::seconds>(os, 3);
    os << " " << 0.5;
    EXPECT_TRUE(std::regex_match(
        os.str(), std::regex(R"(Vorel processor: \d\.\d{3}e[-+]\d\d seconds 5\.000e-01)")))
        << os.str();
}

} // namespace
