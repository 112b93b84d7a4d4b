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

void EditView::DrawLineIntoMatrix()
{
    QPainter m(&matrix_);
    m.setPen(QPen(QColor(240, 240, 255), 3));
    m.drawLine(ptMatrixStart_, ptMatrix_);
}

template <class T>
void EditView::PlaceDragged(uint32_t kind, T& templ)
{
    const QPoint a = ptMatrixStart_, b = ptMatrix_;
    const uint32_t layer = activeLayer_;
    if constexpr (requires { templ.RectAX; }) {
        templ.RectAX = std::min(a.x(), b.x()), templ.RectAY = std::min(a.y(), b.y()), templ.RectAZ = layer;
        templ.RectBX = std::max(a.x(), b.x()), templ.RectBY = std::max(a.y(), b.y()), templ.RectBZ = layer;
    } else {
        templ.Net1X = a.x(), templ.Net1Y = a.y(), templ.Net1Z = layer;
        templ.Net2X = b.x(), templ.Net2Y = b.y(), templ.Net2Z = layer;
    }
    AddTemplatePart(kind, &templ);
}

template <class T>
void EditView::PlaceAtMouse(uint32_t kind, T& templ, uint32_t T::*number)
{
    if constexpr (requires { templ.Layer; }) templ.Layer = activeLayer_;
    T part = templ;
    part.x = ptMatrix_.x(), part.y = ptMatrix_.y();
    AddTemplatePart(kind, &part);
    if (number != nullptr) templ.*number = GetFreeID(&Board(), kind);
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
    case kToolVia:
        PlaceAtMouse(PART_VIA, gVia);
        break;
    case kToolGround: {
        Resistor ground;
        ground.Net1X = ground.Net2X = x, ground.Net1Y = ground.Net2Y = y, ground.Net1Z = ground.Net2Z = layer;
        CopyName(ground.Net2Name, "0");
        ground.Rser = 1e-6f, ground.Lser = 0, ground.Cpar = 0;
        AddTemplatePart(PART_RESISTOR, &ground);
        break;
    }
    case kToolPort:
        PlaceAtMouse(PART_PORT, gPort, &Port::ID);
        break;
    case kToolCapacitor:
        PlaceAtMouse(PART_CAP, gCap, &Cap::Ref);
        break;
    case kToolSubcircuit:
        PlaceAtMouse(PART_SUBCIRCUIT, gSubCircuit, &SubCircuit::Reference);
        break;
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
    case kToolDrawLine: {
        // The line's box; a click without a drag has none yet.
        if (rectEdited_.IsEmpty()) rectEdited_ = ElementRect::Around(ptMatrix_, ptMatrix_, kLineMargin);
        // Make sure the matrix image holds the line even without a drag.
        Rasterise(rectEdited_, false);
        DrawLineIntoMatrix();
        const ElementRect box = ElementRect::Around({rectEdited_.left, rectEdited_.top},
                                                    {rectEdited_.right, rectEdited_.bottom}, 0);
        MemMatrixToCopper(matrix_, board, layer, {box.left, box.top, box.right + 1, box.bottom + 1});
        RedrawBackgroundRect(rectEdited_);
        rectEdited_ = {};
        Edited();
        break;
    }
    case kToolFilledRectangle:
    case kToolDeleteRectangle:
        DrawRectangleCopper(&board, {ptMatrixStart_.x(), ptMatrixStart_.y()}, {ptMatrix_.x(), ptMatrix_.y()}, layer,
                            tool_ == kToolFilledRectangle ? 1 : 0);
        rectEdited_ = {ptMatrixStart_.x(), ptMatrixStart_.y(), ptMatrix_.x(), ptMatrix_.y()};
        RedrawBackgroundRect(rectEdited_);
        Edited();
        break;
    case kToolCurrentSource:
        gCurrent.Flags = 0;
        PlaceDragged(PART_CURRENT, gCurrent);
        break;
    case kToolHeatSource:
        PlaceDragged(PART_HEATSOURCE, gHeatSource);
        break;
    case kToolHeatsink:
        PlaceDragged(PART_HEATSINK, gHeatSink);
        break;
    case kToolResistor:
        PlaceDragged(PART_RESISTOR, gResistor);
        break;
    case kToolSeriesSubcircuit:
        PlaceDragged(PART_SERIESSUBCIRCUIT, gSeriesSubCircuit);
        gSeriesSubCircuit.Reference = GetFreeID(&board, PART_SERIESSUBCIRCUIT);
        break;
    default:
        break;
    }
}

}  // namespace korvex::gui
