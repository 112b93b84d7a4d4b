// The log file written beside the netlist; every line is flushed at once so that the log
// tells how far a run came even when it is stopped.
#pragma once
#include <chrono>
#include <cstdio>
#include <string>

namespace korvex::sim {

class SimLog {
public:
    ~SimLog();
    bool open(const std::string& path);
    void line(const std::string& text);
    void setEcho(bool echo) { echo_ = echo; }
    bool isOpen() const { return file_ != nullptr; }

private:
    std::FILE* file_ = nullptr;
    bool echo_ = false;
};

// Seconds since construction or the last lap, for the per-stage times in the log.
class StageTimer {
public:
    double lap();
    double total() const;

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point start_ = Clock::now();
    Clock::time_point last_ = start_;
};

std::string formatSeconds(double seconds);

}  // namespace korvex::sim
