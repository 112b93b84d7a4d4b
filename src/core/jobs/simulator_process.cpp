#include "jobs/simulator_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <deque>
#include <filesystem>
#include <fstream>
#include <vector>

extern char** environ;

namespace korvex {

namespace {
std::string Quote(const std::string& s)
{
    return "\"" + s + "\"";
}
}  // namespace

namespace {
// Waits for the simulator, polling the cancel request; on a cancel the whole
// process group is killed first. False when waitpid failed (errno set).
bool WaitForSimulator(pid_t pid, const korvex::CancelToken* cancel, int* status, bool* cancelled)
{
    if (cancel == nullptr) {
        while (::waitpid(pid, status, 0) < 0)
            if (errno != EINTR) return false;
        return true;
    }
    // A pidfd becomes readable the moment the simulator exits; without one (older kernels) the
    // wait polls with growing pauses.
    const int exitFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    auto pause = std::chrono::microseconds(200);
    for (;;) {
        const pid_t done = ::waitpid(pid, status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) {
            if (exitFd >= 0) ::close(exitFd);
            return false;
        }
        if (cancel->IsCancelled()) {
            // The group leader is not reaped yet, so its ID (the group's) cannot
            // have been reused.
            ::kill(-pid, SIGKILL);
            *cancelled = true;
            while (::waitpid(pid, status, 0) < 0)
                if (errno != EINTR) {
                    if (exitFd >= 0) ::close(exitFd);
                    return false;
                }
            break;
        }
        if (exitFd >= 0) {
            pollfd exited{exitFd, POLLIN, 0};
            ::poll(&exited, 1, 20);  // the cancel request is looked at every 20 ms
        } else {
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::microseconds(10000));
        }
    }
    if (exitFd >= 0) ::close(exitFd);
    return true;
}

std::vector<std::string> Arguments(const std::string& simulator, bool batchMode, const std::string& netlistPath)
{
    std::vector<std::string> args{simulator};
    if (batchMode) args.push_back("-b");
    args.push_back(netlistPath);
    return args;
}

// The caller's environment plus glibc.malloc.hugetlb=1 (appended to any tunables already set):
// the simulator's malloc then backs its memory with transparent huge pages, which removes most
// page faults of a large netlist. glibc reads the tunable only at process start.
std::vector<std::string> SimulatorEnvironment()
{
    std::vector<std::string> env;
    bool tunablesSeen = false;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        if (entry.rfind("GLIBC_TUNABLES=", 0) == 0) {
            tunablesSeen = true;
            if (entry.find("glibc.malloc.hugetlb") == std::string::npos)
                entry += (entry.size() > 15 ? ":" : "") + std::string("glibc.malloc.hugetlb=1");
        }
        env.push_back(std::move(entry));
    }
    if (!tunablesSeen) env.push_back("GLIBC_TUNABLES=glibc.malloc.hugetlb=1");
    return env;
}
}  // namespace

std::string SimulatorCommandText(const std::string& simulator, bool batchMode, const std::string& netlistPath)
{
    std::string text;
    for (const auto& a : Arguments(simulator, batchMode, netlistPath)) text += (text.empty() ? "" : " ") + Quote(a);
    return text;
}

SimulatorRun RunSimulator(const std::string& simulator, bool batchMode, const std::string& netlistPath,
                          const korvex::CancelToken* cancel)
{
    SimulatorRun run;
    std::vector<std::string> args = Arguments(simulator, batchMode, netlistPath);
    run.CommandText = SimulatorCommandText(simulator, batchMode, netlistPath);

    struct stat st{};
    if (simulator.empty() || ::stat(simulator.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        ::access(simulator.c_str(), X_OK) != 0) {
        run.Reason = "simulator " + Quote(simulator) + " is missing or not executable";
        return run;
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment = SimulatorEnvironment();
    std::vector<char*> envp;
    for (auto& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The simulator's chatter goes to /dev/null; its log file holds what matters.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    // A group of its own: a cancel kills the simulator and whatever it started,
    // and a Ctrl-C at the terminal reaches the front end, which decides.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none, defaults;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, simulator.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) {
        run.Reason = "could not start " + Quote(simulator) + ": " + std::strerror(rc);
        return run;
    }
    run.Started = true;
    int status = 0;
    if (!WaitForSimulator(pid, cancel, &status, &run.Cancelled)) {
        run.Reason = std::string("lost the simulator process: ") + std::strerror(errno);
        return run;
    }
    if (run.Cancelled) {
        run.ExitCode = -1;
        run.Reason = "cancelled while the simulator ran";
    } else if (WIFEXITED(status)) {
        run.ExitCode = WEXITSTATUS(status);
        if (run.ExitCode != 0) run.Reason = "simulator exited with code " + std::to_string(run.ExitCode);
    } else if (WIFSIGNALED(status)) {
        run.Signal = WTERMSIG(status);
        run.ExitCode = 128 + run.Signal;
        run.Reason = std::string("simulator was killed by signal ") + std::to_string(run.Signal) + " (" +
                     strsignal(run.Signal) + ")";
    }
    return run;
}

std::string TailOfFile(const std::string& path, int maxLines)
{
    std::ifstream in(path);
    if (!in) return "";
    std::deque<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
        if (static_cast<int>(lines.size()) > maxLines) lines.pop_front();
    }
    std::string out;
    for (const auto& l : lines) out += l + "\n";
    return out;
}

}  // namespace korvex
