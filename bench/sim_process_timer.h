// Runs a program with a time cap and reports wall time, CPU time and peak memory.
#pragma once
#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace korvex::bench {

// korvex-sim of the same build: <build>/bin/korvex-sim beside <build>/bench/.
inline std::string simulatorPath()
{
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    const auto candidate = self.parent_path().parent_path() / "bin" / "korvex-sim";
    return std::filesystem::exists(candidate) ? candidate.string() : std::string("korvex-sim");
}

// Wall seconds since `start`.
inline double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The middle value (the upper one of an even count); `values` must not be empty.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct ProcessRun {
    bool finished = false;  // exited on its own within the cap
    int exitCode = -1;
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double peakMiB = 0;
};

// The environment the job runner gives the simulator: malloc with transparent huge pages.
inline const std::vector<std::string> kSimulatorEnvironment{"GLIBC_TUNABLES=glibc.malloc.hugetlb=1"};

inline ProcessRun runProcess(const std::vector<std::string>& argv, double capSeconds, const std::string& outputFile = "/dev/null",
                             const std::vector<std::string>& environment = {})
{
    ProcessRun run;
    const auto start = std::chrono::steady_clock::now();
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (std::freopen(outputFile.c_str(), "w", stdout) && std::freopen(outputFile.c_str(), "a", stderr)) {
        }
        for (const auto& e : environment) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    if (pid < 0) return run;
    int status = 0;
    struct rusage usage {};
    for (;;) {
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (done == pid) break;
        if (elapsed > capSeconds) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            run.wallSeconds = elapsed;
            return run;
        }
        usleep(elapsed < 1 ? 2000 : 50000);
    }
    run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.finished = WIFEXITED(status);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec * 1e-6;
    run.peakMiB = usage.ru_maxrss / 1024.0;
    return run;
}

}  // namespace korvex::bench
