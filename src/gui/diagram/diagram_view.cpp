#include "diagram/diagram_view.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>

#include "board/settings.h"
#include "diagram/diagram_csv.h"
#include "diagram/diagram_painter.h"
#include "diagram/diagram_snapshot.h"
#include "widgets/save_picture.h"

namespace korvex::gui {

DiagramView::DiagramView(Diagram* diagram, QWidget* parent) : QWidget(parent), diagram_(diagram)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setMinimumSize(100, 80);
    std::lock_guard<std::mutex> lock(diagram_->Lock);
    diagram_->hWnd = this;
}

DiagramView::~DiagramView()
{
    std::lock_guard<std::mutex> lock(diagram_->Lock);
    if (diagram_->hWnd == this) diagram_->hWnd = nullptr;
}

void DiagramView::DiagramChanged(Diagram&)
{
    stale_ = true;
    QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
}

void DiagramView::Redraw()
{
    stale_ = true;
    RenderPicture();
    update();
}

void DiagramView::SetUnits(const DiagramUnits& units)
{
    units_ = units;
    Redraw();
}

void DiagramView::RenderPicture()
{
    if (width() <= 0 || height() <= 0) return;
    if (stale_.exchange(false)) TakeDiagramSnapshot(*diagram_, &snapshot_);
    picture_ = QImage(size(), QImage::Format_RGB32);
    QPainter p(&picture_);
    DrawDiagramPicture(p, size(), &snapshot_, &axes_, units_);
}

QImage DiagramView::Picture(QSize size)
{
    if (size.isEmpty()) size = this->size();
    if (stale_.exchange(false)) TakeDiagramSnapshot(*diagram_, &snapshot_);
    QImage picture(size, QImage::Format_RGB32);
    QPainter p(&picture);
    DiagramAxes axes;
    DrawDiagramPicture(p, size, &snapshot_, &axes, units_);
    p.end();
    // The window's own layout again for the read-out.
    LayOutDiagram(&snapshot_, this->size(), &axes_);
    return picture;
}

void DiagramView::SavePictureDialog()
{
    korvex::gui::SavePictureDialog(this, QSize(100, 80), "The size must be two whole numbers, 100 x 80 up to 20000 x 20000.", [this](QSize size) { return Picture(size); });
}

void DiagramView::ExportCurvesDialog()
{
    const QString path = QFileDialog::getSaveFileName(this, "Export Curves", QString(), "CSV (*.csv)");
    if (path.isEmpty()) return;
    std::string error;
    if (SaveDiagramCurvesCsv(diagram_, kDiagramDataCurves, path.toLocal8Bit().constData(), &error,
                             units_.frequency ? "frequency" : "time") != 0)
        QMessageBox::warning(this, "Export Curves", QString::fromStdString(error));
}

void DiagramView::resizeEvent(QResizeEvent*)
{
    RenderPicture();
}

void DiagramView::paintEvent(QPaintEvent*)
{
    if (stale_ || picture_.size() != size()) RenderPicture();
    QPainter p(this);
    p.drawImage(0, 0, picture_);
    if (mouseInPlot_) DrawDiagramReadout(p, snapshot_, mouse_, units_);
}

void DiagramView::mouseMoveEvent(QMouseEvent* event)
{
    mouse_ = event->position().toPoint();
    DiagramReadout readout;
    mouseInPlot_ = DiagramReadoutAt(snapshot_, mouse_.x(), mouse_.y(), &readout) == 0;
    if (mouseInPlot_) lastFrequency_ = readout.Frequency;
    update();
}

void DiagramView::leaveEvent(QEvent*)
{
    mouseInPlot_ = false;
    update();
}

void DiagramView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    // The last mouse-move position decides, as the read-out showed it.
    if (!mouseInPlot_ || !units_.frequency) return;
    const int command = DiagramClickCommand(gSettings.DiagramClickMode);
    if (command < 0) return;
    gSettings.ZinDistributionFrequency = lastFrequency_;
    emit AnalysisRequested(command);
}

void DiagramView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* save = menu.addAction("Save Picture...");
    QAction* exportCurves = menu.addAction("Export Curves...");
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == save) SavePictureDialog();
    else if (chosen == exportCurves) ExportCurvesDialog();
}

}  // namespace korvex::gui
