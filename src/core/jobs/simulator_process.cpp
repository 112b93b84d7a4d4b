#include "jobs/simulator_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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
std::vector<std::string> Arguments(const std::string& simulator, bool batchMode, const std::string& netlistPath)
{
    std::vector<std::string> args{simulator};
    if (batchMode) args.push_back("-b");
    args.push_back(netlistPath);
    return args;
}
}  // namespace

std::string SimulatorCommandText(const std::string& simulator, bool batchMode, const std::string& netlistPath)
{
    std::string text;
    for (const auto& a : Arguments(simulator, batchMode, netlistPath)) text += (text.empty() ? "" : " ") + Quote(a);
    return text;
}

SimulatorRun RunSimulator(const std::string& simulator, bool batchMode, const std::string& netlistPath)
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

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The simulator's chatter goes to /dev/null; its log file holds what matters.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, simulator.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        run.Reason = "could not start " + Quote(simulator) + ": " + std::strerror(rc);
        return run;
    }
    run.Started = true;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            run.Reason = std::string("lost the simulator process: ") + std::strerror(errno);
            return run;
        }
    }
    if (WIFEXITED(status)) {
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
