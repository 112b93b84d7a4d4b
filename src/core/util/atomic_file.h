#pragma once
// Safe replacement of a file: everything is written to a temporary file in the
// target's folder, flushed to disk and only then renamed over the target. A save
// that fails at any point leaves the previous file untouched and tells the
// caller why.
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

    // Creates the temporary file beside the target. False with a reason when the
    // folder cannot take it.
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
    std::string target_;
    std::string temp_;
    int fd_ = -1;
    std::FILE* stream_ = nullptr;
    bool failed_ = false;
};

// One-shot helper: replaces `path` with `size` bytes.
bool WriteFileAtomically(const std::string& path, const void* data, size_t size, std::string* error);

}  // namespace korvex
