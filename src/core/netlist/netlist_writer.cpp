#include "netlist/netlist_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "util/debug_log.h"

namespace korvex {
namespace {

// A name beside the target that no other writer of this process or another uses.
std::string TemporaryNameFor(const std::string& path)
{
    static std::atomic<unsigned> sequence{0};
    return path + ".tmp" + std::to_string(static_cast<long>(getpid())) + "_" + std::to_string(sequence++);
}

}  // namespace

NetlistWriter::NetlistWriter() : buffer_(static_cast<char*>(std::malloc(kCapacity)))
{
    if (buffer_ == nullptr) {
        capacity_ = 0;
        Fail("no memory for the netlist buffer", ENOMEM);
    }
}

NetlistWriter::~NetlistWriter()
{
    if (file_ != nullptr) Discard();
    std::free(buffer_);
}

int NetlistWriter::Open(const std::string& path)
{
    if (file_ != nullptr) Discard();
    memory_ = nullptr;
    path_ = path;
    used_ = 0;
    flushed_ = 0;
    if (buffer_ == nullptr) return -1;
    failed_ = false;
    error_.clear();
    temporaryPath_ = TemporaryNameFor(path);
    const int fd = ::open(temporaryPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        Fail("cannot create " + path, errno);
        return -1;
    }
    file_ = fdopen(fd, "w");
    if (file_ == nullptr) {
        const int e = errno;
        ::close(fd);
        ::unlink(temporaryPath_.c_str());
        Fail("cannot create " + path, e);
        return -1;
    }
    std::setvbuf(file_, nullptr, _IONBF, 0);  // we buffer ourselves
    return 0;
}

void NetlistWriter::OpenMemory(std::string* target)
{
    if (file_ != nullptr) Discard();
    memory_ = target;
    path_.clear();
    used_ = 0;
    flushed_ = 0;
    if (buffer_ == nullptr) return;
    failed_ = false;
    error_.clear();
}

int NetlistWriter::Close()
{
    Flush();
    if (memory_ != nullptr) {
        memory_ = nullptr;
        return failed_ ? -1 : 0;
    }
    if (file_ == nullptr) {
        if (!failed_) Fail("netlist was not open", EBADF);
        return -1;
    }
    std::FILE* file = file_;
    file_ = nullptr;
    if (std::fclose(file) != 0 && !failed_) Fail("cannot write " + path_, errno);
    if (!failed_ && std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) Fail("cannot create " + path_, errno);
    if (failed_) {
        ::unlink(temporaryPath_.c_str());
        return -1;
    }
    return 0;
}

void NetlistWriter::Text(std::string_view text)
{
    while (!text.empty()) {
        if (used_ == capacity_) Flush();
        if (capacity_ == 0) return;
        const size_t n = std::min(text.size(), capacity_ - used_);
        std::memcpy(buffer_ + used_, text.data(), n);
        used_ += n;
        text.remove_prefix(n);
    }
}

void NetlistWriter::FormatLong(std::string_view format, const FormatArg* args, size_t bound)
{
    std::string line(bound, '\0');
    char* end = ExpandFormat(line.data(), format, args);
    Text(std::string_view(line.data(), static_cast<size_t>(end - line.data())));
}

void NetlistWriter::Flush()
{
    if (used_ == 0) return;
    Emit(buffer_, used_);
    used_ = 0;
}

void NetlistWriter::Emit(const char* data, size_t size)
{
    if (!failed_) {
        if (memory_ != nullptr) {
            memory_->append(data, size);
        } else if (file_ != nullptr) {
            if (std::fwrite(data, 1, size, file_) != size) Fail("cannot write " + path_, errno);
        } else {
            Fail("netlist was not open", EBADF);
        }
    }
    flushed_ += size;
}

void NetlistWriter::Block(std::string_view text)
{
    if (text.empty()) return;
    Flush();
    Emit(text.data(), text.size());
}

char* NetlistWriter::LendBuffer(size_t* capacity)
{
    Flush();
    *capacity = capacity_;
    return capacity_ == 0 ? nullptr : buffer_;
}

void NetlistWriter::Fail(const std::string& what, int errnoValue)
{
    if (failed_) return;
    failed_ = true;
    error_ = what + ": " + std::strerror(errnoValue != 0 ? errnoValue : EIO);
}

void NetlistWriter::Discard()
{
    std::fclose(file_);
    file_ = nullptr;
    ::unlink(temporaryPath_.c_str());
    used_ = 0;
}


namespace {
Status NotWritten(const char* path, const std::string& why)
{
    const std::string reason = std::string("Netlist ") + (path != nullptr ? path : "(none)") +
                               " could not be written: " + why;
    printDebug("%s\r\n", reason.c_str());
    return Status::Refused(reason);
}
}  // namespace

Status WriteNetlistFile(const char* path, const std::function<void(NetlistWriter&)>& body,
                        ElementCounters* counters)
{
    NetlistWriter out;
    out.UseCounters(counters);
    if (path == nullptr) return NotWritten(path, "no path");
    if (out.Open(path) != 0) return NotWritten(path, out.Error());
    body(out);
    if (out.Close() != 0) return NotWritten(path, out.Error());
    return Status::Ok();
}

}  // namespace korvex
