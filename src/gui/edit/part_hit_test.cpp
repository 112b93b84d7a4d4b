#include "edit/part_hit_test.h"

namespace korvex::gui {
namespace {

bool SameEnd(Probe probe, uint32_t x, uint32_t y, uint32_t z)
{
    return static_cast<uint32_t>(probe.x) == x && static_cast<uint32_t>(probe.y) == y &&
           static_cast<uint32_t>(probe.layer) == z;
}

template <class T>
bool EitherEnd(const T& r, Probe probe)
{
    return SameEnd(probe, r.Net1X, r.Net1Y, r.Net1Z) || SameEnd(probe, r.Net2X, r.Net2Y, r.Net2Z);
}

template <class T>
bool InRectangle(const T& r, Probe probe)
{
    return IsPointinRect({int(r.RectAX), int(r.RectAY), int(r.RectAZ)}, {int(r.RectBX), int(r.RectBY), int(r.RectBZ)},
                         probe);
}

template <class T>
bool AtPoint(const T& r, Probe probe)
{
    return SameEnd(probe, r.x, r.y, r.Layer);
}

}  // namespace

bool IsPointinRect(Probe c1, Probe c2, Probe p)
{
    return c1.layer == p.layer && c2.layer == p.layer && c1.x <= p.x && p.x <= c2.x && c1.y <= p.y && p.y <= c2.y;
}

bool IsPartHit(const SimMatrix& board, const Part& part, Probe probe)
{
    switch (part.Kind) {
    case PART_CURRENT: {
        const auto& c = *PartRecord<Current>(&part);
        if (c.Flags == 1) return probe.x == 0 || probe.x == static_cast<int>(board.CountPixelX) - 1;
        return c.Net1Name[0] == '\0' && c.Net2Name[0] == '\0' && EitherEnd(c, probe);
    }
    case PART_RESISTOR:
        return EitherEnd(*PartRecord<Resistor>(&part), probe);
    case PART_SERIESSUBCIRCUIT:
        return EitherEnd(*PartRecord<SeriesSubCircuit>(&part), probe);
    case PART_VIA: {
        const auto& v = *PartRecord<Via>(&part);
        return static_cast<uint32_t>(probe.x) == v.x && static_cast<uint32_t>(probe.y) == v.y;
    }
    case PART_HEATSOURCE:
        return InRectangle(*PartRecord<HeatSource>(&part), probe);
    case PART_HEATSINK:
        return InRectangle(*PartRecord<HeatSink>(&part), probe);
    case PART_PORT:
        return AtPoint(*PartRecord<Port>(&part), probe);
    case PART_CAP:
        return AtPoint(*PartRecord<Cap>(&part), probe);
    case PART_SUBCIRCUIT:
        return AtPoint(*PartRecord<SubCircuit>(&part), probe);
    default:
        return false;
    }
}

Part* SearchPart(const SimMatrix& board, Probe probe, const Part* start)
{
    Part* part = (start != nullptr && IsPart(&board, start)) ? start->pNext : board.pFirstPart;
    for (; part != nullptr; part = part->pNext)
        if (IsPartHit(board, *part, probe)) return part;
    return nullptr;
}

}  // namespace korvex::gui
