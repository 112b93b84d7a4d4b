#pragma once
// Files the board-command tests feed korvex-cli, written here independently of
// the code under test: 24-bit bitmaps from a copper pattern.
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

// A 24-bit bottom-up BMP of W x H pixels: white where COPPER(x, y), black elsewhere.
inline void WriteTestBitmap(const std::string& path, uint32_t w, uint32_t h,
                            const std::function<bool(uint32_t, uint32_t)>& copper)
{
    const uint32_t stride = (3 * w + 3) / 4 * 4;
    std::vector<uint8_t> file(54 + stride * h, 0);
    const auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    file[26] = 1;
    file[28] = 24;
    put32(34, stride * h);
    for (uint32_t row = 0; row < h; ++row)
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t y = h - 1 - row;
            const uint8_t v = copper(x, y) ? 255 : 0;
            for (int c = 0; c < 3; ++c) file[54 + row * stride + 3 * x + c] = v;
        }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
}
