#pragma once
// The edit window's view: the copper of the active layer (other layers
// dimmed), every part, the tools of the left toolbar, zoom and panning.
// Paints from three images: the matrix image (one pixel per element), the
// background (the matrix scaled into the view, parts, outline) and the buffer
// (background plus the overlay at the mouse).
#include <QImage>
#include <QWidget>
#include <vector>

#include "edit/board_document.h"
#include "edit/board_painter.h"
#include "edit/moving_part.h"
#include "edit/view_transform.h"

namespace korvex::gui {

class EditView : public QWidget {
    Q_OBJECT
public:
    explicit EditView(BoardDocument* document, QWidget* parent = nullptr);

    // The tool (0 ... 17); choosing one ends a move or edit in progress.
    void SetTool(int tool);
    int Tool() const { return tool_; }
    void SetActiveLayer(int layer);
    int ActiveLayer() const { return activeLayer_; }
    // While a job runs the board is shown but not changed.
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }
    bool IsReadOnly() const { return readOnly_; }

    // Rebuilds the background for the whole board; `rasterise` re-rasterises the copper first.
    void RedrawBackground(bool rasterise);
    // Adopts a view rectangle (linked windows) and refits the zoom.
    void AdoptView(const ViewRect& view);
    // Shows a part in the selection colour (analysis dialogs that pick a part).
    void SelectPart(Part* part);
    // The mesh overlay: node rectangles drawn over the board until the board or view changes.
    void ShowMeshRectangles(std::vector<MeshRect> rectangles);
    void ShowNode(const MeshRect& node);
    void ClearMeshOverlay();

    const BoardView& View() const { return view_; }
    const QImage& MatrixImage() const { return matrix_; }
    const QImage& Background() const { return background_; }
    const QImage& Buffer() const { return buffer_; }
    Part* HighlightedPart() const { return highlighted_; }
    Part* SelectedPart() const { return selected_; }
    // The last re-rasterised region of the matrix image (for measurements).
    ElementRect LastRasterised() const { return lastRasterised_; }
    BoardDocument* Document() const { return document_; }

signals:
    // The view changed by panning or zooming (linked result window).
    void ViewChanged(const korvex::gui::ViewRect& view);
    // The element under the mouse (result window read-out, status bar).
    void MatrixPointChanged(QPoint element);
    // The capacitor under the mouse, or null when no part is.
    void CapacitorHovered(const Part* capacitor);
    // The board (copper or parts) was changed by a tool.
    void BoardEdited();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    SimMatrix& Board() { return document_->Board(); }
    Probe Coordinate() const { return {ptMatrix_.x(), ptMatrix_.y(), activeLayer_}; }
    QPoint ToMatrix(QPoint client) const;
    void Rasterise(ElementRect rect, bool showOtherLayers);
    void RedrawBackgroundRect(ElementRect rect);
    void ViewMoved();
    void Edited();

    // Overlay pieces drawn into the buffer (edit_view_overlay.cpp).
    void DrawHover(QPainter& p);
    void DrawLeftDrag(QPainter& p);
    void DrawMovePreview(QPainter& p);
    void DrawSizeText(QPainter& p, int x0, int y0, int x1, int y1);
    void DrawCursorSquare(QPainter& p);
    void DrawMoving(QPainter& p);
    void UpdateHighlight(QPainter& p);

    // Tools (edit_view_tools.cpp).
    void SetCopperAtMouse(float value);
    void LeftPress();
    void LeftRelease();
    void EditSelectedPart();
    void AddTemplatePart(uint32_t kind, const void* record);
    // The line from the drag's start to the mouse, into the matrix image.
    void DrawLineIntoMatrix();
    // A part whose template gets the drag's two ends or rectangle.
    template <class T>
    void PlaceDragged(uint32_t kind, T& templ);
    // A part placed at the mouse: the template's layer becomes the active one,
    // and its number (when it has one) the next free one of its kind.
    template <class T>
    void PlaceAtMouse(uint32_t kind, T& templ, uint32_t T::*number = nullptr);

    // Margin around a dragged line that its re-rasterised box gets.
    static constexpr int kLineMargin = 5;

    BoardDocument* document_;
    int tool_ = 0;
    int activeLayer_ = 0;
    bool readOnly_ = false;

    ViewNavigation view_;
    QSize client_;
    QImage matrix_, background_, buffer_;

    Part* selected_ = nullptr;
    Part* highlighted_ = nullptr;
    MovingPart moving_;

    QPoint pt_, ptMatrix_, ptMatrixStart_;
    ElementRect rectEdited_, lastRasterised_;
    bool leftDown_ = false;

    std::vector<MeshRect> meshOverlay_;
    std::vector<MeshRect> nodeOverlay_;
};

}  // namespace korvex::gui
