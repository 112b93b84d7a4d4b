// What the tools do to the board on the left button.
#include "board/part_records.h"
#include "dialogs/part_dialogs.h"
#include "edit/edit_view.h"
#include "edit/part_hit_test.h"
#include "frame/command.h"
#include "mesh/board_operations.h"
#include "board/part_lookup.h"
#include "util/debug_log.h"

namespace korvex::gui {
namespace {

// Takes the drawn pixels of the matrix image into the copper of one layer:
// the pixel's colour value (red + 256 green + 65536 blue), so black is no copper.
void MemMatrixToCopper(const QImage& matrix, SimMatrix& board, int layer, ElementRect rect)
{
    const int cx = static_cast<int>(board.CountPixelX), cy = static_cast<int>(board.CountPixelY);
    if (rect.IsEmpty()) rect = {0, 0, cx, cy};
    const int l = std::clamp(rect.left, 0, cx), r = std::clamp(rect.right, 0, cx);
    const int t = std::clamp(rect.top, 0, cy), b = std::clamp(rect.bottom, 0, cy);
    for (int y = t; y < b; ++y)
        for (int x = l; x < r; ++x) {
            const QRgb c = matrix.pixel(x, y);
            board.CopperMatrix[x][y][layer] = static_cast<float>(qRed(c) + 256 * qGreen(c) + 65536 * qBlue(c));
        }
}

template <class T>
void SetEnds(T& record, QPoint a, QPoint b, int layer)
{
    record.Net1X = a.x(), record.Net1Y = a.y(), record.Net1Z = layer;
    record.Net2X = b.x(), record.Net2Y = b.y(), record.Net2Z = layer;
}

template <class T>
void SetRectangle(T& record, QPoint a, QPoint b, int layer)
{
    record.RectAX = std::min(a.x(), b.x()), record.RectAY = std::min(a.y(), b.y()), record.RectAZ = layer;
    record.RectBX = std::max(a.x(), b.x()), record.RectBY = std::max(a.y(), b.y()), record.RectBZ = layer;
}

// The template record of a kind (what the next part of that kind receives).
void* TemplateOf(uint32_t kind)
{
    switch (kind) {
    case PART_CURRENT: return &gCurrent;
    case PART_RESISTOR: return &gResistor;
    case PART_VIA: return &gVia;
    case PART_HEATSOURCE: return &gHeatSource;
    case PART_HEATSINK: return &gHeatSink;
    case PART_PORT: return &gPort;
    case PART_CAP: return &gCap;
    case PART_SUBCIRCUIT: return &gSubCircuit;
    case PART_SERIESSUBCIRCUIT: return &gSeriesSubCircuit;
    default: return nullptr;
    }
}

}  // namespace

void EditView::SetCopperAtMouse(float value)
{
    SimMatrix& board = Board();
    if (board.CopperMatrix == nullptr || activeLayer_ >= board.LayerCount) return;
    board.CopperMatrix[ptMatrix_.x()][ptMatrix_.y()][activeLayer_] = value;
    rectEdited_ = {ptMatrix_.x() - 1, ptMatrix_.y() - 1, ptMatrix_.x() + 1, ptMatrix_.y() + 1};
    RedrawBackgroundRect(rectEdited_);
    Edited();
}

void EditView::AddTemplatePart(uint32_t kind, const void* record)
{
    AddPart(&Board(), kind, record);
    RedrawBackground(false);
    Edited();
}

void EditView::LeftPress()
{
    SimMatrix& board = Board();
    const uint32_t x = ptMatrix_.x(), y = ptMatrix_.y(), layer = activeLayer_;
    switch (tool_) {
    case kToolDrawCopper:
        SetCopperAtMouse(1.0f);
        break;
    case kToolDeleteCopper:
        SetCopperAtMouse(0.0f);
        break;
    case kToolDrawLine:
        rectEdited_ = {};
        [[fallthrough]];
    case kToolFilledRectangle:
    case kToolDeleteRectangle:
    case kToolCurrentSource:
    case kToolHeatSource:
    case kToolHeatsink:
    case kToolResistor:
    case kToolSeriesSubcircuit:
        ptMatrixStart_ = ptMatrix_;
        break;
    case kToolDeletePart:
        if (DeletePart(&board, highlighted_) == 0) Edited();
        if (highlighted_ == selected_) selected_ = nullptr;
        highlighted_ = nullptr;
        RedrawBackground(false);
        break;
    case kToolEditPart:
        selected_ = highlighted_;
        printDebug("SelectedPart*=%u\r\n", static_cast<unsigned>(reinterpret_cast<uintptr_t>(selected_)));
        PrintSimMatrixPart(selected_);
        RedrawBackground(false);
        if (selected_ != nullptr) EditSelectedPart();
        break;
    case kToolMovePart:
        if (selected_ != nullptr && IsPart(&board, selected_)) {
            moving_.CopyFrom(*selected_);
            moving_.ApplyMove(board, {ptMatrixStart_.x(), ptMatrixStart_.y(), activeLayer_}, Coordinate());
            CopyPartCoordinates(selected_, &moving_.Entry());
            selected_ = nullptr;
            RedrawBackground(false);
            Edited();
        } else {
            selected_ = highlighted_;
            RedrawBackground(false);
            ptMatrixStart_ = ptMatrix_;
        }
        break;
    case kToolVia: {
        Via via = gVia;
        via.x = x, via.y = y;
        AddTemplatePart(PART_VIA, &via);
        break;
    }
    case kToolGround: {
        Resistor ground;
        ground.Net1X = ground.Net2X = x, ground.Net1Y = ground.Net2Y = y, ground.Net1Z = ground.Net2Z = layer;
        CopyName(ground.Net2Name, "0");
        ground.Rser = 1e-6f, ground.Lser = 0, ground.Cpar = 0;
        AddTemplatePart(PART_RESISTOR, &ground);
        break;
    }
    case kToolPort: {
        gPort.Layer = layer;
        Port port = gPort;
        port.x = x, port.y = y;
        AddTemplatePart(PART_PORT, &port);
        gPort.ID = GetFreeID(&board, PART_PORT);
        break;
    }
    case kToolCapacitor: {
        gCap.Layer = layer;
        Cap cap = gCap;
        cap.x = x, cap.y = y;
        AddTemplatePart(PART_CAP, &cap);
        gCap.Ref = GetFreeID(&board, PART_CAP);
        break;
    }
    case kToolSubcircuit: {
        gSubCircuit.Layer = layer;
        SubCircuit sub = gSubCircuit;
        sub.x = x, sub.y = y;
        AddTemplatePart(PART_SUBCIRCUIT, &sub);
        gSubCircuit.Reference = GetFreeID(&board, PART_SUBCIRCUIT);
        break;
    }
    default:
        break;
    }
    update();
}

void EditView::EditSelectedPart()
{
    void* templ = TemplateOf(selected_->Kind);
    const uint32_t size = PartRecordSize(selected_->Kind);
    if (templ == nullptr || size == 0) return;
    std::memcpy(templ, selected_->pRecord, size);
    Part* const part = selected_;
    if (RunPartDialog(this, part->Kind, templ, Board().LayerCount) && IsPart(&Board(), part)) {
        std::memcpy(part->pRecord, templ, size);
        Edited();
    }
    RedrawBackground(false);
}

void EditView::LeftRelease()
{
    SimMatrix& board = Board();
    const int layer = activeLayer_;
    switch (tool_) {
    case kToolDrawLine:
        if (rectEdited_.IsEmpty()) rectEdited_ = {ptMatrix_.x() - 5, ptMatrix_.y() - 5, ptMatrix_.x() + 5, ptMatrix_.y() + 5};
        {
            // Make sure the matrix image holds the line even without a drag.
            Rasterise(rectEdited_, false);
            QPainter m(&matrix_);
            m.setPen(QPen(QColor(240, 240, 255), 3));
            m.drawLine(ptMatrixStart_, ptMatrix_);
        }
        MemMatrixToCopper(matrix_, board, layer,
                          {std::min(rectEdited_.left, rectEdited_.right), std::min(rectEdited_.top, rectEdited_.bottom),
                           std::max(rectEdited_.left, rectEdited_.right) + 1,
                           std::max(rectEdited_.top, rectEdited_.bottom) + 1});
        RedrawBackgroundRect(rectEdited_);
        rectEdited_ = {};
        Edited();
        break;
    case kToolFilledRectangle:
    case kToolDeleteRectangle:
        DrawRectangleCopper(&board, {ptMatrixStart_.x(), ptMatrixStart_.y()}, {ptMatrix_.x(), ptMatrix_.y()}, layer,
                            tool_ == kToolFilledRectangle ? 1 : 0);
        rectEdited_ = {ptMatrixStart_.x(), ptMatrixStart_.y(), ptMatrix_.x(), ptMatrix_.y()};
        RedrawBackgroundRect(rectEdited_);
        Edited();
        break;
    case kToolCurrentSource:
        SetEnds(gCurrent, ptMatrixStart_, ptMatrix_, layer);
        gCurrent.Flags = 0;
        AddTemplatePart(PART_CURRENT, &gCurrent);
        break;
    case kToolHeatSource:
        SetRectangle(gHeatSource, ptMatrixStart_, ptMatrix_, layer);
        AddTemplatePart(PART_HEATSOURCE, &gHeatSource);
        break;
    case kToolHeatsink:
        SetRectangle(gHeatSink, ptMatrixStart_, ptMatrix_, layer);
        AddTemplatePart(PART_HEATSINK, &gHeatSink);
        break;
    case kToolResistor:
        SetEnds(gResistor, ptMatrixStart_, ptMatrix_, layer);
        AddTemplatePart(PART_RESISTOR, &gResistor);
        break;
    case kToolSeriesSubcircuit:
        SetEnds(gSeriesSubCircuit, ptMatrixStart_, ptMatrix_, layer);
        AddTemplatePart(PART_SERIESSUBCIRCUIT, &gSeriesSubCircuit);
        gSeriesSubCircuit.Reference = GetFreeID(&board, PART_SERIESSUBCIRCUIT);
        break;
    default:
        break;
    }
}

}  // namespace korvex::gui
