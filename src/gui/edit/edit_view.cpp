#include "edit/edit_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "edit/part_hit_test.h"
#include "frame/command.h"

namespace korvex::gui {

EditView::EditView(BoardDocument* document, QWidget* parent) : QWidget(parent), document_(document)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::CrossCursor);
    setMinimumSize(100, 80);
    const SimMatrix& board = document_->Board();
    matrix_ = QImage(std::max(1u, board.CountPixelX), std::max(1u, board.CountPixelY), QImage::Format_RGB32);
    matrix_.fill(Qt::black);
    view_.view = DefaultView(board.CountPixelX, board.CountPixelY);
    client_ = size();
    view_.Fit(client_);
    Rasterise({}, true);
}

QPoint EditView::ToMatrix(QPoint client) const
{
    const SimMatrix& board = document_->Board();
    return ClientPointToMatrixPoint(client, view_.pixelPerElement, view_.view, board.CountPixelX, board.CountPixelY);
}

void EditView::Rasterise(ElementRect rect, bool showOtherLayers)
{
    DrawMatrix(matrix_, document_->Board(), activeLayer_, rect, showOtherLayers);
    lastRasterised_ = rect;
}

void EditView::RedrawBackground(bool rasterise)
{
    if (rasterise) Rasterise({}, true);
    RedrawBackgroundRect({});
}

void EditView::RedrawBackgroundRect(ElementRect rect)
{
    if (!(rect.IsEmpty())) Rasterise(rect, true);
    if (client_.isEmpty()) return;
    QRect clip;
    if (background_.size() != client_) {
        background_ = QImage(client_, QImage::Format_RGB32);
    } else if (!rect.IsEmpty()) {
        // Only the client area of the edited elements (and a margin for part outlines).
        const int l = std::min(rect.left, rect.right), r = std::max(rect.left, rect.right) + 1;
        const int t = std::min(rect.top, rect.bottom), b = std::max(rect.top, rect.bottom) + 1;
        clip = QRect(QPoint(view_.X(l) - 4, view_.Y(t) - 4), QPoint(view_.X(r) + 4, view_.Y(b) + 4)).intersected(QRect(QPoint(0, 0), client_));
    }
    DrawBackground(background_, matrix_, document_->Board(), view_, activeLayer_, selected_, clip);
    buffer_ = background_.copy();
    meshOverlay_.clear();
    nodeOverlay_.clear();
    update();
}

void EditView::SetTool(int tool)
{
    selected_ = nullptr;
    tool_ = tool;
    RedrawBackground(false);
}

void EditView::SetActiveLayer(int layer)
{
    activeLayer_ = layer;
    RedrawBackground(true);
}

void EditView::AdoptView(const ViewRect& view)
{
    view_.Adopt(view, client_);
    RedrawBackground(false);
}

void EditView::SelectPart(Part* part)
{
    selected_ = part;
    RedrawBackground(false);
}

void EditView::ShowMeshRectangles(std::vector<MeshRect> rectangles)
{
    meshOverlay_ = std::move(rectangles);
    update();
}

void EditView::ShowNode(const MeshRect& node)
{
    nodeOverlay_.push_back(node);
    update();
}

void EditView::ClearMeshOverlay()
{
    meshOverlay_.clear();
    nodeOverlay_.clear();
    update();
}

void EditView::ViewMoved()
{
    RedrawBackground(false);
    emit ViewChanged(view_.view);
}

void EditView::Edited()
{
    document_->MarkChanged();
    emit BoardEdited();
}

void EditView::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    if (buffer_.isNull()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    p.drawImage(event->rect(), buffer_, event->rect());
    if (meshOverlay_.empty() && nodeOverlay_.empty()) return;
    const float f = view_.pixelPerElement;
    auto draw = [&](const std::vector<MeshRect>& rects, QColor colour) {
        p.setPen(QPen(colour, 1));
        p.setBrush(Qt::NoBrush);
        for (const MeshRect& r : rects)
            p.drawRect(QRect(QPoint(view_.X(r.left), view_.Y(r.top)),
                             QPoint(int(view_.X(r.right) + f + 1) - 1, int(view_.Y(r.bottom) + f + 1) - 1)));
    };
    draw(meshOverlay_, QColor(150, 150, 255));
    draw(nodeOverlay_, QColor(250, 150, 255));
}

