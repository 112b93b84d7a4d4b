#include "jobs/work_folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace korvex {

WorkFolderLock::WorkFolderLock(const std::string& folder)
{
    const std::filesystem::path dir = folder.empty() ? std::filesystem::path(".") : std::filesystem::path(folder);
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        acquired_ = true;
        return;
    }
    if (fd < 0) {
        reason_ = "cannot lock the work folder " + dir.string() + ": " + std::strerror(errno);
        return;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        reason_ = err == EWOULDBLOCK ? "another job is running in the work folder " + dir.string() +
                                           "; wait for it or use another work folder"
                                     : "cannot lock the work folder " + dir.string() + ": " + std::strerror(err);
        return;
    }
    fd_ = fd;
    acquired_ = true;
}

WorkFolderLock::~WorkFolderLock()
{
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace korvex
