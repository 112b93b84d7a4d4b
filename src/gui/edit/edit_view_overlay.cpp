// The transient overlay at the mouse, drawn into the buffer image only.
#include <QPainter>

#include "edit/edit_view.h"
#include "edit/part_hit_test.h"
#include "frame/command.h"

namespace korvex::gui {

void EditView::DrawCursorSquare(QPainter& p)
{
    const float f = view_.pixelPerElement;
    const int l = static_cast<int>((ptMatrix_.x() - view_.view.left) * f);
    const int t = static_cast<int>((ptMatrix_.y() - view_.view.top) * f);
    p.setBrush(QColor(150, 150, 150));
    p.drawRect(QRect(QPoint(l, t), QPoint(static_cast<int>(l + f) - 1, static_cast<int>(t + f) - 1)));
}

void EditView::DrawSizeText(QPainter& p, int x0, int y0, int x1, int y1)
{
    const SimMatrix& board = document_->Board();
    const double sx = board.CountPixelX ? board.SizeX / board.CountPixelX : 0;
    const double sy = board.CountPixelY ? board.SizeY / board.CountPixelY : 0;
    const QString text = QString::asprintf("%.2f mm x %.2f mm", sx * (std::abs(x1 - x0) + 1) * 1000,
                                           sy * (std::abs(y1 - y0) + 1) * 1000);
    p.save();
    p.setPen(QColor(0, 160, 232));
    p.drawText(pt_.x() + 3, pt_.y() - 20 + p.fontMetrics().ascent(), text);
    p.restore();
}

void EditView::DrawMoving(QPainter& p)
{
    DrawPart(p, document_->Board(), &moving_.Entry(), view_, activeLayer_, false, true);
}

void EditView::DrawMovePreview(QPainter& p)
{
    moving_.CopyFrom(*selected_);
    moving_.ApplyMove(document_->Board(), {ptMatrixStart_.x(), ptMatrixStart_.y(), activeLayer_}, Coordinate());
    DrawMoving(p);
    if (selected_->Kind == PART_HEATSOURCE) {
        const auto& r = moving_.Record<HeatSource>();
        DrawSizeText(p, r.RectAX, r.RectAY, r.RectBX, r.RectBY);
    } else if (selected_->Kind == PART_HEATSINK) {
        const auto& r = moving_.Record<HeatSink>();
        DrawSizeText(p, r.RectAX, r.RectAY, r.RectBX, r.RectBY);
    }
}

void EditView::DrawHover(QPainter& p)
{
    const uint32_t x = ptMatrix_.x(), y = ptMatrix_.y(), layer = activeLayer_;
    switch (tool_) {
    case kToolDrawCopper:
    case kToolDrawLine:
    case kToolFilledRectangle:
    case kToolDeleteCopper:
    case kToolDeleteRectangle:
    case kToolCurrentSource:
    case kToolHeatSource:
    case kToolHeatsink:
    case kToolResistor:
    case kToolSeriesSubcircuit:
        DrawCursorSquare(p);
        break;
    case kToolMovePart:
        if (selected_ != nullptr && IsPart(&document_->Board(), selected_)) DrawMovePreview(p);
        break;
    case kToolVia:
        moving_.CopyFrom(PART_VIA, &gVia);
        moving_.Record<Via>().x = x, moving_.Record<Via>().y = y;
        DrawMoving(p);
        break;
    case kToolGround: {
        Resistor ground;
        ground.Net1X = ground.Net2X = x, ground.Net1Y = ground.Net2Y = y, ground.Net1Z = ground.Net2Z = layer;
        CopyName(ground.Net2Name, "0");
        moving_.CopyFrom(PART_RESISTOR, &ground);
        DrawMoving(p);
        break;
    }
    case kToolPort:
        gPort.Layer = layer;
        moving_.CopyFrom(PART_PORT, &gPort);
        moving_.Record<Port>().x = x, moving_.Record<Port>().y = y;
        DrawMoving(p);
        break;
    case kToolCapacitor:
        gCap.Layer = layer;
        moving_.CopyFrom(PART_CAP, &gCap);
        moving_.Record<Cap>().x = x, moving_.Record<Cap>().y = y;
        DrawMoving(p);
        break;
    case kToolSubcircuit:
        gSubCircuit.Layer = layer;
        moving_.CopyFrom(PART_SUBCIRCUIT, &gSubCircuit);
        moving_.Record<SubCircuit>().x = x, moving_.Record<SubCircuit>().y = y;
        DrawMoving(p);
        break;
    default:
        break;
    }
    UpdateHighlight(p);
}

void EditView::UpdateHighlight(QPainter& p)
{
    highlighted_ = SearchPart(document_->Board(), Coordinate(), nullptr);
    if (highlighted_ == nullptr) {
        emit CapacitorHovered(nullptr);
        return;
    }
    DrawPart(p, document_->Board(), highlighted_, view_, activeLayer_, true, highlighted_ == selected_);
    if (highlighted_->Kind == PART_CAP) emit CapacitorHovered(highlighted_);
}

void EditView::DrawLeftDrag(QPainter& p)
{
    const int x0 = std::min(ptMatrixStart_.x(), ptMatrix_.x()), x1 = std::max(ptMatrixStart_.x(), ptMatrix_.x());
    const int y0 = std::min(ptMatrixStart_.y(), ptMatrix_.y()), y1 = std::max(ptMatrixStart_.y(), ptMatrix_.y());
    const float f = view_.pixelPerElement;
    const QRect rect(QPoint(view_.X(x0), view_.Y(y0)), QPoint(view_.X(x1 + 1.0) - 1, view_.Y(y1 + 1.0) - 1));
    auto centre = [&](QPoint e) {
        return QPoint(static_cast<int>((e.x() - view_.view.left) * f + f / 2),
                      static_cast<int>((e.y() - view_.view.top) * f + f / 2));
    };
    switch (tool_) {
    case kToolDrawLine: {
        DrawLineIntoMatrix();
        p.save();
        p.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
        DrawMatrixIntoView(p, matrix_, document_->Board(), view_);
        p.restore();
        break;
    }
    case kToolFilledRectangle:
    case kToolDeleteRectangle:
        p.save();
        p.setPen(QPen(tool_ == kToolFilledRectangle ? Qt::black : Qt::white, 1));
        p.setBrush(tool_ == kToolFilledRectangle ? Qt::white : Qt::black);
        p.drawRect(rect);
        p.restore();
        DrawSizeText(p, x0, y0, x1, y1);
        break;
    case kToolHeatSource:
    case kToolHeatsink:
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect);
        DrawSizeText(p, x0, y0, x1, y1);
        break;
    case kToolCurrentSource:
    case kToolResistor:
    case kToolSeriesSubcircuit:
        p.drawLine(centre(ptMatrixStart_), centre(ptMatrix_));
        break;
    default:
        break;
    }
}

}  // namespace korvex::gui
