#include "util/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>

namespace korvex {

namespace {
std::mutex& SinkMutex()
{
    static std::mutex m;
    return m;
}
DebugSink& Sink()
{
    static DebugSink sink;
    return sink;
}
}  // namespace

void printDebug(const char* format, ...)
{
    char text[1025];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) return;
    std::lock_guard<std::mutex> lock(SinkMutex());
    if (Sink()) Sink()(std::string_view(text, std::min<size_t>(static_cast<size_t>(n), 1024)));
}

DebugSink SetDebugSink(DebugSink sink)
{
    std::lock_guard<std::mutex> lock(SinkMutex());
    DebugSink previous = std::move(Sink());
    Sink() = std::move(sink);
    return previous;
}

DebugSink MakeStreamDebugSink(std::FILE* stream)
{
    return [stream](std::string_view text) {
        std::string out;
        out.reserve(text.size());
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r') {
                if (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n')) continue;
                out.push_back('\n');
            } else {
                out.push_back(text[i]);
            }
        }
        std::fwrite(out.data(), 1, out.size(), stream);
        std::fflush(stream);
    };
}

struct DebugCapture::State {
    mutable std::mutex mutex;
    std::string text;
};

DebugCapture::DebugCapture() : state_(new State)
{
    State* state = state_;
    previous_ = SetDebugSink([state](std::string_view t) {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->text.append(t);
    });
}

DebugCapture::~DebugCapture()
{
    SetDebugSink(std::move(previous_));
    delete state_;
}

std::string DebugCapture::Text() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->text;
}

bool DebugCapture::Contains(std::string_view needle) const
{
    return Text().find(needle) != std::string::npos;
}

}  // namespace korvex
