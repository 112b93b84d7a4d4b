#include "cli_test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "board/example_board.h"
#include "mesh/mesh_generation.h"

namespace korvex {

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
    r.err = ReadFile(errFile);
    fs::remove(errFile);
    return r;
}

int RunShell(const std::string& script)
{
    const int raw = std::system(script.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
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

std::string TempFolder::Script(const char* name, const std::string& body) const
{
    const std::string path = Path(name);
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    ::chmod(path.c_str(), 0755);
    return path;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool WaitForLine(const fs::path& path, int seconds)
{
    const auto complete = [&] {
        const std::string text = ReadFile(path);
        return !text.empty() && text.back() == '\n';
    };
    for (int i = 0; i < seconds * 100 && !complete(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return complete();
}

int PidIn(const fs::path& path)
{
    std::ifstream in(path);
    int pid = 0;
    in >> pid;
    return pid;
}

std::string LastLine(const std::string& text)
{
    const size_t end = text.find_last_not_of('\n');
    if (end == std::string::npos) return "";
    const size_t start = text.rfind('\n', end);
    const size_t from = start == std::string::npos ? 0 : start + 1;
    return text.substr(from, end - from + 1);
}

Project Stored(const fs::path& path)
{
    Project project;
    const Status opened = project.Open(path.string());
    EXPECT_TRUE(opened.IsOk()) << opened.Reason();
    return project;
}

void SaveEditedDemo(const std::string& path, const std::function<void(SimMatrix&)>& edit)
{
    Project project = Stored(kDemo);
    edit(project.Board());
    const Status saved = project.SaveAs(path, true);
    EXPECT_TRUE(saved.IsOk()) << saved.Reason();
}

Csv ReadCsv(const fs::path& path)
{
    Csv csv;
    std::ifstream in(path);
    std::getline(in, csv.header);
    for (std::string line; std::getline(in, line);) {
        std::vector<double> row;
        std::stringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) row.push_back(std::stod(cell));
        csv.rows.push_back(row);
    }
    return csv;
}

Touchstone ReadTouchstone(const fs::path& path, size_t columns)
{
    Touchstone file;
    std::istringstream text(ReadFile(path));
    for (std::string line; std::getline(text, line);) {
        if (line.empty() || line[0] == '!') {
            EXPECT_TRUE(file.option.empty() && file.rows.empty()) << "comment after the option line: " << line;
        } else if (line[0] == '#') {
            EXPECT_TRUE(file.option.empty()) << "a second option line: " << line;
            file.option = line;
        } else {
            EXPECT_FALSE(file.option.empty()) << "data before the option line: " << line;
            std::istringstream in(line);
            std::vector<double> row(columns);
            for (double& x : row) in >> x;
            EXPECT_TRUE(in && (in >> std::ws).eof()) << "not " << columns << " numbers: " << line;
            if (!file.rows.empty()) {
                EXPECT_GT(row[0], file.rows.back()[0]) << "frequencies must rise";
            }
            file.rows.push_back(row);
        }
    }
    return file;
}


void UseShortSweep(Settings* settings)
{
    settings->StartFrequency = 1e5;
    settings->StopFrequency = 1e9;
    settings->NumberOfPoints = 24;
    settings->Steps = 2;
}

JobBench::JobBench()
{
    CreateExampleBoard(&board);
    UseShortSweep(&settings);
    EXPECT_EQ(CreateMesh(&board, &mesh, nullptr, &settings), 0);
}

JobBench::JobBench(uint32_t nx, uint32_t ny, int layers, float pitch)
{
    InitSimulationMatrix(&board);
    SetLayerCount(&board, layers);
    SetSize(&board, pitch * static_cast<float>(nx), pitch * static_cast<float>(ny), nx, ny, nullptr, nullptr);
    MallocAllMatrices(&board);
    settings.BatchMode = 0;
}

JobEnvironment JobBench::Env()
{
    JobEnvironment env = project.Environment();
    env.WorkFolder = folder.dir.string();
    env.Simulator = simulator;
    return env;
}

void JobBench::FillLayer(int layer)
{
    for (uint32_t x = 0; x < board.CountPixelX; ++x)
        for (uint32_t y = 0; y < board.CountPixelY; ++y) board.CopperMatrix[x][y][layer] = 1.0f;
}

void JobBench::BuildMesh()
{
    std::string reason;
    ASSERT_EQ(CommandCreateMesh(Env(), nullptr, &reason), 0) << reason;
}

}  // namespace korvex
