#include "result/result_view.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "board/settings.h"
#include "result/colour_legend.h"
#include "result/result_painter.h"
#include "util/debug_log.h"
#include "widgets/save_picture.h"

namespace korvex::gui {
namespace {

QFont ReadoutFont()
{
    QFont font("Times New Roman");
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(20);
    font.setStretch(80);
    return font;
}

}  // namespace

ResultView::ResultView(BoardDocument* document, QWidget* parent)
    : QWidget(parent), document_(document), legendVisible_(ColourLegendVisible())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setMinimumSize(100, 80);
    const SimMatrix& board = document_->Board();
    view_.view = DefaultView(board.CountPixelX, board.CountPixelY);
    Rebuild();
}

void ResultView::SetShow(int show)
{
    show_ = show;
    Refresh();
}

void ResultView::SetActiveLayer(int layer)
{
    layer_ = layer;
    Refresh();
}

void ResultView::Rebuild()
{
    for (CachedRange& cached : ranges_) cached.valid = false;
    Refresh();
}

void ResultView::Refresh()
{
    const SimMatrix& board = document_->Board();
    const bool automatic = gSettings.AutoMinMax != 0;
    // The automatic ranges span all layers (Zin: the active one) and stay
    // until the rasters change, so switching views and layers reuses them.
    CachedRange* cached = show_ >= 0 && show_ < 4 ? &ranges_[show_] : nullptr;
    if (automatic && cached != nullptr && cached->valid && (show_ != kShowZin || cached->layer == layer_)) {
        range_ = cached->range;
    } else {
        range_ = ComputeResultRange(board, show_, layer_, automatic, gSettings.MinValue, gSettings.MaxValue);
        if (automatic && cached != nullptr) *cached = CachedRange{true, layer_, range_};
    }
    map_ = RenderResultMatrix(board, show_, layer_, range_, std::move(map_));
    if (hasReadout_) SetReadout(readoutElement_, mirrored_);
    RenderPicture();
}

void ResultView::RenderPicture()
{
    if (width() <= 0 || height() <= 0) return;
    picture_ = Picture(size());
    update();
}

QImage ResultView::Picture(QSize size) const
{
    if (size.isEmpty()) size = this->size();
    QImage picture(size, QImage::Format_RGB32);
    QPainter p(&picture);
    BoardView view = view_;
    if (size != this->size()) view.pixelPerElement = FitPixelPerElement(view.view, size);
    const SimMatrix& board = document_->Board();
    DrawResultPicture(p, size, board, map_, view, show_, layer_);
    if (legendVisible_ && !map_.isNull())
        DrawColourLegend(p, QRect(size.width() - kColourLegendWidth, 0, kColourLegendWidth, size.height()),
                         range_.minimum, range_.maximum, ResultUnit(show_));
    return picture;
}

void ResultView::SetLegendVisible(bool visible)
{
    legendVisible_ = visible;
    SetColourLegendVisible(visible);
    RenderPicture();
}

void ResultView::SavePictureDialog()
{
    korvex::gui::SavePictureDialog(this, QSize(1, 1), "The size must be two whole numbers from 1 to 20000.", [this](QSize size) { return Picture(size); });
}

void ResultView::AdoptView(const ViewRect& view)
{
    view_.Adopt(view, size());
    RenderPicture();
}

void ResultView::ViewMoved()
{
    RenderPicture();
    if (gSettings.LinkEditAndViewWindow) emit ViewChanged(view_.view);
}

QPoint ResultView::ToMatrix(QPoint client) const
{
    const SimMatrix& board = document_->Board();
    return ClientPointToMatrixPoint(client, view_.pixelPerElement, view_.view, board.CountPixelX, board.CountPixelY);
}

void ResultView::SetReadout(QPoint e, bool mirrored)
{
    const SimMatrix& board = document_->Board();
    float*** raster = ResultRaster(board, show_);
    hasReadout_ = false;
    if (raster == nullptr || board.CountPixelX == 0 || board.CountPixelY == 0 || e.x() < 0 || e.y() < 0 ||
        e.x() >= int(board.CountPixelX) || e.y() >= int(board.CountPixelY) || layer_ < 0 || layer_ >= board.LayerCount) {
        readoutValue_.clear(), readoutPosition_.clear();
        return;
    }
    const double pitchX = board.SizeX / board.CountPixelX, pitchY = board.SizeY / board.CountPixelY;
    readoutValue_ = ResultValueText(show_, raster[e.x()][e.y()][layer_], pitchX);
    readoutPosition_ = ResultPositionText(e.x(), e.y(), pitchX, pitchY);
    readoutElement_ = e;
    mirrored_ = mirrored;
    hasReadout_ = true;
}

