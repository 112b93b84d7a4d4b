// korvex-cli import-bmp BOARD.sav --layer K FILE.bmp: the copper of layer K
// (1 = "Layer1") from a 24-bit bitmap of the board's pixel size; black is no
// copper, any other colour copper.
#include <cstdio>

#include "board/bitmap_file.h"
#include "command_registry.h"
#include "project_io.h"

namespace korvex::cli {
namespace {

struct ImportOptions {
    std::string path;
    int layer = 1;
    std::string bitmap;
};

const KorvexCommand kImportBmp("import-bmp", "Import the copper of one layer from a 24-bit bitmap", [](CLI::App& sub) {
    auto o = std::make_shared<ImportOptions>();
    sub.add_option("BOARD", o->path, "Project file (.sav)")->required();
    sub.add_option("--layer", o->layer, "Layer K, 1 ... LayerCount")->required();
    sub.add_option("BITMAP", o->bitmap, "24-bit BMP of the board's pixel size")->required();
    return [o]() {
        uint64_t copper = 0;
        const int status = ChangeProject(o->path, [&](korvex::Project& p) -> std::string {
            SimMatrix& b = p.Board();
            if (o->layer < 1 || o->layer > b.LayerCount)
                return "--layer must lie in 1 ... " + std::to_string(b.LayerCount) + " for this board";
            std::string why;
            if (BitmapToMatrix(&b, o->bitmap.c_str(), b.CopperMatrix, o->layer - 1, &why) != 0)
                return o->bitmap + ": " + (why.empty() ? "cannot be imported" : why);
            for (uint32_t x = 0; x < b.CountPixelX; ++x)
                for (uint32_t y = 0; y < b.CountPixelY; ++y) copper += HasCopper(b, x, y, o->layer - 1);
            return {};
        });
        if (status == 0)
            std::printf("Layer%d of %s from %s: %llu copper pixels\n", o->layer, o->path.c_str(), o->bitmap.c_str(),
                        static_cast<unsigned long long>(copper));
        return status;
    };
});

}  // namespace
}  // namespace korvex::cli
