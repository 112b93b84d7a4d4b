// Writes the two copper layers of the walk-through board as 24-bit bitmaps,
// one pixel per millimetre (80 x 50):
//   make_demo_bitmaps examples/power.bmp examples/ground.bmp
// power.bmp: a power plane with a slot that the current has to go around;
// ground.bmp: a ground plane over the whole board.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

constexpr uint32_t kWidth = 80, kHeight = 50;

bool PowerPlane(uint32_t x, uint32_t y)
{
    const bool plane = x >= 4 && x < 76 && y >= 4 && y < 46;
    const bool slot = x >= 38 && x < 41 && y < 34;  // open at the top, closed 12 mm above the bottom edge
    return plane && !slot;
}

bool GroundPlane(uint32_t, uint32_t) { return true; }

bool WriteBitmap(const char* path, bool (*copper)(uint32_t, uint32_t))
{
    const uint32_t stride = (3 * kWidth + 3) / 4 * 4;
    std::vector<uint8_t> file(54 + stride * kHeight, 0);
    const auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    file[0] = 'B', file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, kWidth);
    put32(22, kHeight);
    file[26] = 1, file[28] = 24;
    put32(34, stride * kHeight);
    for (uint32_t row = 0; row < kHeight; ++row)  // bottom row first
        for (uint32_t x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c) file[54 + row * stride + 3 * x + c] = copper(x, kHeight - 1 - row) ? 255 : 0;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_demo_bitmaps POWER.bmp GROUND.bmp\n");
        return 2;
    }
    if (!WriteBitmap(argv[1], PowerPlane) || !WriteBitmap(argv[2], GroundPlane)) {
        std::fprintf(stderr, "make_demo_bitmaps: cannot write the bitmaps\n");
        return 1;
    }
    return 0;
}
