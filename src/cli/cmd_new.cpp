// korvex-cli new BOARD.sav --pixels NXxNY --size WxHmm --layers N: an empty
// board with the layer stack of a new board.
#include <cstdio>
#include <cctype>
#include <filesystem>

#include "board/bitmap_file.h"
#include "command_registry.h"
#include "output_guard.h"
#include "project_io.h"
#include "quantity.h"

namespace korvex::cli {
namespace {

struct NewOptions {
    std::string path;
    std::string pixels = "160x100";
    std::string size = "160x100mm";
    int layers = 2;
    bool plain = false;
    bool force = false;
};

// "AxB" with an optional unit after B that applies to both ("160x100mm").
bool SplitPair(const std::string& text, std::string* a, std::string* b)
{
    const size_t x = text.find_first_of("xX*");
    if (x == std::string::npos || x == 0 || x + 1 >= text.size()) return false;
    *a = text.substr(0, x);
    *b = text.substr(x + 1);
    size_t unit = b->size();
    while (unit > 0 && !std::isdigit(static_cast<unsigned char>((*b)[unit - 1])) && (*b)[unit - 1] != '.') --unit;
    const bool aHasUnit = !a->empty() && !std::isdigit(static_cast<unsigned char>(a->back())) && a->back() != '.';
    if (!aHasUnit) *a += b->substr(unit);
    return true;
}

int Run(const NewOptions& o)
{
    std::string a, b, why;
    unsigned long long nx = 0, ny = 0;
    if (!SplitPair(o.pixels, &a, &b)) return Refuse("--pixels takes NXxNY, for example 160x100");
    if (!ParseCount(a, 1, 100000, &nx, &why) || !ParseCount(b, 1, 100000, &ny, &why))
        return Refuse("--pixels: " + why);
    if (static_cast<int64_t>(nx * ny) >= kBitmapPixelLimit)
        return Refuse("--pixels: " + std::to_string(nx * ny) + " pixels per layer; at most " +
                      std::to_string(kBitmapPixelLimit - 1));
    double width = 0, height = 0;
    if (!SplitPair(o.size, &a, &b)) return Refuse("--size takes WxH with a unit, for example 160x100mm");
    if (!ParseQuantity(a, "m", &width, &why) || !ParseQuantity(b, "m", &height, &why)) return Refuse("--size: " + why);
    if (!(width > 0 && height > 0 && width <= 10 && height <= 10))
        return Refuse("--size: width and height must lie between 0 and 10m");
    if (o.layers < 1 || o.layers > kMaxLayers) return Refuse("--layers must lie in 1 ... 8");
    if (std::filesystem::exists(o.path) && !o.force)
        return Refuse(o.path + " exists; give --force to replace it with a new board");
    if (std::string guard = CheckOutputPath(o.path, {}, o.force, "project"); !guard.empty()) return Refuse(guard);

    korvex::Project project;
    SimMatrix& board = project.Board();
    // The stack of a new board; layers beyond its first entries keep the record's defaults.
    ApplyNewBoardDefaults(&board);
    float sizeZ[8], copper[8];
    SimMatrix init;
    InitSimulationMatrix(&init);
    for (int l = 0; l < 8; ++l) {
        sizeZ[l] = board.SizeZ[l] > 0 ? board.SizeZ[l] : init.SizeZ[l];
        copper[l] = board.CopperThickness[l] > 0 ? board.CopperThickness[l] : init.CopperThickness[l];
    }
    SetLayerCount(&board, o.layers);
    SetSize(&board, static_cast<float>(width), static_cast<float>(height), static_cast<uint32_t>(nx),
            static_cast<uint32_t>(ny), sizeZ, copper);
    if (MallocAllMatrices(&board) != 0) return Refuse("not enough memory for a board of that size");
    project.Create(o.path, !o.plain);
    if (const Status saved = project.Save(); !saved) return Refuse(saved.Reason());
    std::printf("New board %s: %llu x %llu pixels, %s x %s, %d layers\n", o.path.c_str(), nx, ny,
                FormatQuantity(width, "m").c_str(), FormatQuantity(height, "m").c_str(), o.layers);
    return 0;
}

const KorvexCommand kNew("new", "Create an empty board", [](CLI::App& sub) {
    auto o = std::make_shared<NewOptions>();
    sub.add_option("BOARD", o->path, "Project file to create (.sav)")->required();
    sub.add_option("--pixels", o->pixels, "Raster size NXxNY in pixels (default 160x100)");
    sub.add_option("--size", o->size, "Board size WxH with a unit, e.g. 160x100mm (default)");
    sub.add_option("--layers", o->layers, "Copper layers, 1 ... 8 (default 2)");
    sub.add_flag("--plain", o->plain, "Write an uncompressed project");
    sub.add_flag("--force", o->force, "Replace an existing file");
    return [o]() { return Run(*o); };
});

}  // namespace
}  // namespace korvex::cli
