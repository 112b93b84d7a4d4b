#pragma once
// Running korvex-cli as the real program from tests, and scratch folders.
#include <filesystem>
#include <string>

struct CliRun {
    int status = -1;
    std::string out, err;
};

// Runs `korvex-cli ARGS` with stdout and stderr captured; in `folder` when given
// (so that no Settings.set of the build folder is read), else here.
CliRun RunCli(const std::string& args, const std::filesystem::path& folder = {});

// A folder under the temporary directory, unique per process and tag, removed
// with everything in it when the object goes.
struct TempFolder {
    std::filesystem::path dir;
    explicit TempFolder(const std::string& tag = "cli");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string Path(const char* name) const { return (dir / name).string(); }
};
