#include "board/part_list.h"

#include <cstring>
#include <new>
#include <string>
#include <type_traits>

#include "board/sim_matrix.h"
#include "util/debug_log.h"

namespace korvex {

static_assert(std::is_trivially_copyable_v<Current> && std::is_trivially_copyable_v<SubCircuit> &&
              std::is_trivially_copyable_v<SeriesSubCircuit> && std::is_trivially_copyable_v<HeatSource>);

namespace {
void FreeEntry(Part* part)
{
    ::operator delete(part->pRecord);
    delete part;
}
}  // namespace

Status AddPart(SimMatrix* board, uint32_t kind, const void* record)
{
    const uint32_t size = PartRecordSize(kind);
    if (board == nullptr) return Status::Refused("no board to add the part to");
    if (record == nullptr) return Status::Refused("no part record to add");
    if (size == 0) return Status::Refused("unknown part kind " + std::to_string(kind));
    auto* entry = new Part;
    entry->Kind = kind;
    entry->pRecord = ::operator new(size);
    std::memcpy(entry->pRecord, record, size);
    Part** tail = &board->pFirstPart;
    while (*tail != nullptr) tail = &(*tail)->pNext;
    *tail = entry;
    return Status::Ok();
}

int DeletePart(SimMatrix* board, Part* part)
{
    if (board == nullptr || part == nullptr) return -1;
    if (board->pFirstPart == part) {
        board->pFirstPart = part->pNext;
        FreeEntry(part);
        printDebug("First Part deleted\r\n");
        return 0;
    }
    for (Part* p = board->pFirstPart; p != nullptr; p = p->pNext) {
        if (p->pNext == part) {
            p->pNext = part->pNext;
            FreeEntry(part);
            printDebug("Part deleted\r\n");
            return 0;
        }
    }
    printDebug("Part not found\r\n");
    return -1;
}

Part* GetFirstPart(const SimMatrix* board)
{
    return board == nullptr ? nullptr : board->pFirstPart;
}

Part* GetNextPart(const Part* part)
{
    return part == nullptr ? nullptr : part->pNext;
}

Part* GetPartfromID(const SimMatrix* board, uint32_t kind, uint32_t id)
{
    for (Part* p = GetFirstPart(board); p != nullptr; p = p->pNext) {
        if (p->Kind != kind) continue;
        if (kind == PART_PORT && PartRecord<Port>(p)->ID == id) return p;
        if (kind == PART_CAP && PartRecord<Cap>(p)->Ref == id) return p;
    }
    return nullptr;
}

int IsPart(const SimMatrix* board, const Part* part)
{
    if (board == nullptr || part == nullptr) return 0;
    for (Part* p = board->pFirstPart; p != nullptr; p = p->pNext)
        if (p == part) return 1;
    return 0;
}

void PrintSimMatrixParts(const SimMatrix* board)
{
    for (Part* p = GetFirstPart(board); p != nullptr; p = p->pNext) PrintSimMatrixPart(p);
}

int PrintSimMatrixPart(const Part* part)
{
    if (part == nullptr) return -1;
    printDebug("pPart=%u\r\n", static_cast<unsigned>(reinterpret_cast<uintptr_t>(part)));
    switch (part->Kind) {
    case PART_CURRENT: {
        const auto* r = PartRecord<Current>(part);
        printDebug("Current Current=%f Flags=%u %s %s\r\n", r->Current, r->Flags, r->Net1Name, r->Net2Name);
        break;
    }
    case PART_RESISTOR: {
        const auto* r = PartRecord<Resistor>(part);
        printDebug("Resistor Value=%f L=%f C=%f x%uy%uz%u x%uy%uz%u %s %s\r\n", r->Rser, r->Lser, r->Cpar, r->Net1X,
                   r->Net1Y, r->Net1Z, r->Net2X, r->Net2Y, r->Net2Z, r->Net1Name, r->Net2Name);
        break;
    }
    case PART_VIA: {
        const auto* r = PartRecord<Via>(part);
        printDebug("Via Position: x=%u y=%u CopperThickness=%lf Diameter=%lf\r\n", r->x, r->y, r->CopperThickness,
                   r->Diameter);
        break;
    }
    case PART_HEATSOURCE: {
        const auto* r = PartRecord<HeatSource>(part);
        printDebug("Heat Source Value=%f Pos1=x%u y%u Pos2=x%u y%u\r\n", r->Power, r->RectAX, r->RectAY, r->RectBX,
                   r->RectBY);
        break;
    }
    case PART_HEATSINK: {
        const auto* r = PartRecord<HeatSink>(part);
        printDebug("HeatSink Thermal Resistance=%f Pos1=x%u y%u Pos2=x%u y%u\r\n", r->ThermalResistance, r->RectAX,
                   r->RectAY, r->RectBX, r->RectBY);
        break;
    }
    case PART_PORT: {
        const auto* r = PartRecord<Port>(part);
        printDebug("Port Position: x=%u y=%u ID=%u\r\n", r->x, r->y, r->ID);
        break;
    }
    case PART_CAP: {
        const auto* r = PartRecord<Cap>(part);
        printDebug("Capacitor Position: x=%u y=%u Ref=%u\r\n", r->x, r->y, r->Ref);
        break;
    }
    default: break;
    }
    return 0;
}

void FreePartList(SimMatrix* board)
{
    Part* p = board->pFirstPart;
    while (p != nullptr) {
        Part* next = p->pNext;
        FreeEntry(p);
        p = next;
    }
    board->pFirstPart = nullptr;
}

uint32_t CountParts(const SimMatrix* board)
{
    uint32_t n = 0;
    for (Part* p = GetFirstPart(board); p != nullptr; p = p->pNext) ++n;
    return n;
}

}  // namespace korvex
