#include "mesh/board_operations.h"

#include <algorithm>

#include "board/part_list.h"
#include "board/sim_matrix.h"

namespace korvex {

namespace {
bool ValidLayer(const SimMatrix* board, int layer)
{
    return layer >= 0 && layer < board->LayerCount && layer < kMaxLayers;
}

// Copies the two terminal points (or corners) with their layers: the first six
// fields of every two-point record.
template <class Record>
void CopyTwoPoints(Record* to, const Record* from)
{
    to->Net1X = from->Net1X;
    to->Net1Y = from->Net1Y;
    to->Net1Z = from->Net1Z;
    to->Net2X = from->Net2X;
    to->Net2Y = from->Net2Y;
    to->Net2Z = from->Net2Z;
}

template <class Record>
void CopyCorners(Record* to, const Record* from)
{
    to->RectAX = from->RectAX;
    to->RectAY = from->RectAY;
    to->RectAZ = from->RectAZ;
    to->RectBX = from->RectBX;
    to->RectBY = from->RectBY;
    to->RectBZ = from->RectBZ;
}

template <class Record>
void CopyPlacement(Record* to, const Record* from)
{
    to->x = from->x;
    to->y = from->y;
    to->Layer = from->Layer;
}
}  // namespace

int DrawRectangleCopper(SimMatrix* board, MeshPoint p1, MeshPoint p2, int layer, int fill)
{
    if (board == nullptr || board->CopperMatrix == nullptr || !ValidLayer(board, layer)) return -1;
    const int64_t maxX = int64_t(board->CountPixelX) - 1, maxY = int64_t(board->CountPixelY) - 1;
    const int64_t x0 = std::max<int64_t>(std::min(p1.x, p2.x), 0), x1 = std::min<int64_t>(std::max(p1.x, p2.x), maxX);
    const int64_t y0 = std::max<int64_t>(std::min(p1.y, p2.y), 0), y1 = std::min<int64_t>(std::max(p1.y, p2.y), maxY);
    const float value = fill != 0 ? 1.0f : 0.0f;
    for (int64_t x = x0; x <= x1; ++x)
        for (int64_t y = y0; y <= y1; ++y) board->CopperMatrix[x][y][layer] = value;
    return 0;
}

int ClippToOutline(const SimMatrix* board, MeshPoint* point)
{
    if (board == nullptr || point == nullptr) return -1;
    const int64_t maxX = std::max<int64_t>(int64_t(board->CountPixelX) - 1, 0);
    const int64_t maxY = std::max<int64_t>(int64_t(board->CountPixelY) - 1, 0);
    point->x = static_cast<int32_t>(std::clamp<int64_t>(point->x, 0, maxX));
    point->y = static_cast<int32_t>(std::clamp<int64_t>(point->y, 0, maxY));
    return 0;
}

int CopyPartCoordinates(Part* destination, const Part* source)
{
    if (destination == nullptr || source == nullptr || destination->Kind != source->Kind) return -1;
    if (destination->pRecord == nullptr || source->pRecord == nullptr) return -1;
    switch (source->Kind) {
    case PART_CURRENT: CopyTwoPoints(PartRecord<Current>(destination), PartRecord<Current>(source)); break;
    case PART_RESISTOR: CopyTwoPoints(PartRecord<Resistor>(destination), PartRecord<Resistor>(source)); break;
    case PART_SERIESSUBCIRCUIT:
        CopyTwoPoints(PartRecord<SeriesSubCircuit>(destination), PartRecord<SeriesSubCircuit>(source));
        break;
    case PART_HEATSOURCE: CopyCorners(PartRecord<HeatSource>(destination), PartRecord<HeatSource>(source)); break;
    case PART_HEATSINK: CopyCorners(PartRecord<HeatSink>(destination), PartRecord<HeatSink>(source)); break;
    case PART_VIA:
        PartRecord<Via>(destination)->x = PartRecord<Via>(source)->x;
        PartRecord<Via>(destination)->y = PartRecord<Via>(source)->y;
        break;
    case PART_PORT: CopyPlacement(PartRecord<Port>(destination), PartRecord<Port>(source)); break;
    case PART_CAP: CopyPlacement(PartRecord<Cap>(destination), PartRecord<Cap>(source)); break;
    case PART_SUBCIRCUIT: CopyPlacement(PartRecord<SubCircuit>(destination), PartRecord<SubCircuit>(source)); break;
    default: return -1;
    }
    return 0;
}

int IsFullCopperOnLayer(const SimMatrix* board, int layer)
{
    if (board == nullptr || board->CopperMatrix == nullptr || !ValidLayer(board, layer)) return 0;
    for (uint32_t x = 0; x < board->CountPixelX; ++x)
        for (uint32_t y = 0; y < board->CountPixelY; ++y)
            if (board->CopperMatrix[x][y][layer] == 0.0f) return 0;
    return 1;
}

int IsCopperatCoordinate(const SimMatrix* board, MeshPoint3 point)
{
    if (board == nullptr || board->CopperMatrix == nullptr) return 0;
    if (point.x < 0 || point.y < 0 || !ValidLayer(board, point.layer)) return 0;
    if (static_cast<uint32_t>(point.x) >= board->CountPixelX || static_cast<uint32_t>(point.y) >= board->CountPixelY)
        return 0;
    // Anything but an exact 0 counts, NaN included.
    return board->CopperMatrix[point.x][point.y][point.layer] == 0.0f ? 0 : 1;
}

}  // namespace korvex
