// korvex-cli example OUT.sav: writes the example board.
#include "board/example_board.h"
#include "board/project_file.h"
#include "command_registry.h"
#include "output_guard.h"

namespace korvex::cli {

namespace {
const KorvexCommand kExample("example", "Write the example board as a project", [](CLI::App& sub) {
    auto out = std::make_shared<std::string>();
    auto plain = std::make_shared<bool>(false);
    auto force = std::make_shared<bool>(false);
    sub.add_option("OUT", *out, "Project file to write")->required();
    sub.add_flag("--plain", *plain, "Write uncompressed");
    sub.add_flag("--force", *force, "Replace a file that is not a KORVEX file");
    return [out, plain, force]() {
        if (std::string why = korvex::cli::CheckOutputPath(*out, {}, *force, "project"); !why.empty())
            return Refuse(why);
        SimMatrix board;
        std::string error;
        int status = 0;
        if (CreateExampleBoard(&board) != 0)
            status = Refuse("the example board could not be built");
        else if ((*plain ? SaveSimMatrix(out->c_str(), &board, &error) : gzSaveSimMatrix(out->c_str(), &board, &error)) != 0)
            status = Refuse(error);
        else
            std::printf("Example board written to %s\n", out->c_str());
        freeSimulationMatrix(&board);
        return status;
    };
});
}  // namespace

}  // namespace korvex::cli
