#pragma once
// One job per work folder: the work files have fixed names ("spice_electrical.cir", ".raw",
// ".log"), so a second job in the same folder - another korvex-cli or desktop process - would
// overwrite the first one's netlist or hand it the other board's results. A job holds an
// exclusive lock on the folder itself (flock on the folder: no file is left behind, and the
// lock goes with the holder, also when it is killed) from writing its netlist until it has
// read the results.
#include <string>

namespace korvex {

class WorkFolderLock {
public:
    // Tries to take the lock of `folder` (empty: the current directory) without waiting. A
    // folder that does not exist needs no lock (the job's first write there fails anyway).
    explicit WorkFolderLock(const std::string& folder);
    ~WorkFolderLock();
    WorkFolderLock(const WorkFolderLock&) = delete;
    WorkFolderLock& operator=(const WorkFolderLock&) = delete;

    bool Acquired() const { return acquired_; }
    // Why the lock was not taken, one line.
    const std::string& Reason() const { return reason_; }

private:
    int fd_ = -1;
    bool acquired_ = false;
    std::string reason_;
};

}  // namespace korvex
