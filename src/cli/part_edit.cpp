#include "part_edit.h"

#include <cctype>
#include <cstring>

#include "jobs/board_checks.h"
#include "board/part_lookup.h"
#include "record_fields.h"

namespace korvex::cli {
namespace {

const struct {
    const char* name;
    uint32_t kind;
} kKinds[] = {
    {"via", PART_VIA},           {"current", PART_CURRENT}, {"resistor", PART_RESISTOR},
    {"heatsource", PART_HEATSOURCE}, {"heatsink", PART_HEATSINK}, {"port", PART_PORT},
    {"cap", PART_CAP},           {"subcircuit", PART_SUBCIRCUIT}, {"seriessubcircuit", PART_SERIESSUBCIRCUIT},
};

template <class T>
std::vector<uint8_t> Bytes(const T& record)
{
    const auto* p = reinterpret_cast<const uint8_t*>(&record);
    return std::vector<uint8_t>(p, p + sizeof(T));
}

uint32_t Identity(const FieldLayout& f, const void* record)
{
    uint32_t v;
    std::memcpy(&v, static_cast<const uint8_t*>(record) + f.MemoryOffset, 4);
    return v;
}

}  // namespace

uint32_t KindFromName(std::string name)
{
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& k : kKinds)
        if (name == k.name || name == std::to_string(k.kind)) return k.kind;
    return 0;
}

std::string PartKindNames()
{
    std::string names;
    for (const auto& k : kKinds) names += std::string(names.empty() ? "" : ", ") + k.name;
    return names;
}

std::vector<uint8_t> DefaultRecord(uint32_t kind)
{
    switch (kind) {
    case PART_VIA: return Bytes(Via{});
    case PART_CURRENT: return Bytes(Current{});
    case PART_RESISTOR: return Bytes(Resistor{});
    case PART_HEATSOURCE: return Bytes(HeatSource{});
    case PART_HEATSINK: return Bytes(HeatSink{});
    case PART_PORT: return Bytes(Port{});
    case PART_CAP: return Bytes(Cap{});
    case PART_SUBCIRCUIT: return Bytes(SubCircuit{});
    case PART_SERIESSUBCIRCUIT: return Bytes(SeriesSubCircuit{});
    default: return {};
    }
}

const FieldLayout* IdentityField(uint32_t kind)
{
    const RecordLayout& layout = *PartRecordLayout(kind);
    if (kind == PART_PORT) return FindField(layout, "ID");
    if (kind == PART_CAP) return FindField(layout, "Ref");
    if (kind == PART_SUBCIRCUIT || kind == PART_SERIESSUBCIRCUIT) return FindField(layout, "Reference");
    return nullptr;
}

std::string AddPartFromFields(SimMatrix& b, uint32_t kind, const std::vector<std::string>& assignments, Part** added)
{
    std::vector<uint8_t> record = DefaultRecord(kind);
    if (const FieldLayout* identity = IdentityField(kind)) {  // the next free number unless one is given
        const uint32_t id = GetFreeID(&b, kind);
        std::memcpy(record.data() + identity->MemoryOffset, &id, 4);
    }
    std::string why;
    if (!SetFields(*PartRecordLayout(kind), record.data(), assignments, &why)) return why;
    AddPart(&b, kind, record.data());
    Part* last = b.pFirstPart;
    while (last->pNext != nullptr) last = last->pNext;
    if (why = CheckChanged(b, last); !why.empty()) {
        DeletePart(&b, last);
        return why;
    }
    *added = last;
    return {};
}

std::string CheckChanged(const SimMatrix& b, const Part* part)
{
    if (const FieldLayout* f = IdentityField(part->Kind)) {
        const uint32_t id = Identity(*f, part->pRecord);
        for (const Part* p = b.pFirstPart; p != nullptr; p = p->pNext)
            if (p != part && p->Kind == part->Kind && Identity(*f, p->pRecord) == id)
                return PartLabel(b, p) + " already has " + f->Name + " " + std::to_string(id);
        if (id >= kMaxPartIdentity)
            return std::string(f->Name) + " must lie in 0 ... " + std::to_string(kMaxPartIdentity - 1);
    }
    return CheckPartPosition(b, part);
}

}  // namespace korvex::cli
