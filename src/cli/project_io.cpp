#include "project_io.h"

#include "board/project_file.h"
#include "command_registry.h"

namespace korvex::cli {

ProjectIo::ProjectIo() { InitSimulationMatrix(&board_); }

ProjectIo::~ProjectIo()
{
    freeSimulationMatrix(&board_);
    FreeCapDatabase(&caps_);
}

bool ProjectIo::Open(const std::string& path, std::string* why)
{
    if (LoadProject(path.c_str(), &board_, true, ProjectSections{&caps_, &noise_}, why) != 1) return false;
    path_ = path;
    compressed_ = IsCompressedProject(path.c_str());
    return true;
}

void ProjectIo::Create(const std::string& path, bool compressed)
{
    path_ = path;
    compressed_ = compressed;
}

bool ProjectIo::Save(std::string* why)
{
    return SaveProject(path_.c_str(), &board_, compressed_, ProjectSections{&caps_, &noise_}, why) == 0;
}

int ChangeProject(const std::string& path, const std::function<std::string(ProjectIo&)>& change)
{
    ProjectIo project;
    std::string why;
    if (!project.Open(path, &why)) return Refuse(why);
    why = change(project);
    if (!why.empty()) return Refuse(why);
    if (!project.Save(&why)) return Refuse(why);
    return 0;
}

}  // namespace korvex::cli
