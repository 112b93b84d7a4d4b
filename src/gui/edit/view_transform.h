#pragma once
// The view of a board window: the rectangle of raster elements shown and the
// zoom factor (client pixels per element), and the conversions and gestures
// on them. Element (x, y) lies at ((x - left) * f, (y - top) * f) in the window.
#include <QPoint>
#include <QSize>

namespace korvex::gui {

struct ViewRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const ViewRect&) const = default;
};

struct BoardView {
    ViewRect view;
    float pixelPerElement = 1.0f;

    // Client position of the left / top edge of element column x / row y.
    int X(double x) const { return static_cast<int>((x - view.left) * pixelPerElement); }
    int Y(double y) const { return static_cast<int>((y - view.top) * pixelPerElement); }
};

// The element under a client point, clamped to 0 ... cx-1, 0 ... cy-1.
QPoint ClientPointToMatrixPoint(QPoint client, float f, const ViewRect& view, int cx, int cy);
// The client point of an element, clamped to 0 ... cx-1, 0 ... cy-1 (client limits).
QPoint MatrixPointToClientPoint(QPoint matrix, float f, const ViewRect& view, int cx, int cy);
// The element rectangle between two client points, not clamped.
ViewRect ClientRectToMatrixRect(QPoint a, QPoint b, float f, const ViewRect& view);

// The board with a margin of a tenth of its size on every side.
ViewRect DefaultView(int cxMatrix, int cyMatrix);
// The zoom factor that shows the whole view in the client.
float FitPixelPerElement(const ViewRect& view, QSize client);
// Gives the view the client's proportions and sets the factor to match.
void AspectCorrect(BoardView* board, QSize client);

// Panning: the view at the press shifted so that the board follows the mouse.
ViewRect Drag(const ViewRect& viewAtPress, float f, QPoint pressed, QPoint now);
// Wheel zoom by `factor` (wheel delta * 0.0015) about the client point p: the
// element under p stays under p.
void ZoomIn(BoardView* board, float factor, QPoint p, QSize client);
// The right-button gestures from press to release: up-left shows all,
// down-right zooms to the rectangle, down-left zooms out, up-right zooms in.
// False (nothing changed) when the release shares an x or y with the press.
bool ZoomGesture(BoardView* board, QPoint press, QPoint release, QSize client, int cxMatrix, int cyMatrix);

// A board window's view with the state of its gestures, shared by the edit
// and result windows: the right button draws a zoom gesture from its press,
// the middle button pans from its press, the wheel zooms about the mouse.
struct ViewNavigation : BoardView {
    QPoint rightDown, middleDown;
    ViewRect viewAtMiddleDown;

    void PressRight(QPoint at) { rightDown = at; }
    void PressMiddle(QPoint at) { middleDown = at, viewAtMiddleDown = view; }
    // The view while the middle button drags to `at`.
    void Pan(QPoint at) { view = Drag(viewAtMiddleDown, pixelPerElement, middleDown, at); }
    // The gesture from the right press to `release`; false when it changes nothing.
    bool Gesture(QPoint release, QSize client, int cxMatrix, int cyMatrix)
    {
        return ZoomGesture(this, rightDown, release, client, cxMatrix, cyMatrix);
    }
    void Wheel(int angleDelta, QPoint at, QSize client) { ZoomIn(this, float(angleDelta * 0.0015), at, client); }
    void Fit(QSize client) { pixelPerElement = FitPixelPerElement(view, client); }
    void Adopt(const ViewRect& rect, QSize client) { view = rect, Fit(client); }
};

}  // namespace korvex::gui
