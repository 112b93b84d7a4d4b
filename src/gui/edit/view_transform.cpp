#include "edit/view_transform.h"

namespace korvex::gui {

QPoint ClientPointToMatrixPoint(QPoint client, float f, const ViewRect& view, int cx, int cy)
{
    int x = static_cast<int>(view.left + client.x() / f);
    int y = static_cast<int>(view.top + client.y() / f);
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    if (x >= cx) x = cx - 1;
    if (y >= cy) y = cy - 1;
    return {x, y};
}

QPoint MatrixPointToClientPoint(QPoint matrix, float f, const ViewRect& view, int cx, int cy)
{
    int x = static_cast<int>((matrix.x() - view.left) * f);
    int y = static_cast<int>((matrix.y() - view.top) * f);
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    if (x >= cx) x = cx - 1;
    if (y >= cy) y = cy - 1;
    return {x, y};
}

ViewRect ClientRectToMatrixRect(QPoint a, QPoint b, float f, const ViewRect& view)
{
    return {static_cast<int>(view.left + a.x() / f), static_cast<int>(view.top + a.y() / f),
            static_cast<int>(view.left + b.x() / f), static_cast<int>(view.top + b.y() / f)};
}

ViewRect DefaultView(int cxMatrix, int cyMatrix)
{
    return {static_cast<int>(-cxMatrix * 0.1), static_cast<int>(-cyMatrix * 0.1), static_cast<int>(cxMatrix * 1.1),
            static_cast<int>(cyMatrix * 1.1)};
}

float FitPixelPerElement(const ViewRect& view, QSize client)
{
    const int w = view.Width() > 0 ? view.Width() : 1;
    const int h = view.Height() > 0 ? view.Height() : 1;
    const int cw = client.width() > 0 ? client.width() : 1;
    const int ch = client.height() > 0 ? client.height() : 1;
    if (static_cast<float>(w) / h > static_cast<float>(cw) / ch) return static_cast<float>(cw) / w;
    return static_cast<float>(ch) / h;
}

void AspectCorrect(BoardView* board, QSize client)
{
    ViewRect& v = board->view;
    // A degenerate view (zoomed in to nothing) keeps at least one element.
    if (v.right <= v.left) v.right = v.left + 1;
    if (v.bottom <= v.top) v.bottom = v.top + 1;
    const float cw = client.width() > 0 ? client.width() : 1;
    const float ch = client.height() > 0 ? client.height() : 1;
    const float w = v.Width(), h = v.Height();
    if (w / h > cw / ch) {
        board->pixelPerElement = cw / w;
        v.bottom = static_cast<int>(ch / cw * w + v.top);
    } else {
        board->pixelPerElement = ch / h;
        v.right = static_cast<int>(cw / ch * h + v.left);
    }
}

ViewRect Drag(const ViewRect& viewAtPress, float f, QPoint pressed, QPoint now)
{
    const int dx = static_cast<int>((pressed.x() - now.x()) / f);
    const int dy = static_cast<int>((pressed.y() - now.y()) / f);
    return {viewAtPress.left + dx, viewAtPress.top + dy, viewAtPress.right + dx, viewAtPress.bottom + dy};
}

void ZoomIn(BoardView* board, float factor, QPoint p, QSize client)
{
    float& f = board->pixelPerElement;
    ViewRect& v = board->view;
    const double w = client.width() > 0 ? client.width() : 1;
    const double h = client.height() > 0 ? client.height() : 1;
    const int cx = v.left + static_cast<int>(p.x() / f);
    const int cy = v.top + static_cast<int>(p.y() / f);
    const double newF = (factor + 1.0) * f;
    if (!(newF > 1e-6) || newF > 1e6) return;  // keeps the view finite at either end
    f = static_cast<float>(newF);
    const double nw = w / f, nh = h / f;
    const double rx = p.x() / w, ry = p.y() / h;
    v.left = cx - static_cast<int>(nw * rx);
    v.right = cx + static_cast<int>((1 - rx) * nw) + 2;
    v.top = cy - static_cast<int>(nh * ry);
    v.bottom = cy + static_cast<int>((1 - ry) * nh) + 2;
}

bool ZoomGesture(BoardView* board, QPoint press, QPoint release, QSize client, int cxMatrix, int cyMatrix)
{
    if (release.x() == press.x() || release.y() == press.y()) return false;
    ViewRect& v = board->view;
    const bool left = release.x() < press.x();
    const bool up = release.y() < press.y();
    if (left && up) {
        v = DefaultView(cxMatrix, cyMatrix);
        board->pixelPerElement = FitPixelPerElement(v, client);
        return true;
    }
    if (!left && !up) {
        v = ClientRectToMatrixRect(press, release, board->pixelPerElement, v);
    } else {
        const int dx = static_cast<int>(static_cast<double>(v.Width()) * 0.2);
        const int dy = static_cast<int>(static_cast<double>(v.Height()) * 0.2);
        const int sign = left ? 1 : -1;  // down-left: out, up-right: in
        v.left -= sign * dx;
        v.right += sign * dx;
        v.top -= sign * dy;
        v.bottom += sign * dy;
    }
    AspectCorrect(board, client);
    return true;
}

}  // namespace korvex::gui
