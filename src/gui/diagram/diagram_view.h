#pragma once
// The diagram window: draws a snapshot of the diagram record (see
// diagram_snapshot.h), shows the read-out under the mouse, and a click into
// the plot asks the frame to start the analysis of DiagramClickMode at the
// clicked frequency. Offers "Save Picture..." and "Export Curves...".
#include <QImage>
#include <QWidget>
#include <atomic>

#include "diagram/diagram.h"
#include "diagram/diagram_axes.h"
#include "diagram/diagram_painter.h"

namespace korvex::gui {

class DiagramView : public QWidget, public DiagramWindow {
    Q_OBJECT
public:
    explicit DiagramView(Diagram* diagram, QWidget* parent = nullptr);
    ~DiagramView() override;

    // Called by the core from any thread: marks the picture stale and
    // schedules a redraw on the window's thread; never waits for it.
    void DiagramChanged(Diagram& diagram) override;
    // Takes a new snapshot and redraws now (user-interface thread).
    void Redraw();

    // The picture at the given size (the window's size when empty).
    QImage Picture(QSize size = QSize());
    void SavePictureDialog();
    void ExportCurvesDialog();

    // The axis units (frequency diagrams: "Hz" and the curves' units).
    void SetUnits(const DiagramUnits& units);
    const DiagramUnits& Units() const { return units_; }

    const Diagram& Snapshot() const { return snapshot_; }
    const DiagramAxes& Axes() const { return axes_; }

signals:
    // A click into the plot: the command number to run (9095, 9087 or 9090);
    // ZinDistributionFrequency has been set to the clicked frequency.
    void AnalysisRequested(int command);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void RenderPicture();

    Diagram* diagram_;
    Diagram snapshot_;
    DiagramAxes axes_;
    DiagramUnits units_;
    QImage picture_;
    std::atomic<bool> stale_{true};
    QPoint mouse_{-1, -1};
    bool mouseInPlot_ = false;
    double lastFrequency_ = 0;
};

}  // namespace korvex::gui
