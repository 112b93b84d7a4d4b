// "korvex-cli dc" end to end on the 8-layer big board (tests/support/big_board_generator):
// the board is generated and saved as a plain project, then `korvex-cli dc --maps --save`
// runs on it as a process of its own. Each stage (from the progress lines korvex-cli
// prints on stderr) gets its wall time and the peak resident memory of korvex-cli and
// of korvex-sim seen while it ran (sampled every 50 ms); the whole run its wall time
// and its peak as /usr/bin/time reports it (the largest process of the tree).
//
//   bench_big_board [PIXELS ...] [--folder DIR] [--keep]
//
// PIXELS defaults to 1000 (8 layers, 1000 x 1000 pixels); the goal size 4000 is opt-in.
// Work files go to DIR (default: the temporary folder), removed unless --keep.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "board/project_file.h"
#include "board/sim_matrix.h"
#include "sim_process_timer.h"
#include "support/big_board_generator.h"

using namespace korvex;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string BinFolder()
{
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path().string() + "/bin";
}

// Resident memory of one process in MiB (0 once it is gone).
double ResidentMiB(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/statm");
    long size = 0, resident = 0;
    if (!(in >> size >> resident)) return 0;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Children of every thread of `pid` (korvex-sim is started by the job's worker thread).
std::vector<pid_t> Children(pid_t pid)
{
    std::vector<pid_t> children;
    std::error_code ec;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
        std::ifstream in(task.path() / "children");
        for (pid_t child = 0; in >> child;) children.push_back(child);
    }
    return children;
}

struct Stage {
    std::string name;
    double seconds = 0, cliMiB = 0, simMiB = 0;
};

// The stages of one run, as korvex-cli's progress lines open them.
class StageLog {
public:
    explicit StageLog(Clock::time_point start) : started_(start) { stages_.push_back({"open project, check board"}); }
    void Begin(const std::string& name)
    {
        std::lock_guard lock(mutex_);
        stages_.back().seconds = bench::secondsSince(started_);
        started_ = Clock::now();
        stages_.push_back({name});
    }
    void Sample(double cli, double sim)
    {
        std::lock_guard lock(mutex_);
        stages_.back().cliMiB = std::max(stages_.back().cliMiB, cli);
        stages_.back().simMiB = std::max(stages_.back().simMiB, sim);
    }
    std::vector<Stage> Finish()
    {
        std::lock_guard lock(mutex_);
        stages_.back().seconds = bench::secondsSince(started_);
        return stages_;
    }

private:
    std::mutex mutex_;
    Clock::time_point started_;
    std::vector<Stage> stages_;
};

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Match(const std::string& text, const char* pattern)
{
    std::smatch m;
    return std::regex_search(text, m, std::regex(pattern)) ? m[1].str() : "?";
}

int Run(const std::vector<std::string>& argv, const std::string& out, StageLog* stages, std::string* errText,
        double* peakMiB)
{
    int errPipe[2];
    if (pipe(errPipe) != 0) return -1;
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen(out.c_str(), "w", stdout)) _exit(126);
        dup2(errPipe[1], 2);
        close(errPipe[0]);
        close(errPipe[1]);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(errPipe[1]);
    std::atomic<bool> done{false};
    std::thread sampler([&] {
        while (!done) {
            double sim = 0;
            for (pid_t child : Children(pid)) sim = std::max(sim, ResidentMiB(child));
            if (stages != nullptr) stages->Sample(ResidentMiB(pid), sim);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    FILE* err = fdopen(errPipe[0], "r");
    char line[4096];
    const std::regex stage("^korvex-cli: (.*)\\.\\.\\.$");
    while (std::fgets(line, sizeof line, err) != nullptr) {
        std::string text(line);
        if (errText != nullptr) *errText += text;
        while (!text.empty() && text.back() == '\n') text.pop_back();
        std::smatch m;
        if (stages != nullptr && std::regex_match(text, m, stage)) stages->Begin(m[1].str());
    }
    std::fclose(err);
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    done = true;
    sampler.join();
    if (peakMiB != nullptr) *peakMiB = double(usage.ru_maxrss) / 1024.0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int BenchSize(uint32_t pixels, const fs::path& folder)
{
    const fs::path work = folder / ("big" + std::to_string(pixels));
    fs::remove_all(work);
    fs::create_directories(work / "maps");
    const std::string project = (work / "board.sav").string();
    std::printf("== %u x %u pixels, 8 layers\n", pixels, pixels);
    {
        auto t = Clock::now();
        SimMatrix board;
        BigBoardCounts counts;
        if (GenerateBigBoard(&board, pixels, 1, &counts) != 0) {
            std::fprintf(stderr, "the board could not be generated\n");
            return 1;
        }
        const double generated = bench::secondsSince(t);
        t = Clock::now();
        std::string error;
        if (SaveProject(project.c_str(), &board, false, ProjectSections{nullptr, nullptr}, &error) != 0) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        std::printf("  board: %d vias, %d loads, %d ground connections, %d power regions; generated in %.1f s, "
                    "saved in %.1f s (%.0f MiB)\n",
                    counts.Vias, counts.Loads, counts.GroundConnections, counts.PowerRegions, generated, bench::secondsSince(t),
                    double(fs::file_size(project)) / (1024.0 * 1024.0));
    }
    const std::string cli = BinFolder() + "/korvex-cli";
    // Batch mode off keeps the netlist, RAW file and log for the figures below.
    if (Run({cli, "settings", "set", "--workdir", work.string(), "BatchMode=0"}, "/dev/null", nullptr, nullptr, nullptr) !=
        0)
        return 1;
    const auto start = Clock::now();
    StageLog stages(start);
    std::string errText;
    double peak = 0;
    const int code = Run({cli, "dc", project, "--workdir", work.string(), "--maps", (work / "maps").string(), "--save"},
                         (work / "summary.txt").string(), &stages, &errText, &peak);
    const double total = bench::secondsSince(start);
    if (code != 0) {
        std::fprintf(stderr, "korvex-cli dc failed (%d):\n%s", code, errText.c_str());
        return 1;
    }
    const std::string log = ReadFile(work / "spice_electrical.log");
    std::printf("  mesh: %s optimised nodes (%s refined); netlist %s lines, %.0f MiB; unknowns %s; RAW %.0f MiB\n",
                Match(errText, "refined, ([0-9]+) optimised").c_str(), Match(errText, "([0-9]+) refined").c_str(),
                Match(log, "Parsed ([0-9]+) lines").c_str(),
                double(fs::file_size(work / "spice_electrical.cir")) / (1024.0 * 1024.0),
                Match(log, "matrix ([0-9]+) x").c_str(),
                double(fs::file_size(work / "spice_electrical.raw")) / (1024.0 * 1024.0));
    std::printf("  korvex-sim: %s; set-up %s s, %s\n", Match(log, "solver ([^;]+);").c_str(),
                Match(log, "multigrid set-up ([0-9.]+) s").c_str(), Match(log, "(CG [0-9]+ iterations)").c_str());
    std::printf("  %-28s %9s %15s %15s\n", "stage", "wall", "korvex-cli peak", "korvex-sim peak");
    for (const Stage& s : stages.Finish())
        std::printf("  %-28s %8.1fs %11.0f MiB %11.0f MiB\n", s.name.c_str(), s.seconds, s.cliMiB, s.simMiB);
    std::printf("  total %.1f s, peak %.0f MiB (goal for 4000 pixels: under 600 s and 16384 MiB)\n", total, peak);
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    std::vector<uint32_t> sizes;
    fs::path folder = fs::temp_directory_path() / "korvex_bench_big_board";
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--folder" && i + 1 < argc) folder = argv[++i];
        else if (arg == "--keep") keep = true;
        else if (const long n = std::strtol(arg.c_str(), nullptr, 10); n >= 256 && n <= 20000) sizes.push_back(uint32_t(n));
        else {
            std::fprintf(stderr, "usage: %s [PIXELS ...] [--folder DIR] [--keep]\n", argv[0]);
            return 2;
        }
    }
    if (sizes.empty()) sizes = {1000};
    int status = 0;
    for (uint32_t pixels : sizes) status |= BenchSize(pixels, folder);
    if (!keep) fs::remove_all(folder);
    return status;
}
