// Error raised inside the simulator; the driver turns it into a log message and an exit code.
#pragma once
#include <stdexcept>
#include <string>

namespace korvex::sim {

// line is the netlist line number of the culprit (0 when no line is involved).
class SimError : public std::runtime_error {
public:
    SimError(int line, const std::string& message) : std::runtime_error(message), line_(line) {}
    explicit SimError(const std::string& message) : SimError(0, message) {}
    int line() const { return line_; }

private:
    int line_;
};

}  // namespace korvex::sim
