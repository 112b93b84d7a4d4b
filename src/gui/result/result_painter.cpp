#include "result/result_painter.h"

#include <algorithm>
#include <cmath>

#include "edit/board_painter.h"
#include "util/tempscale.h"

namespace korvex::gui {

QImage RenderResultMatrix(const SimMatrix& board, int show, int layer, const ResultRange& range)
{
    float*** raster = ResultRaster(board, show);
    const int cx = int(board.CountPixelX), cy = int(board.CountPixelY);
    if (raster == nullptr || cx <= 0 || cy <= 0 || layer < 0 || layer >= board.LayerCount) return {};
    QImage map(cx, cy, QImage::Format_ARGB32);
    for (int y = 0; y < cy; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(map.scanLine(y));
        for (int x = 0; x < cx; ++x) {
            if (board.CopperMatrix == nullptr || !(board.CopperMatrix[x][y][layer] > 0.0f)) {
                line[x] = qRgba(0, 0, 0, 0);
                continue;
            }
            const ColourRGB c = Tempscale((raster[x][y][layer] - range.minimum) * range.scale);
            line[x] = qRgb(c.R, c.G, c.B);
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
