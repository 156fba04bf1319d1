// Wall-clock timer of a piece of work with a count of the items it handled,
// printed as one report line with the total time and the rates, and the
// report of a list of such timers.
#pragma once

#include <chrono>
#include <memory>
#include <ostream>
#include <ratio>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

template <class Clock = std::chrono::system_clock> class StopWatch {
public:
    using duration = typename Clock::duration;
    using time_point = typename Clock::time_point;

    StopWatch(const std::string& name, const std::string& unit) : name(name), unit(unit) {}

    // Begins a new measurement; the count restarts at 0.
    void start() {
        startTime = stopTime = Clock::now();
        count = 0;
        running = true;
        stopped = false;
    }
    void stop() {
        if (!running)
            return;
        stopTime = Clock::now();
        running = false;
        stopped = true;
    }
    void reset() {
        startTime = stopTime = time_point();
        count = 0;
        running = false;
        stopped = false;
    }

    // Up to now while running, up to the stop once stopped, else zero.
    duration elapsed() const {
        if (running)
            return Clock::now() - startTime;
        if (stopped)
            return stopTime - startTime;
        return duration::zero();
    }

    void setCount(unsigned int n) { count = n; }
    unsigned int getCount() const { return count; }
    const std::string& getName() const { return name; }
    const std::string& getUnit() const { return unit; }
    bool isRunning() const { return running; }
    bool isStopped() const { return stopped; }

    // "name: T seconds for N units = R units/second = U microseconds/unit",
    // without a line end. ItemDuration is the unit of the time per item,
    // TotalDuration that of the total and of the rate. The stream keeps the
    // scientific format and the precision.
    template <class ItemDuration = std::chrono::microseconds,
              class TotalDuration = std::chrono::seconds>
    void print(std::ostream& os, int precision) const {
        if (!name.empty())
            os << name << ": ";
        os.precision(precision);
        os.setf(std::ios_base::scientific, std::ios_base::floatfield);
        const char* totalWord = durationName<TotalDuration>();
        os << inUnits<TotalDuration>(elapsed()) << " " << totalWord << "s";
        if (count == 0)
            return;
        os << " for " << count << " " << unit << "s"
           << " = ";
        double total = inUnits<TotalDuration>(elapsed());
        double rate = total == 0.0 ? 0.0 : count / total;
        os << rate << " " << unit << "s/" << totalWord << " = ";
        double perItem = inUnits<ItemDuration>(elapsed()) / count;
        os << perItem << " " << durationName<ItemDuration>() << "s/" << unit;
    }

    time_point startTime{};
    time_point stopTime{};
    std::string name;
    std::string unit;
    unsigned int count = 0;
    bool running = false;
    bool stopped = false;

private:
    template <class D> static double inUnits(duration d) {
        return std::chrono::duration_cast<std::chrono::duration<double, typename D::period>>(d)
            .count();
    }

    template <class D> static const char* durationName() {
        using P = typename D::period;
        if constexpr (std::ratio_equal<P, std::nano>::value)
            return "nanosecond";
        else if constexpr (std::ratio_equal<P, std::micro>::value)
            return "microsecond";
        else if constexpr (std::ratio_equal<P, std::milli>::value)
            return "millisecond";
        else if constexpr (std::ratio_equal<P, std::ratio<60>>::value)
            return "minute";
        else if constexpr (std::ratio_equal<P, std::ratio<3600>>::value)
            return "hour";
        else
            return "second";
    }
};

namespace vorel {

// One report line per timer, with precision 3, each ended by a line end.
template <class Clock>
std::string timerReport(const std::vector<std::shared_ptr<StopWatch<Clock>>>& timers) {
    std::ostringstream text;
    for (const auto& timer : timers) {
        timer->print(text, 3);
        text << "\n";
    }
    return text.str();
}

} // namespace vorel