void EditView::resizeEvent(QResizeEvent*)
{
    client_ = size();
    view_.Fit(client_);
    background_ = QImage();
    RedrawBackground(false);
}

void EditView::mouseMoveEvent(QMouseEvent* event)
{
    pt_ = event->position().toPoint();
    const Qt::MouseButtons buttons = event->buttons();
    if (buttons & Qt::RightButton) {
        if (QRect(QPoint(0, 0), buffer_.size()).contains(pt_)) buffer_.setPixel(pt_, qRgb(255, 255, 255));
        update(QRect(pt_, QSize(1, 1)));
        return;
    }
    if (buttons & Qt::MiddleButton) {
        view_.Pan(pt_);
        ViewMoved();
        return;
    }
    ptMatrix_ = ToMatrix(pt_);
    emit MatrixPointChanged(ptMatrix_);
    if ((buttons & Qt::LeftButton) && leftDown_ && !readOnly_) {
        if (tool_ == kToolDrawCopper) SetCopperAtMouse(1.0f);
        else if (tool_ == kToolDeleteCopper) SetCopperAtMouse(0.0f);
        else if (tool_ == kToolDrawLine) {
            // Both the previous and the new box, so no trace of the last line stays behind.
            const ElementRect box = ElementRect::Around(ptMatrixStart_, ptMatrix_, kLineMargin);
            Rasterise(box.United(rectEdited_), false);
            rectEdited_ = box;
        }
    }
    buffer_ = background_.copy();
    QPainter p(&buffer_);
    const SimMatrix& board = document_->Board();
    const double sx = board.CountPixelX ? board.SizeX / board.CountPixelX : 0;
    const double sy = board.CountPixelY ? board.SizeY / board.CountPixelY : 0;
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(15);
    p.setFont(font);
    p.setPen(QColor(0, 160, 232));
    p.drawText(pt_.x() + 3, pt_.y() + p.fontMetrics().ascent(),
               QString::asprintf("(%.2f, %.2f) mm", (ptMatrix_.x() + 0.5) * sx * 1000, (ptMatrix_.y() + 0.5) * sy * 1000));
    p.setPen(QPen(QColor(150, 150, 150), 2));
    if ((buttons & Qt::LeftButton) && leftDown_ && !readOnly_) DrawLeftDrag(p);
    else DrawHover(p);
    p.end();
    update();
}

void EditView::mousePressEvent(QMouseEvent* event)
{
    pt_ = event->position().toPoint();
    switch (event->button()) {
    case Qt::RightButton:
        view_.PressRight(pt_);
        break;
    case Qt::MiddleButton:
        view_.PressMiddle(pt_);
        break;
    case Qt::LeftButton:
        ptMatrix_ = ToMatrix(pt_);
        leftDown_ = true;
        if (!readOnly_) LeftPress();
        break;
    default:
        break;
    }
}

void EditView::mouseReleaseEvent(QMouseEvent* event)
{
    pt_ = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        const SimMatrix& board = document_->Board();
        if (view_.Gesture(pt_, client_, board.CountPixelX, board.CountPixelY)) ViewMoved();
        else RedrawBackground(false);
    } else if (event->button() == Qt::LeftButton && leftDown_) {
        leftDown_ = false;
        ptMatrix_ = ToMatrix(pt_);
        if (!readOnly_) LeftRelease();
        update();
    }
}

void EditView::wheelEvent(QWheelEvent* event)
{
    view_.Wheel(event->angleDelta().y(), event->position().toPoint(), client_);
    ViewMoved();
    event->accept();
}

void EditView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_N) {
        QWidget::keyPressEvent(event);
        return;
    }
    highlighted_ = SearchPart(document_->Board(), Coordinate(), highlighted_);
    buffer_ = background_.copy();
    if (highlighted_ != nullptr) {
        QPainter p(&buffer_);
        DrawPart(p, document_->Board(), highlighted_, view_, activeLayer_, true, highlighted_ == selected_);
        PrintSimMatrixPart(highlighted_);
    }
    update();
}

}  // namespace korvex::gui
