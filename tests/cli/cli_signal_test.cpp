// korvex-cli stopped by SIGINT or SIGTERM while the simulator runs: the
// simulator is gone, the --save target is untouched, exit code 128 + signal.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "board/project_file.h"
#include "board/voltage_noise_param.h"
#include "cli_test_support.h"
#include "pdn/cap_database.h"
#include "support/board_generator.h"

namespace fs = std::filesystem;
using namespace korvex;

namespace {
pid_t StartCli(const std::vector<std::string>& args, const fs::path& errFile)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv{const_cast<char*>(KORVEX_CLI)};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::freopen(errFile.c_str(), "w", stderr);
        std::freopen("/dev/null", "w", stdout);
        ::execv(KORVEX_CLI, argv.data());
        ::_exit(127);
    }
    return pid;
}
}  // namespace

TEST(CliSignals, StopTheSimulatorAndLeaveTheSaveTargetUntouched)
{
    for (const auto& [sig, exitCode] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        TempFolder s("signal");
        const std::string project = s.Path("board.sav");
        {
            SimMatrix board;
            ASSERT_EQ(GenerateBenchmarkBoard(&board, 1000), 0);
            CapDatabase caps;
            VoltageNoiseTimeParam noise;
            ASSERT_EQ(SaveProject(project.c_str(), &board, false, ProjectSections{&caps, &noise}), 0);
            freeSimulationMatrix(&board);
        }
        const std::string saved = ReadFile(project);
        // The real simulator, started through a script that says its process ID first.
        const fs::path simPid = s.dir / "sim.pid";
        const std::string simulator =
            s.Script("sim.sh", "echo $$ > '" + simPid.string() + "'; exec '" + std::string(KORVEX_SIM) + "' \"$@\"");
        const pid_t cli = StartCli({"dc", project, "--workdir", s.dir.string(), "--simulator", simulator, "--save"},
                                   s.dir / "err.txt");
        ASSERT_TRUE(WaitForLine(simPid, 120)) << ReadFile(s.dir / "err.txt");
        const pid_t sim = PidIn(simPid);
        ASSERT_GT(sim, 0);
        ::kill(cli, sig);
        int status = 0;
        ASSERT_EQ(::waitpid(cli, &status, 0), cli);
        ASSERT_TRUE(WIFEXITED(status)) << ReadFile(s.dir / "err.txt");
        EXPECT_EQ(WEXITSTATUS(status), exitCode) << ReadFile(s.dir / "err.txt");
        EXPECT_EQ(::kill(sim, 0), -1) << "the simulator outlived korvex-cli";
        EXPECT_TRUE(ReadFile(project) == saved);
        for (const auto& entry : fs::directory_iterator(s.dir))
            EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
        EXPECT_NE(ReadFile(s.dir / "err.txt").find("korvex-cli: cancelled"), std::string::npos);
    }
}
