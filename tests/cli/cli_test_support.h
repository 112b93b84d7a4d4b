#pragma once
// Running korvex-cli as the real program from tests, scratch folders and files,
// and a project in a scratch folder with the real korvex-sim as the simulator.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "board/part_list.h"
#include "board/settings_file.h"
#include "board/sim_matrix.h"
#include "diagram/diagram.h"
#include "jobs/commands.h"
#include "mesh/mesh_model.h"
#include "pdn/simulate_s_capacitor.h"
#include "project/project.h"

namespace korvex {

// The example project shipped with the program.
inline const std::string kDemo = std::string(KORVEX_EXAMPLES) + "/demo.sav";

struct CliRun {
    int status = -1;
    std::string out, err;
};

// Runs `korvex-cli ARGS` with stdout and stderr captured; in `folder` when given
// (so that no Settings.set of the build folder is read), else here.
CliRun RunCli(const std::string& args, const std::filesystem::path& folder = {});

// Exit status of the shell command SCRIPT (-1 when it died of a signal).
int RunShell(const std::string& script);

// A folder under the temporary directory, unique per process and tag, removed
// with everything in it when the object goes.
struct TempFolder {
    std::filesystem::path dir;
    explicit TempFolder(const std::string& tag = "cli");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string Path(const char* name) const { return (dir / name).string(); }
    // An executable shell script NAME in the folder running BODY; returns its path.
    std::string Script(const char* name, const std::string& body) const;
};

// The whole file as it is on disk ("" when it cannot be read).
std::string ReadFile(const std::filesystem::path& path);

// True once PATH holds a whole line, within SECONDS (a script's shell creates
// the file before it writes to it).
bool WaitForLine(const std::filesystem::path& path, int seconds);

// The process ID written in PATH (0 when there is none).
int PidIn(const std::filesystem::path& path);

// The last non-empty line of TEXT, without its line end.
std::string LastLine(const std::string& text);

// The project file at PATH as stored (a failure to open it fails the test).
Project Stored(const std::filesystem::path& path);

// The example project with EDIT applied to its board, saved compressed as PATH.
void SaveEditedDemo(const std::string& path, const std::function<void(SimMatrix&)>& edit);

// Adds RECORD to BOARD as a part of KIND.
template <class Record>
void Place(SimMatrix* board, uint32_t kind, Record record)
{
    AddPart(board, kind, &record);
}

// A CSV as rows of numbers below its header.
struct Csv {
    std::string header;
    std::vector<std::vector<double>> rows;
};
Csv ReadCsv(const std::filesystem::path& path);

// A Touchstone file's option line and data rows of COLUMNS numbers each, frequencies
// rising. Comments only before the option line, one option line before the data, and
// anything else fail the test.
struct Touchstone {
    std::string option;
    std::vector<std::vector<double>> rows;
};
Touchstone ReadTouchstone(const std::filesystem::path& path, size_t columns);


// The records are a korvex::Project's; the members name them.
struct JobBench {
    TempFolder folder{"job"};
    Project project;
    SimMatrix& board = project.Board();
    Mesh& mesh = project.MeshRecord();
    Settings& settings = project.SettingsRecord();
    Diagram& diagram = project.DiagramRecord();
    SimulateSCapacitorData& sparams = project.SParameters();
    std::string simulator = KORVEX_SIM;

    // The example board, meshed, with a short AC sweep (24 points in two sub-bands).
    JobBench();
    // An empty board of NX x NY pixels of PITCH metres; BuildMesh once the parts are on.
    JobBench(uint32_t nx, uint32_t ny, int layers, float pitch);
    JobBench(const JobBench&) = delete;
    JobBench& operator=(const JobBench&) = delete;

    JobEnvironment Env();
    void FillLayer(int layer);
    void BuildMesh();
};

// The AC sweep the example benches and projects use: 1e5 .. 1e9 Hz, 24 points, two sub-bands.
void UseShortSweep(Settings* settings);

}  // namespace korvex
