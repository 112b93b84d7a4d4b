#pragma once
// Safe replacement of a file: everything is written to a temporary file in the
// target's folder, flushed to disk and only then renamed over the target. A save
// that fails at any point leaves the previous file untouched and tells the
// caller why.
//
// What is replaced is respected: a symbolic link is followed and the file it
// points to is replaced (the link stays); a device or FIFO is written in place,
// never replaced by a plain file; an existing file the user could not open for
// writing is refused; a replaced file keeps its owner, group and permissions
// (when the owner cannot be kept, the finished temporary file is copied into the
// existing file instead of renamed over it).
#include <sys/types.h>

#include <cstddef>
#include <cstdio>
#include <string>

namespace korvex {

class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();  // discards the temporary file unless Commit succeeded
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file beside the target (or opens a device or FIFO
    // target itself). False with a reason when the target cannot take it.
    bool Open(std::string* error);
    // The open temporary file as a stdio stream (owned here; do not close it).
    std::FILE* Stream();
    // Its descriptor, for writers with their own buffering (e.g. dup + gzdopen).
    int Descriptor() const { return fd_; }
    // Writes raw bytes through the stream; false once any write has failed.
    bool Write(const void* data, size_t size);
    // Flushes, syncs and renames the temporary file over the target.
    bool Commit(std::string* error);
    // Removes the temporary file; the target stays as it was.
    void Discard();

    const std::string& Target() const { return target_; }
    const std::string& TempPath() const { return temp_; }

private:
    bool CopyInto(std::string* error);

    std::string target_;  // the file finally written: links resolved
    std::string temp_;
    int fd_ = -1;
    std::FILE* stream_ = nullptr;
    bool failed_ = false;
    bool inPlace_ = false;   // a device or FIFO: written directly
    bool copyOver_ = false;  // an existing file whose owner a new file could not keep
};

// One-shot helper: replaces `path` with `size` bytes.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string* error);

}  // namespace korvex
