#include "board/part_lookup.h"

#include <strings.h>

#include <bitset>

#include "board/part_list.h"
#include "board/sim_matrix.h"

namespace korvex {

namespace {
// The identity number of a part of a numbered kind; false for other kinds.
bool IdentityOf(const Part* part, uint32_t& number)
{
    switch (part->Kind) {
    case PART_PORT: number = PartRecord<Port>(part)->ID; return true;
    case PART_CAP: number = PartRecord<Cap>(part)->Ref; return true;
    case PART_SUBCIRCUIT: number = PartRecord<SubCircuit>(part)->Reference; return true;
    case PART_SERIESSUBCIRCUIT: number = PartRecord<SeriesSubCircuit>(part)->Reference; return true;
    default: return false;
    }
}

bool IsWalkableKind(uint32_t kind)
{
    return kind == PART_PORT || kind == PART_CAP;
}

// Net fields are fixed-size and may lack a terminator when read from a file.
bool SameNetName(const char (&field)[kNetNameSize], const char* name)
{
    return name != nullptr && strncasecmp(field, name, kNetNameSize) == 0;
}
}  // namespace

uint32_t GetFreeID(const SimMatrix* board, uint32_t kind)
{
    if (kind != PART_PORT && kind != PART_CAP && kind != PART_SUBCIRCUIT && kind != PART_SERIESSUBCIRCUIT) return 0;
    std::bitset<kMaxPartIdentity> taken;
    uint32_t number = 0;
    for (const Part* p = GetFirstPart(board); p != nullptr; p = p->pNext)
        if (p->Kind == kind && IdentityOf(p, number) && number < kMaxPartIdentity) taken.set(number);
    for (uint32_t id = 0; id < kMaxPartIdentity; ++id)
        if (!taken.test(id)) return id;
    return kMaxPartIdentity;
}

int64_t GetFirstID(const SimMatrix* board, uint32_t kind)
{
    if (!IsWalkableKind(kind)) return -1;
    uint32_t number = 0;
    for (const Part* p = GetFirstPart(board); p != nullptr; p = p->pNext)
        if (p->Kind == kind && IdentityOf(p, number)) return number;
    return -1;
}

int64_t GetNextID(const SimMatrix* board, uint32_t kind, uint32_t id)
{
    if (!IsWalkableKind(kind)) return -1;
    bool found = false;
    uint32_t number = 0;
    for (const Part* p = GetFirstPart(board); p != nullptr; p = p->pNext) {
        if (p->Kind != kind || !IdentityOf(p, number)) continue;
        if (found) return number;
        found = number == id;
    }
    return -1;
}

uint32_t GetLastID(const SimMatrix* board, uint32_t kind)
{
    if (kind != PART_CAP) return 0;
    uint32_t largest = 0, number = 0;
    for (const Part* p = GetFirstPart(board); p != nullptr; p = p->pNext)
        if (p->Kind == kind && IdentityOf(p, number) && number > largest) largest = number;
    return largest;
}

uint64_t PartKey(const SimMatrix* board, const Part* part)
{
    uint64_t key = 1;
    for (const Part* p = GetFirstPart(board); p != nullptr; p = p->pNext, ++key)
        if (p == part) return key;
    return 0;
}

Part* PartFromKey(const SimMatrix* board, uint64_t key)
{
    if (key == 0) return nullptr;
    uint64_t position = 1;
    for (Part* p = GetFirstPart(board); p != nullptr; p = p->pNext, ++position)
        if (position == key) return p;
    return nullptr;
}

int SetViaCurrent(SimMatrix* board, uint64_t key, int layer, double value)
{
    Part* part = PartFromKey(board, key);
    if (part == nullptr || part->Kind != PART_VIA || layer < 0 || layer >= kMaxLayers) return -1;
    PartRecord<Via>(part)->Current[layer] = static_cast<float>(value);
    return 0;
}

int HeatSourceSetTemperature(SimMatrix* board, const char* name, double value)
{
    for (Part* p = GetFirstPart(board); p != nullptr; p = p->pNext)
        if (p->Kind == PART_HEATSOURCE && SameNetName(PartRecord<HeatSource>(p)->Net, name))
            PartRecord<HeatSource>(p)->Temperature = value;
    return 0;
}

int HeatSinkSetTemperature(SimMatrix* board, const char* name, double value)
{
    for (Part* p = GetFirstPart(board); p != nullptr; p = p->pNext)
        if (p->Kind == PART_HEATSINK && SameNetName(PartRecord<HeatSink>(p)->Net, name))
            PartRecord<HeatSink>(p)->Temperature = value;
    return 0;
}

}  // namespace korvex
