#include "result/result_range.h"

#include <cmath>

#include "mesh/mesh_model.h"
#include "mesh/mesh_results.h"

namespace korvex::gui {

float*** ResultRaster(const SimMatrix& b, int show)
{
    switch (show) {
    case kShowVoltage: return b.VoltageMatrix;
    case kShowCurrentDensity: return b.CurrentDensityMatrix;
    case kShowTemperature: return b.TemperatureMatrix;
    case kShowZin: return b.ZinMatrix;
    default: return nullptr;
    }
}

namespace {

// Smallest and largest element in one pass over the rows (each row holds the
// layers of one element side by side); only `layer` when it is not negative.
void MinMax(float*** raster, int cx, int cy, int layers, int layer, double* minimum, double* maximum)
{
    float lo = 0, hi = 0;
    bool first = true;
    const int from = layer < 0 ? 0 : layer, to = layer < 0 ? layers : layer + 1;
    for (int x = 0; x < cx; ++x)
        for (int y = 0; y < cy; ++y) {
            const float* e = raster[x][y];
            for (int l = from; l < to; ++l) {
                const float v = e[l];
                if (first) {
                    if (v == v) lo = hi = v, first = false;  // NaN never starts the range
                    continue;
                }
                if (v < lo) lo = v;
                if (v > hi) hi = v;
            }
        }
    *minimum = lo, *maximum = hi;
}

}  // namespace

ResultRange ComputeResultRange(const SimMatrix& board, int show, int layer, bool autoMinMax, float minValue,
                               float maxValue)
{
    ResultRange r;
    float*** raster = ResultRaster(board, show);
    const int cx = int(board.CountPixelX), cy = int(board.CountPixelY), layers = board.LayerCount;
    if (!autoMinMax) {
        r.minimum = minValue, r.maximum = maxValue;
    } else if (raster != nullptr && cx > 0 && cy > 0 && layers > 0) {
        switch (show) {
        case kShowVoltage:
            MinMax(raster, cx, cy, layers, -1, &r.minimum, &r.maximum);
            break;
        case kShowCurrentDensity:
            MinMax(raster, cx, cy, layers, -1, &r.minimum, &r.maximum);
            r.maximum -= 0.6 * (r.maximum - r.minimum);
            break;
        case kShowTemperature: {
            double unused = 0;
            MinMax(raster, cx, cy, layers, -1, &unused, &r.maximum);
            r.minimum = board.TAmbient;
            break;
        }
        default:
            if (layer >= 0 && layer < layers) MinMax(raster, cx, cy, layers, layer, &r.minimum, &r.maximum);
        }
    }
    r.scale = r.maximum != r.minimum ? 1.0 / (r.maximum - r.minimum) : 1.0;
    return r;
}

QString ResultValueText(int show, double v, double pitchX)
{
    switch (show) {
    case kShowVoltage:
        if (v > 1) return QString::asprintf("%.3f V", v);
        if (v > 0.001) return QString::asprintf("%.3f mV", 1000 * v);
        if (v > 1e-6) return QString::asprintf("%.3f uV", 1e6 * v);
        return QString::asprintf("%.3f V", v);
    case kShowCurrentDensity: return QString::asprintf("%#3.3e A/mm", v / pitchX * 0.001);
    case kShowTemperature: return QString::asprintf("%#3.2f °C", v);
    default: return QString::asprintf("%#3.2f Ohm", v);
    }
}

QString ResultPositionText(int x, int y, double pitchX, double pitchY)
{
    return QString::asprintf("(%.2f, %.2f) mm", x * pitchX * 1000, y * pitchY * 1000);
}

QString ResultUnit(int show)
{
    static const char* const kUnits[] = {"V", "A/mm", "°C", "Ohm"};
    return show >= 0 && show < 4 ? QString::fromUtf8(kUnits[show]) : QString();
}

QString ResultDiagnostics(const Mesh& mesh, int show, int layer, int x, int y)
{
    if (x < 0 || y < 0 || x >= mesh.CountPixelX || y >= mesh.CountPixelY || layer < 0 || layer >= 8) return {};
    const MeshNode* node = CoordinateToAddress(&mesh, MeshPoint{x, y});
    if (node == nullptr || show == kShowZin) return {};
    if (show == kShowCurrentDensity)
        return QString::asprintf("ID %u TL:%f TR:%f RT:%f RB:%f BL:%f BR:%f LT:%f LB:%f\r\n", node->ID,
                                 GetCurrentTL(&mesh, node, layer), GetCurrentTR(&mesh, node, layer),
                                 ResultsOf(node).CurrentRT[layer], ResultsOf(node).CurrentRB[layer],
                                 ResultsOf(node).CurrentBL[layer], ResultsOf(node).CurrentBR[layer], GetCurrentLT(&mesh, node, layer),
                                 GetCurrentLB(&mesh, node, layer));
    QString text = show == kShowVoltage ? QString::asprintf("ID %u Voltage:%f\r\n", node->ID, ResultsOf(node).Voltage[layer])
                                        : QString::asprintf("ID %u Temp:%f\r\n", node->ID, node->Temperature[layer]);
    text += QString::asprintf("pNode ID %d Orderx %d Ordery %d\r\n", int(node->ID), int(node->OrderX), int(node->OrderY));
    text += QString::asprintf("     %4u  %4u \r\n", node->IDTopL, node->IDTopR);
    text += QString::asprintf("%4u             %4u\r\n", node->IDLeftT, node->IDRightT);
    text += QString::asprintf("%4u             %4u\r\n", node->IDLeftB, node->IDRightB);
    text += QString::asprintf("     %4u  %4u \r\n", node->IDBotL, node->IDBotR);
    return text;
}

}  // namespace korvex::gui
