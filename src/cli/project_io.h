#pragma once
// The one road by which the board commands of korvex-cli read and write a
// project: open it whole (board, capacitor list, noise parameters), change it
// in memory, save it atomically in its own format (plain or compressed). A
// failed step leaves the file as it was.
#include <functional>
#include <string>

#include "board/sim_matrix.h"
#include "pdn/cap_database.h"
#include "board/voltage_noise_param.h"

namespace korvex::cli {

class ProjectIo {
public:
    ProjectIo();
    ~ProjectIo();
    ProjectIo(const ProjectIo&) = delete;
    ProjectIo& operator=(const ProjectIo&) = delete;

    // Loads PATH. False with the reason when it cannot be read.
    bool Open(const std::string& path, std::string* why);
    // Starts a new project at PATH (nothing is written until Save).
    void Create(const std::string& path, bool compressed);
    // Replaces the file atomically. False with the reason.
    bool Save(std::string* why);

    SimMatrix& Board() { return board_; }
    CapDatabase& Caps() { return caps_; }
    VoltageNoiseTimeParam& NoiseParam() { return noise_; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    bool compressed_ = true;
    SimMatrix board_;
    CapDatabase caps_;
    VoltageNoiseTimeParam noise_;
};

// Opens PATH, applies CHANGE (which returns "" or the reason to refuse) and
// saves atomically. The exit code: 0, or 1 after printing the reason.
int ChangeProject(const std::string& path, const std::function<std::string(ProjectIo&)>& change);

}  // namespace korvex::cli
