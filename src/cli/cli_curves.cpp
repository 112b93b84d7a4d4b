#include "cli_curves.h"

#include <mutex>

#include "diagram/diagram.h"
#include "diagram/diagram_csv.h"

namespace korvex::cli {

int SaveSelectedCurvesCsv(const Diagram& diagram, const std::vector<int>& slots, const std::string& path,
                          std::string* reason)
{
    Diagram selection;
    int next = 0;
    for (int slot : slots) {
        if (slot < 0 || slot >= kDiagramCurves || next >= kDiagramCurves) continue;
        std::string name;
        std::vector<float> x, y, z;
        {
            std::lock_guard<std::mutex> guard(diagram.Lock);
            const DiagramCurve& c = diagram.Curve[slot];
            if (!DiagramCurveHasData(c)) continue;
            name = c.szName;
            x.assign(c.pX, c.pX + c.PointCount);
            y.assign(c.pY, c.pY + c.PointCount);
            z.assign(c.pZ, c.pZ + c.PointCount);
        }
        if (InitDiagramData(&selection, name.c_str(), next, static_cast<int>(x.size())) != 0) continue;
        for (size_t k = 0; k < x.size(); ++k) SetDataPoint(&selection, next, static_cast<int>(k), x[k], y[k], z[k]);
        ++next;
    }
    return SaveDiagramCurvesCsv(&selection, kDiagramDataCurves, path.c_str(), reason);
}

}  // namespace korvex::cli
