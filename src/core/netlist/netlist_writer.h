#pragma once
// Buffered output of netlist text. A file is written under a temporary name in
// the target's folder and renamed over the target only when everything was
// written and closed without error, so a failed write (missing folder, full
// disk) never leaves a half-written netlist behind for a simulation to pick up.
// The first error is kept; later output is dropped and Close() reports it.
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

#include "netlist/element_counters.h"
#include "netlist/netlist_format.h"
#include "netlist/number_format.h"
#include "util/status.h"

namespace korvex {

class NetlistWriter {
public:
    NetlistWriter();
    ~NetlistWriter();  // an unclosed file is discarded
    NetlistWriter(const NetlistWriter&) = delete;
    NetlistWriter& operator=(const NetlistWriter&) = delete;

    // Starts a netlist at `path`; 0, or -1 with Error() set.
    int Open(const std::string& path);
    // Collects the text in memory instead (tests, benchmarks); `target` is appended to.
    void OpenMemory(std::string* target);

    // Flushes and closes; the file appears at its path only now. 0, or -1 with
    // Error() set when anything failed since Open.
    int Close();

    bool Failed() const { return failed_; }
    const std::string& Error() const { return error_; }
    const std::string& Path() const { return path_; }

    template <class... Args>
    void Format(NetlistFormat<std::type_identity_t<Args>...> format, const Args&... args)
    {
        const FormatArg packed[sizeof...(Args) + 1] = {FormatArg(args)..., FormatArg("")};
        const size_t bound = ExpandedLengthBound(format.text, packed, sizeof...(Args));
        if (bound <= kFastBound) {
            if (char* at = Reserve(bound); at != nullptr) Commit(ExpandFormat(at, format.text, packed));
        } else {
            FormatLong(format.text, packed, bound);
        }
    }
    void Text(std::string_view text);

    // Room for `bound` (at most kFastBound) bytes of text put together in place,
    // followed by Commit with the end of what was put there. Null when the
    // writer has no buffer (the failure is already recorded).
    char* Reserve(size_t bound)
    {
        if (capacity_ - used_ < bound) {
            Flush();
            if (capacity_ < bound) return nullptr;
        }
        return buffer_ + used_;
    }
    void Commit(const char* end) { used_ = static_cast<size_t>(end - buffer_); }

    // Text put together elsewhere, written out after what is buffered without
    // being copied into the buffer.
    void Block(std::string_view text);
    // Flushes what is buffered and lends the empty buffer for text put together
    // apart and passed to Block; `capacity` is its size (0 and null without a
    // buffer). The buffer must not be used after the next other call.
    char* LendBuffer(size_t* capacity);

    // The element numbers this netlist draws from: the given counters, else
    // the program-wide gElementCounters.
    void UseCounters(ElementCounters* counters) { counters_ = counters; }
    ElementCounters& Counters() { return counters_ != nullptr ? *counters_ : gElementCounters; }

    // Number of bytes handed to the writer since Open.
    unsigned long long BytesWritten() const { return flushed_ + used_; }

private:
    static constexpr size_t kCapacity = 1 << 20;
    // Lines up to this bound are expanded in place; longer ones (subcircuit
    // bodies) go through FormatLong.
    static constexpr size_t kFastBound = 16 * 1024;

    void Flush();
    void Emit(const char* data, size_t size);
    void FormatLong(std::string_view format, const FormatArg* args, size_t bound);
    void Fail(const std::string& what, int errnoValue);
    void Discard();

    char* buffer_;
    size_t capacity_ = kCapacity;
    size_t used_ = 0;
    unsigned long long flushed_ = 0;
    std::FILE* file_ = nullptr;
    std::string* memory_ = nullptr;
    std::string path_;
    std::string temporaryPath_;
    bool failed_ = false;
    std::string error_;
    ElementCounters* counters_ = nullptr;
};

// Opens `path`, lets `body` write the netlist with COUNTERS (null: the
// program-wide ones) and closes it. Refused when the file could not be created
// or written, with the reason "Netlist <path> could not be written: <why>",
// which also goes to the debug log; no file is left behind then.
Status WriteNetlistFile(const char* path, const std::function<void(NetlistWriter&)>& body,
                        ElementCounters* counters = nullptr);

}  // namespace korvex
