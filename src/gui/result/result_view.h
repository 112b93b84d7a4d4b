#pragma once
// The result window: the chosen result raster of the active layer as a
// colour map with the current arrows, the read-out under the mouse (or at the
// element the edit window points at), the colour legend, the same zoom and
// pan gestures as the edit window and the left-click diagnostics.
#include <QImage>
#include <QWidget>

#include "edit/board_document.h"
#include "edit/view_transform.h"
#include "result/result_range.h"

namespace korvex::gui {

class ResultView : public QWidget {
    Q_OBJECT
public:
    explicit ResultView(BoardDocument* document, QWidget* parent = nullptr);

    void SetShow(int show);
    void SetActiveLayer(int layer);
    // Recomputes the ranges and the colour map (after a job changed the
    // rasters, or new view settings).
    void Rebuild();
    // The linked edit window moved its view.
    void AdoptView(const ViewRect& view);
    // Cross and read-out at this element (the edit window's mouse).
    void ShowValueAt(QPoint element);

    void SetLegendVisible(bool visible);
    bool LegendVisible() const { return legendVisible_; }
    // The window's picture at the given size (the window's own size when empty).
    QImage Picture(QSize size = QSize()) const;
    // Asks for a file name and a size and saves the picture as PNG.
    void SavePictureDialog();

    const QImage& ColourMap() const { return map_; }
    const ResultRange& Range() const { return range_; }
    const BoardView& View() const { return view_; }
    // The two read-out lines as last shown (value, position).
    QString ReadoutValue() const { return readoutValue_; }
    QString ReadoutPosition() const { return readoutPosition_; }

signals:
    // Panning or zooming here (the frame passes it to a linked edit window).
    void ViewChanged(const korvex::gui::ViewRect& view);
    // The element under the mouse (status bar).
    void MatrixPointChanged(QPoint element);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The colour map of the shown raster and layer with its (cached) range.
    void Refresh();
    void RenderPicture();
    void ViewMoved();
    void SetReadout(QPoint element, bool mirrored);
    QPoint ToMatrix(QPoint client) const;
    void DrawOverlay(QPainter& p) const;

    BoardDocument* document_;
    int show_ = kShowVoltage;
    int layer_ = 0;
    ViewNavigation view_;
    QImage map_;
    QImage picture_;  // the window's background: map, arrows, outline, legend
    ResultRange range_;
    struct CachedRange {
        bool valid = false;
        int layer = 0;
        ResultRange range;
    };
    CachedRange ranges_[4];  // automatic range per view
    bool legendVisible_ = true;

    QPoint lastMouse_;
    QImage trail_;  // white pixels of a right-button gesture
    bool hasReadout_ = false;
    bool mirrored_ = false;
    QPoint readoutElement_;
    QString readoutValue_, readoutPosition_;
};

}  // namespace korvex::gui
