// Shared pieces of the fuzz harnesses: the input as a file (for readers that take a path)
// in a folder of this process, and a quiet debug log.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace fuzz {

// A scratch folder of this process, made once and removed at exit; in memory (/dev/shm) where
// there is one, since every execution writes and reads its input there.
class ScratchDirectory {
public:
    ScratchDirectory()
    {
        std::error_code error;
        const bool shm = std::filesystem::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0;
        const std::filesystem::path base = shm ? std::filesystem::path("/dev/shm") : std::filesystem::temp_directory_path();
        path_ = base / ("korvex_fuzz_" + std::to_string(::getpid()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchDirectory()
    {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline const std::filesystem::path& ScratchFolder()
{
    static const ScratchDirectory folder;
    return folder.Path();
}

// Writes the bytes to NAME in the scratch folder and returns its path.
inline std::string AsFile(const uint8_t* data, size_t size, const char* name)
{
    const std::string path = (ScratchFolder() / name).string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
    return path;
}

}  // namespace fuzz
