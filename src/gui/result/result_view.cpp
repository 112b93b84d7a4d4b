#include "result/result_view.h"

#include <QPainter>

#include "board/raster.h"
#include "board/settings.h"
#include "edit/board_painter.h"
#include "widgets/dialog_form.h"
#include "util/tempscale.h"

namespace korvex::gui {
namespace {

const char* const kUnits[] = {"V", "A", "°C", "Ohm"};

}  // namespace

ResultView::ResultView(BoardDocument* document, QWidget* parent) : QWidget(parent), document_(document)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(100, 80);
    const SimMatrix& board = document_->Board();
    view_.view = DefaultView(board.CountPixelX, board.CountPixelY);
    Rebuild();
}

float*** ResultView::Raster() const
{
    const SimMatrix& b = document_->Board();
    switch (show_) {
    case kShowVoltage: return b.VoltageMatrix;
    case kShowCurrentDensity: return b.CurrentDensityMatrix;
    case kShowTemperature: return b.TemperatureMatrix;
    default: return b.ZinMatrix;
    }
}

void ResultView::SetShow(int show)
{
    show_ = show;
    Rebuild();
}

void ResultView::SetActiveLayer(int layer)
{
    layer_ = layer;
    Rebuild();
}

void ResultView::Rebuild()
{
    const SimMatrix& board = document_->Board();
    float*** raster = Raster();
    const int cx = board.CountPixelX, cy = board.CountPixelY;
    if (raster == nullptr || cx <= 0 || cy <= 0 || layer_ >= board.LayerCount) {
        map_ = QImage();
        update();
        return;
    }
    if (gSettings.AutoMinMax) {
        minimum_ = MinOfMatrixLayer(raster, cx, cy, layer_);
        maximum_ = MaxOfMatrixLayer(raster, cx, cy, layer_);
    } else {
        minimum_ = gSettings.MinValue, maximum_ = gSettings.MaxValue;
    }
    const double scale = maximum_ > minimum_ ? 1.0 / (maximum_ - minimum_) : 1.0;
    map_ = QImage(cx, cy, QImage::Format_RGB32);
    for (int x = 0; x < cx; ++x)
        for (int y = 0; y < cy; ++y) {
            // Only copper carries a result; the rest stays black.
            if (board.CopperMatrix == nullptr || !(board.CopperMatrix[x][y][layer_] > 0.0f)) {
                map_.setPixel(x, y, qRgb(0, 0, 0));
                continue;
            }
            const double t = std::clamp((raster[x][y][layer_] - minimum_) * scale, 0.0, 1.0);
            const ColourRGB c = Tempscale(t);
            map_.setPixel(x, y, qRgb(c.R, c.G, c.B));
        }
    update();
}

void ResultView::AdoptView(const ViewRect& view)
{
    view_.view = view;
    view_.pixelPerElement = FitPixelPerElement(view, size());
    update();
}

void ResultView::ShowValueAt(QPoint e)
{
    float*** raster = Raster();
    const SimMatrix& board = document_->Board();
    if (raster == nullptr || e.x() < 0 || e.y() < 0 || e.x() >= int(board.CountPixelX) ||
        e.y() >= int(board.CountPixelY) || layer_ >= board.LayerCount) {
        readOut_.clear();
    } else {
        readOut_ = QString("%1, %2: %3 %4")
                       .arg(e.x())
                       .arg(e.y())
                       .arg(NumberText(raster[e.x()][e.y()][layer_]))
                       .arg(kUnits[show_]);
    }
    update();
}

void ResultView::resizeEvent(QResizeEvent*)
{
    view_.pixelPerElement = FitPixelPerElement(view_.view, size());
}

void ResultView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const SimMatrix& board = document_->Board();
    if (!map_.isNull()) DrawMatrixIntoView(p, map_, board, view_);
    p.setPen(Qt::white);
    p.drawRect(QRect(QPoint(view_.X(0), view_.Y(0)), QPoint(view_.X(board.CountPixelX) - 1, view_.Y(board.CountPixelY) - 1)));
    const QString range = map_.isNull() ? QString("No result")
                                        : QString("%1 ... %2 %3").arg(NumberText(minimum_), NumberText(maximum_), kUnits[show_]);
    p.drawText(5, height() - 20, range);
    p.drawText(5, height() - 5, readOut_);
}

}  // namespace korvex::gui
