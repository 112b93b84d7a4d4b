#pragma once
// What the desktop's benchmarks share: timing helpers and the 2000 x 2000
// pixel, 4-layer board they drive the windows on.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "board/part_list.h"
#include "board/part_records.h"
#include "edit/board_document.h"

namespace korvex::gui::bench {

using Clock = std::chrono::steady_clock;

inline double Ms(Clock::time_point from)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Copper in stripes on every layer; with `parts` 300 vias and 300 capacitors,
// with `results` smooth voltage, temperature, current and Zin rasters.
inline std::unique_ptr<BoardDocument> MakeBenchBoard(bool parts, bool results)
{
    SimMatrix stack;
    InitSimulationMatrix(&stack);
    SetLayerCount(&stack, 4);
    SetSize(&stack, 0.2f, 0.2f, 2000, 2000, nullptr, nullptr);
    std::string reason;
    auto document = BoardDocument::CreateNew(stack, &reason);
    SimMatrix& b = document->Board();
    for (uint32_t x = 0; x < 2000; ++x)
        for (uint32_t y = 0; y < 2000; ++y)
            for (int l = 0; l < 4; ++l) {
                b.CopperMatrix[x][y][l] = ((x / 50 + y / 70 + l) % 3) != 0 ? 1.0f : 0.0f;
                if (!results) continue;
                b.VoltageMatrix[x][y][l] = 1.0f - 1e-4f * (x + y) - 0.01f * l;
                b.TemperatureMatrix[x][y][l] = 25.0f + 0.01f * x + l;
                b.CurrentXMatrix[x][y][l] = std::sin(0.01f * y), b.CurrentYMatrix[x][y][l] = std::cos(0.01f * x);
                b.CurrentDensityMatrix[x][y][l] = std::hypot(b.CurrentXMatrix[x][y][l], b.CurrentYMatrix[x][y][l]);
                b.ZinMatrix[x][y][l] = 0.01f * l + 1e-5f * x;
            }
    for (uint32_t i = 0; parts && i < 300; ++i) {
        Via via;
        via.x = (i * 37) % 2000, via.y = (i * 91) % 2000;
        AddPart(&b, PART_VIA, &via);
        Cap cap;
        cap.x = (i * 53) % 2000, cap.y = (i * 17) % 2000, cap.Ref = i;
        AddPart(&b, PART_CAP, &cap);
    }
    return document;
}

}  // namespace korvex::gui::bench
