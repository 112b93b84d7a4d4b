// Bitmap import into a copper layer: the file checks, then the import into a board of the
// bitmap's size (up to 512 x 512) and into one of another size.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "board/bitmap_file.h"
#include "board/sim_matrix.h"
#include "fuzz_support.h"

using namespace korvex;

namespace {
void ImportInto(uint32_t nx, uint32_t ny, const std::string& path)
{
    SimMatrix board;
    InitSimulationMatrix(&board);
    SetLayerCount(&board, 2);
    SetSize(&board, 0.001f * nx, 0.001f * ny, nx, ny, nullptr, nullptr);
    MallocAllMatrices(&board);
    std::string error;
    BitmapToMatrix(&board, path.c_str(), board.CopperMatrix, 1, &error);
    freeSimulationMatrix(&board);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = fuzz::AsFile(data, size, "input.bmp");
    BitmapInfoHeader info;
    std::vector<uint8_t> pixels;
    std::string error;
    if (LoadBitmapFile(path.c_str(), &info, &pixels, &error) == 0) {
        const int64_t width = info.Width, height = std::llabs(static_cast<int64_t>(info.Height));
        if (width >= 1 && width <= 512 && height >= 1 && height <= 512)
            ImportInto(static_cast<uint32_t>(width), static_cast<uint32_t>(height), path);
    }
    ImportInto(4, 3, path);
    return 0;
}
