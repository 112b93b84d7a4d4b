// Shared pieces of the fuzz harnesses: the input as a file (for readers that take a path)
// in a folder of this process, and a quiet debug log.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace fuzz {

// A scratch folder of this process, made once.
inline const std::filesystem::path& ScratchFolder()
{
    static const std::filesystem::path folder = [] {
        auto dir = std::filesystem::temp_directory_path() / ("korvex_fuzz_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        return dir;
    }();
    return folder;
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
