#include "util/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace korvex {
namespace {

void SetError(std::string* error, const std::string& text)
{
    if (error != nullptr) *error = text;
}

std::string Reason(const std::string& what, const std::string& path, int err)
{
    return what + " " + path + ": " + std::strerror(err);
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Mode for a new file: that of the file being replaced, else 0666 less the umask.
mode_t ModeFor(const std::string& target)
{
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile()
{
    Discard();
}

bool AtomicFile::Open(std::string* error)
{
    Discard();
    failed_ = false;
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetError(error, "cannot write " + target_ + ": it is a folder");
        return false;
    }
    std::vector<char> name(target_.begin(), target_.end());
    const char suffix[] = ".tmp-XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) {
        SetError(error, Reason("cannot create a file in", FolderOf(target_), errno));
        return false;
    }
    temp_ = name.data();
    ::fchmod(fd_, ModeFor(target_));
    return true;
}

std::FILE* AtomicFile::Stream()
{
    if (stream_ == nullptr && fd_ >= 0) {
        stream_ = ::fdopen(fd_, "wb");
        if (stream_ != nullptr) std::setvbuf(stream_, nullptr, _IOFBF, 1 << 20);
    }
    return stream_;
}

bool AtomicFile::Write(const void* data, size_t size)
{
    if (failed_) return false;
    std::FILE* f = Stream();
    if (f == nullptr || std::fwrite(data, 1, size, f) != size) failed_ = true;
    return !failed_;
}

bool AtomicFile::Commit(std::string* error)
{
    if (fd_ < 0) {
        SetError(error, "cannot write " + target_ + ": file not open");
        return false;
    }
    int err = 0;
    if (failed_) err = EIO;
    if (stream_ != nullptr) {
        if (std::fflush(stream_) != 0 || std::ferror(stream_)) err = err ? err : errno;
        if (err == 0 && ::fsync(fd_) != 0) err = errno;
        if (std::fclose(stream_) != 0 && err == 0) err = errno;
        stream_ = nullptr;
    } else {
        if (::fsync(fd_) != 0) err = errno;
        if (::close(fd_) != 0 && err == 0) err = errno;
    }
    fd_ = -1;
    if (err == 0 && ::rename(temp_.c_str(), target_.c_str()) != 0) err = errno;
    if (err != 0) {
        SetError(error, Reason("cannot write", target_, err));
        ::unlink(temp_.c_str());
        temp_.clear();
        return false;
    }
    temp_.clear();
    // Make the rename itself durable.
    const int dir = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void AtomicFile::Discard()
{
    if (stream_ != nullptr) {
        std::fclose(stream_);
        stream_ = nullptr;
        fd_ = -1;
    } else if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string* error)
{
    AtomicFile file(path);
    if (!file.Open(error)) return false;
    if (!file.Write(data, size)) {
        SetError(error, Reason("cannot write", path, errno ? errno : EIO));
        return false;
    }
    return file.Commit(error);
}

}  // namespace korvex
