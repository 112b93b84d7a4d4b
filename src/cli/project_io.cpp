#include "project_io.h"

#include "command_registry.h"

namespace korvex::cli {

int OpenProject(korvex::Project& project, const std::string& path)
{
    const Status opened = project.Open(path);
    return opened ? 0 : Refuse(opened.Reason());
}

int ChangeProject(const std::string& path, const std::function<std::string(korvex::Project&)>& change)
{
    korvex::Project project;
    if (const int refused = OpenProject(project, path); refused != 0) return refused;
    if (const std::string why = change(project); !why.empty()) return Refuse(why);
    project.MarkModified();
    const Status saved = project.Save();
    return saved ? 0 : Refuse(saved.Reason());
}

}  // namespace korvex::cli
