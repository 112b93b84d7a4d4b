#pragma once
// The program-wide debug log. printDebug formats like printf (at most 1,024
// characters) and hands the text, unchanged, to the installed sink. Callers
// add their own line ends ("\r\n"), as the console shows them.
#include <functional>
#include <string>
#include <string_view>

namespace korvex {

using DebugSink = std::function<void(std::string_view)>;

void printDebug(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Installs the sink that receives every printDebug text and returns the one it
// replaces. An empty sink discards the log. Safe to call from any thread.
DebugSink SetDebugSink(DebugSink sink);

// A sink for terminals and log files: turns "\r\n" and lone "\r" into "\n".
DebugSink MakeStreamDebugSink(std::FILE* stream);

// Collects the log while it lives (tests, commands that report what they saw)
// and restores the previous sink when it goes out of scope.
class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;
    std::string Text() const;
    bool Contains(std::string_view needle) const;

private:
    struct State;
    State* state_;
    DebugSink previous_;
};

}  // namespace korvex