void ResultView::ShowValueAt(QPoint e)
{
    SetReadout(e, true);
    update();
}

void ResultView::resizeEvent(QResizeEvent*)
{
    view_.Fit(size());
    trail_ = QImage();
    RenderPicture();
}

void ResultView::DrawOverlay(QPainter& p) const
{
    if (!hasReadout_) return;
    const SimMatrix& board = document_->Board();
    const QPoint c = MatrixPointToClientPoint(readoutElement_, view_.pixelPerElement, view_.view, board.CountPixelX,
                                              board.CountPixelY);
    QPoint at = c;
    if (mirrored_) {
        const float f = view_.pixelPerElement;
        const int X = int(f * (0.5 + readoutElement_.x() - view_.view.left));
        const int Y = int(f * (0.5 + readoutElement_.y() - view_.view.top));
        p.fillRect(QRect(QPoint(X - 2, Y - 19), QPoint(X, Y + 19)), Qt::white);
        p.fillRect(QRect(QPoint(X - 19, Y - 2), QPoint(X + 19, Y)), Qt::white);
    } else {
        at = lastMouse_;
    }
    p.setFont(ReadoutFont());
    p.setPen(QColor(0, 160, 232));
    p.drawText(at.x() + 3, at.y() - 18, readoutValue_);
    p.drawText(at.x() + 3, at.y(), readoutPosition_);
}

void ResultView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (picture_.size() != size()) picture_ = Picture(size());
    p.drawImage(0, 0, picture_);
    if (!trail_.isNull()) p.drawImage(0, 0, trail_);
    DrawOverlay(p);
}

void ResultView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pt = event->position().toPoint();
    if (event->buttons() & Qt::RightButton) {
        if (trail_.size() != size()) {
            trail_ = QImage(size(), QImage::Format_ARGB32);
            trail_.fill(Qt::transparent);
        }
        if (rect().contains(pt)) trail_.setPixel(pt, qRgb(255, 255, 255));
        update(QRect(pt, QSize(1, 1)));
        return;
    }
    if (event->buttons() & Qt::MiddleButton) {
        view_.Pan(pt);
        ViewMoved();
        return;
    }
    const QPoint e = ToMatrix(pt);
    lastMouse_ = pt;
    SetReadout(e, false);
    emit MatrixPointChanged(e);
    update();
}

void ResultView::mousePressEvent(QMouseEvent* event)
{
    const QPoint pt = event->position().toPoint();
    if (event->button() == Qt::RightButton) view_.PressRight(pt);
    if (event->button() == Qt::MiddleButton) view_.PressMiddle(pt);
    if (event->button() == Qt::LeftButton) {
        const QPoint e = ToMatrix(pt);
        const QString text = ResultDiagnostics(document_->MeshRecord(), show_, layer_, e.x(), e.y());
        if (!text.isEmpty()) printDebug("%s", text.toUtf8().constData());
    }
}

void ResultView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::RightButton) return;
    trail_ = QImage();
    const SimMatrix& board = document_->Board();
    if (view_.Gesture(event->position().toPoint(), size(), board.CountPixelX, board.CountPixelY))
        ViewMoved();
    else update();
}

void ResultView::wheelEvent(QWheelEvent* event)
{
    view_.Wheel(event->angleDelta().y(), event->position().toPoint(), size());
    ViewMoved();
    event->accept();
}

void ResultView::contextMenuEvent(QContextMenuEvent* event)
{
    // Only from the keyboard: the right button draws zoom gestures.
    if (event->reason() == QContextMenuEvent::Mouse) return;
    QMenu menu(this);
    QAction* legend = menu.addAction("Colour Legend");
    legend->setCheckable(true);
    legend->setChecked(legendVisible_);
    QAction* save = menu.addAction("Save Picture...");
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == legend) SetLegendVisible(!legendVisible_);
    else if (chosen == save) SavePictureDialog();
}

}  // namespace korvex::gui
