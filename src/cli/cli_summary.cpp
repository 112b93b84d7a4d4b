#include "cli_summary.h"

#include <cmath>
#include <cstdio>
#include <mutex>

#include "board/raster.h"
#include "board/sim_matrix.h"
#include "diagram/diagram.h"
#include "mesh/part_lookup.h"
#include "util/number_text.h"

namespace korvex::cli {

void PrintLayerRanges(const SimMatrix& board, float*** raster, const char* what, const char* unit)
{
    const int nx = static_cast<int>(board.CountPixelX), ny = static_cast<int>(board.CountPixelY);
    for (int l = 0; l < board.LayerCount; ++l)
        std::printf("Layer %d %s: %.6g ... %.6g %s\n", l + 1, what, MinOfMatrixLayer(raster, nx, ny, l),
                    MaxOfMatrixLayer(raster, nx, ny, l), unit);
}

void PrintPartTemperatures(const SimMatrix& board)
{
    for (const Part* p = GetFirstPart(&board); p != nullptr; p = GetNextPart(p)) {
        if (p->Kind == PART_HEATSOURCE) {
            const auto* h = PartRecord<HeatSource>(p);
            std::printf("Heat source %s (%g W): junction %.2f °C\n", h->Net, h->Power, h->Temperature);
        } else if (p->Kind == PART_HEATSINK) {
            const auto* h = PartRecord<HeatSink>(p);
            std::printf("Heat sink %s: %.2f °C\n", h->Net, h->Temperature);
        }
    }
}

void PrintViaCurrents(const SimMatrix& board)
{
    for (const Part* p = GetFirstPart(&board); p != nullptr; p = GetNextPart(p)) {
        if (p->Kind != PART_VIA) continue;
        const auto* v = PartRecord<Via>(p);
        bool any = false;
        for (int l = 0; l + 1 < board.LayerCount; ++l) any = any || v->Current[l] != 0.0f;
        if (!any) continue;
        std::printf("Via %llu at (%u, %u):", static_cast<unsigned long long>(PartKey(&board, p)), v->x, v->y);
        for (int l = 0; l + 1 < board.LayerCount; ++l) std::printf(" %sA", FloatToChar(v->Current[l]).c_str());
        std::printf("\n");
    }
}

void PrintCurves(const Diagram& diagram)
{
    std::lock_guard<std::mutex> lock(diagram.Lock);
    for (const DiagramCurve& c : diagram.Curve) {
        if (!DiagramCurveHasData(c)) continue;
        double lo = INFINITY, hi = 0;
        for (int i = 0; i < c.PointCount; ++i) {
            const double m = std::hypot(static_cast<double>(c.pY[i]), static_cast<double>(c.pZ[i]));
            lo = std::min(lo, m);
            hi = std::max(hi, m);
        }
        std::printf("Curve %s: %d points from %sHz to %sHz, |value| %.6g ... %.6g\n", c.szName, c.PointCount,
                    FloatToChar(c.pX[0]).c_str(), FloatToChar(c.pX[c.PointCount - 1]).c_str(), lo, hi);
    }
}

}  // namespace korvex::cli
