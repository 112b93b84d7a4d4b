#include "cli_test_support.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>

namespace fs = std::filesystem;

CliRun RunCli(const std::string& args, const fs::path& folder)
{
    static int calls = 0;
    const fs::path errFile =
        fs::temp_directory_path() / ("korvex_cli_err_" + std::to_string(::getpid()) + "_" + std::to_string(++calls));
    std::string command = std::string(KORVEX_CLI) + " " + args + " 2>'" + errFile.string() + "'";
    if (!folder.empty()) command = "cd '" + folder.string() + "' && " + command;
    CliRun r;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) r.out.append(buf.data(), n);
    const int raw = ::pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(errFile);
    r.err.assign(std::istreambuf_iterator<char>(in), {});
    fs::remove(errFile);
    return r;
}

TempFolder::TempFolder(const std::string& tag)
{
    static int folders = 0;
    dir = fs::temp_directory_path() /
          ("korvex_" + tag + "_" + std::to_string(::getpid()) + "_" + std::to_string(++folders));
    fs::create_directories(dir);
}

TempFolder::~TempFolder()
{
    std::error_code ec;
    fs::remove_all(dir, ec);
}
