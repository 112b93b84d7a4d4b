#pragma once
// The road by which the board commands of korvex-cli change a project: open
// it whole (board, capacitor list, noise parameters), change it in memory,
// save it atomically in its own format (plain or compressed). A failed step
// leaves the file as it was.
#include <functional>
#include <string>

#include "board/sim_matrix.h"
#include "board/voltage_noise_param.h"
#include "pdn/cap_database.h"
#include "project/project.h"

namespace korvex::cli {

// Opens PATH, applies CHANGE (which returns "" or the reason to refuse) and
// saves atomically. The exit code: 0, or 1 after printing the reason.
int ChangeProject(const std::string& path, const std::function<std::string(korvex::Project&)>& change);

// Opens PATH into PROJECT; the exit code of a refusal (after printing the
// reason), or 0.
int OpenProject(korvex::Project& project, const std::string& path);

}  // namespace korvex::cli
