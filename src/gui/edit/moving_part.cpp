#include "edit/moving_part.h"

#include <algorithm>

namespace korvex::gui {
namespace {

bool SameXY(Probe p, uint32_t x, uint32_t y)
{
    return static_cast<uint32_t>(p.x) == x && static_cast<uint32_t>(p.y) == y;
}

template <class T>
void SetEnd1(T& r, Probe m)
{
    r.Net1X = m.x, r.Net1Y = m.y, r.Net1Z = m.layer;
}

template <class T>
void SetEnd2(T& r, Probe m)
{
    r.Net2X = m.x, r.Net2Y = m.y, r.Net2Z = m.layer;
}

template <class T>
void MoveRectangle(T& r, const SimMatrix& board, Probe grab, Probe mouse)
{
    int ax = r.RectAX, ay = r.RectAY, bx = r.RectBX, by = r.RectBY;
    if (grab.x == ax) {
        ax = std::min(bx, mouse.x);
    } else if (grab.x == bx) {
        bx = std::max(ax, mouse.x);
    } else if (grab.y == ay) {
        ay = std::min(by, mouse.y);
    } else if (grab.y == by) {
        by = std::max(ay, mouse.y);
    } else {
        const int dx = mouse.x - grab.x, dy = mouse.y - grab.y;
        ax += dx, bx += dx, ay += dy, by += dy;
    }
    const int maxX = static_cast<int>(board.CountPixelX) - 1, maxY = static_cast<int>(board.CountPixelY) - 1;
    r.RectAX = std::clamp(ax, 0, maxX), r.RectAY = std::clamp(ay, 0, maxY);
    r.RectBX = std::clamp(bx, 0, maxX), r.RectBY = std::clamp(by, 0, maxY);
}

}  // namespace

void MovingPart::CopyFrom(const Part& part)
{
    CopyFrom(part.Kind, part.pRecord);
}

void MovingPart::CopyFrom(uint32_t kind, const void* record)
{
    entry_.Kind = kind;
    entry_.pRecord = storage_;
    entry_.pNext = nullptr;
    const uint32_t size = PartRecordSize(kind);
    if (size > 0 && size <= sizeof(storage_)) std::memcpy(storage_, record, size);
}

void MovingPart::ApplyMove(const SimMatrix& board, Probe grab, Probe mouse)
{
    switch (entry_.Kind) {
    case PART_CURRENT: {
        auto& r = Record<Current>();
        if (SameXY(grab, r.Net2X, r.Net2Y)) SetEnd2(r, mouse);
        else if (SameXY(grab, r.Net1X, r.Net1Y)) SetEnd1(r, mouse);
        break;
    }
    case PART_RESISTOR: {
        auto& r = Record<Resistor>();
        if (SameXY(grab, r.Net1X, r.Net1Y)) {
            SetEnd1(r, mouse);
            if (r.Net2Name[0] != '\0') SetEnd2(r, mouse);  // a connection to a named net moves whole
        } else if (SameXY(grab, r.Net2X, r.Net2Y)) {
            SetEnd2(r, mouse);
        }
        break;
    }
    case PART_SERIESSUBCIRCUIT: {
        auto& r = Record<SeriesSubCircuit>();
        if (SameXY(grab, r.Net1X, r.Net1Y)) SetEnd1(r, mouse);
        else if (SameXY(grab, r.Net2X, r.Net2Y)) SetEnd2(r, mouse);
        break;
    }
    case PART_VIA:
        Record<Via>().x = mouse.x, Record<Via>().y = mouse.y;
        break;
    case PART_PORT:
        Record<Port>().x = mouse.x, Record<Port>().y = mouse.y, Record<Port>().Layer = mouse.layer;
        break;
    case PART_CAP:
        Record<Cap>().x = mouse.x, Record<Cap>().y = mouse.y, Record<Cap>().Layer = mouse.layer;
        break;
    case PART_SUBCIRCUIT:
        Record<SubCircuit>().x = mouse.x, Record<SubCircuit>().y = mouse.y, Record<SubCircuit>().Layer = mouse.layer;
        break;
    case PART_HEATSOURCE:
        MoveRectangle(Record<HeatSource>(), board, grab, mouse);
        break;
    case PART_HEATSINK:
        MoveRectangle(Record<HeatSink>(), board, grab, mouse);
        break;
    default:
        break;
    }
}

}  // namespace korvex::gui
