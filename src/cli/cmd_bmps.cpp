// korvex-cli bmps PROJECT.sav [DIR]: the copper and result bitmaps of every layer.
#include <filesystem>

#include "board/bitmap_file.h"
#include "board/project_file.h"
#include "command_registry.h"

namespace korvex::cli {

namespace {
const KorvexCommand kBmps("bmps", "Write the copper and result bitmaps of every layer", [](CLI::App& sub) {
    auto project = std::make_shared<std::string>();
    auto folder = std::make_shared<std::string>(".");
    sub.add_option("PROJECT", *project, "Project file (.sav)")->required();
    sub.add_option("DIR", *folder, "Folder for the bitmaps (default: current folder)");
    return [project, folder]() {
        SimMatrix board;
        std::string error;
        if (gzLoadSimMatrix(project->c_str(), &board, &error) != 1) return Refuse(error);
        std::error_code ec;
        std::filesystem::create_directories(*folder, ec);
        const int status = CreateBMPs(&board, *folder, &error) == 0 ? 0 : Refuse(error);
        if (status == 0)
            std::printf("%d bitmaps written to %s\n", 5 * board.LayerCount, folder->c_str());
        freeSimulationMatrix(&board);
        return status;
    };
});
}  // namespace

}  // namespace korvex::cli
