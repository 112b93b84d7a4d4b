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

// The file a path finally names: symbolic links followed (also to a target that does not
// exist yet, which is then created). False with errno on a loop or an unreadable link.
bool FollowLinks(const std::string& path, std::string* resolved)
{
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            *resolved = current;
            return true;
        }
        std::vector<char> link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n < 0) return false;
        if (static_cast<size_t>(n) >= link.size()) {  // the link changed while being read
            errno = EAGAIN;
            return false;
        }
        const std::string text(link.data(), static_cast<size_t>(n));
        current = text.empty() || text[0] == '/' ? text : FolderOf(current) + "/" + text;
    }
    errno = ELOOP;
    return false;
}

mode_t NewFileMode()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

// Copies everything from descriptor `from` (at its start) to `to`.
bool CopyData(int from, int to)
{
    std::vector<char> buffer(1 << 20);
    if (::lseek(from, 0, SEEK_SET) != 0) return false;
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return false;
            done += put;
        }
    }
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
    failed_ = inPlace_ = copyOver_ = false;
    std::string resolved;
    if (!FollowLinks(target_, &resolved)) {
        SetError(error, Reason("cannot follow the link", target_, errno));
        return false;
    }
    target_ = resolved;
    struct stat st {};
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        SetError(error, "cannot write " + target_ + ": it is a folder");
        return false;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or FIFO is written to, never replaced by a plain file.
        fd_ = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) {
            SetError(error, Reason("cannot write", target_, errno));
            return false;
        }
        inPlace_ = true;
        return true;
    }
    if (exists) {
        // Only a file the user may write is replaced, even where the folder would allow it.
        const int probe = ::open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (probe < 0) {
            SetError(error, Reason("cannot write", target_, errno));
            return false;
        }
        ::close(probe);
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
    if (!exists) {
        ::fchmod(fd_, NewFileMode());
        return true;
    }
    // The replacement keeps owner, group and permissions (the mode after the owner: a change
    // of owner clears set-user-ID bits). When the owner cannot be kept, the finished data is
    // copied into the existing file at Commit instead.
    if (::fchown(fd_, st.st_uid, st.st_gid) != 0) (void)::fchown(fd_, static_cast<uid_t>(-1), st.st_gid);
    ::fchmod(fd_, st.st_mode & 07777);
    struct stat made {};
    copyOver_ = ::fstat(fd_, &made) != 0 || made.st_uid != st.st_uid || made.st_gid != st.st_gid;
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

bool AtomicFile::CopyInto(std::string* error)
{
    const int from = ::open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
    const int to = ::open(target_.c_str(), O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
    int err = 0;
    if (from < 0 || to < 0 || !CopyData(from, to) || ::fsync(to) != 0) err = errno ? errno : EIO;
    if (to >= 0 && ::close(to) != 0 && err == 0) err = errno;
    if (from >= 0) ::close(from);
    ::unlink(temp_.c_str());
    temp_.clear();
    if (err != 0) SetError(error, Reason("cannot write", target_, err));
    return err == 0;
}

bool AtomicFile::Commit(std::string* error)
{
    if (fd_ < 0) {
        SetError(error, "cannot write " + target_ + ": file not open");
        return false;
    }
    int err = 0;
    if (failed_) err = EIO;
    const auto sync = [this](int fd) {
        // Devices and FIFOs may not support syncing; that is no failure of the write.
        return ::fsync(fd) == 0 || (inPlace_ && (errno == EINVAL || errno == ENOTSUP || errno == EROFS));
    };
    if (stream_ != nullptr) {
        if (std::fflush(stream_) != 0 || std::ferror(stream_)) err = err ? err : errno;
        if (err == 0 && !sync(fd_)) err = errno;
        if (std::fclose(stream_) != 0 && err == 0) err = errno;
        stream_ = nullptr;
    } else {
        if (err == 0 && !sync(fd_)) err = errno;
        if (::close(fd_) != 0 && err == 0) err = errno;
    }
    fd_ = -1;
    if (inPlace_) {
        if (err != 0) SetError(error, Reason("cannot write", target_, err));
        return err == 0;
    }
    if (err == 0 && copyOver_) return CopyInto(error);
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
