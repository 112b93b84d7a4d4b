#include "result/result_painter.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "edit/board_painter.h"
#include "util/tempscale.h"

namespace korvex::gui {

namespace {

// The colour scale in 4096 steps plus its top colour, looked up instead of
// interpolating per element; a step changes a channel by a third of a level
// at most, so the map shows the same colours as the scale.
constexpr int kScaleSteps = 4096;

const QRgb* ScaleTable()
{
    static const auto table = [] {
        std::array<QRgb, kScaleSteps + 1> t{};
        for (int i = 0; i <= kScaleSteps; ++i) {
            const ColourRGB c = Tempscale(double(i) / kScaleSteps);
            t[i] = qRgb(c.R, c.G, c.B);
        }
        return t;
    }();
    return table.data();
}

}  // namespace

QImage RenderResultMatrix(const SimMatrix& board, int show, int layer, const ResultRange& range, QImage reuse)
{
    float*** raster = ResultRaster(board, show);
    const int cx = int(board.CountPixelX), cy = int(board.CountPixelY);
    if (raster == nullptr || cx <= 0 || cy <= 0 || layer < 0 || layer >= board.LayerCount) return {};
    // Painting over the old picture of the same size saves a fresh 16 MB and its page faults.
    QImage map = reuse.size() == QSize(cx, cy) && reuse.format() == QImage::Format_ARGB32
                     ? std::move(reuse)
                     : QImage(cx, cy, QImage::Format_ARGB32);
    uchar* bits = map.bits();
    const qsizetype stride = map.bytesPerLine();
    float*** copper = board.CopperMatrix;
    const QRgb* table = ScaleTable();
    const float minimum = float(range.minimum), scale = float(range.scale);
    // The rasters run along y for each x: strips of 16 columns read each
    // column in memory order and write 64 contiguous bytes per row.
    constexpr int kStrip = 16;
    for (int x0 = 0; x0 < cx; x0 += kStrip) {
        const int x1 = std::min(x0 + kStrip, cx);
        for (int y = 0; y < cy; ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(bits + y * stride);
            for (int x = x0; x < x1; ++x) {
                if (copper == nullptr || !(copper[x][y][layer] > 0.0f)) {
                    line[x] = qRgba(0, 0, 0, 0);
                    continue;
                }
                const float t = (raster[x][y][layer] - minimum) * scale;
                line[x] = table[t >= 1.0f ? kScaleSteps : t > 0.0f ? int(t * kScaleSteps) : 0];
            }
        }
    }
    return map;
}

void DrawCurrentArrows(QPainter& p, const SimMatrix& board, const BoardView& view, int layer)
{
    if (board.CurrentXMatrix == nullptr || board.CurrentYMatrix == nullptr || board.CurrentDensityMatrix == nullptr ||
        layer < 0 || layer >= board.LayerCount)
        return;
    const float f = view.pixelPerElement;
    const int step = std::max(int(20 / f), 1);
    const ViewRect& v = view.view;
    const int x1 = std::min(v.right, int(board.CountPixelX)), y1 = std::min(v.bottom, int(board.CountPixelY));
    p.save();
    p.setPen(QPen(Qt::white, 1));
    for (int x = std::max(v.left, 0); x < x1; x += step)
        for (int y = std::max(v.top, 0); y < y1; y += step) {
            const float jx = board.CurrentXMatrix[x][y][layer], jy = board.CurrentYMatrix[x][y][layer];
            const float j = board.CurrentDensityMatrix[x][y][layer];
            if ((jx == 0 && jy == 0) || !(j > 0)) continue;
            const QPointF centre((x + 0.5 - v.left) * f, (y + 0.5 - v.top) * f);
            const double length = 0.6 * step * f / j;
            p.drawLine(centre, centre + QPointF(length * jx, length * jy));
        }
    p.restore();
}

void DrawResultPicture(QPainter& p, QSize client, const SimMatrix& board, const QImage& matrix, const BoardView& view,
                       int show, int layer)
{
    p.fillRect(QRect(QPoint(0, 0), client), ResultBackgroundColour());
    if (!matrix.isNull()) DrawMatrixIntoView(p, matrix, board, view);
    if (show == kShowCurrentDensity) DrawCurrentArrows(p, board, view, layer);
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(QPoint(view.X(0), view.Y(0)), QPoint(view.X(board.CountPixelX), view.Y(board.CountPixelY))));
}

}  // namespace korvex::gui
