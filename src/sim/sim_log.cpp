// Log file and stage timer.
#include "sim_log.h"

namespace korvex::sim {

SimLog::~SimLog()
{
    if (file_) std::fclose(file_);
}

bool SimLog::open(const std::string& path)
{
    file_ = std::fopen(path.c_str(), "w");
    return file_ != nullptr;
}

void SimLog::line(const std::string& text)
{
    if (file_) {
        std::fputs(text.c_str(), file_);
        std::fputc('\n', file_);
        std::fflush(file_);
    }
    if (echo_) {
        std::fputs(text.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
}

double StageTimer::lap()
{
    const Clock::time_point now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - last_).count();
    last_ = now;
    return seconds;
}

double StageTimer::total() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

std::string formatSeconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}

}  // namespace korvex::sim
