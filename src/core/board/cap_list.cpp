#include "board/cap_list.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace korvex {

CapDatabase gCapDatabaseCreateSpice;

namespace {
CapRecord* NewArray(int count)
{
    return count > 0 ? static_cast<CapRecord*>(std::calloc(static_cast<size_t>(count), sizeof(CapRecord))) : nullptr;
}

void Renumber(CapDatabase* db, int from)
{
    for (int i = from; i < db->Count; ++i) db->Caps[i].Index = static_cast<uint32_t>(i);
}
}  // namespace

CapRecord GetCap(const CapDatabase* db, int position)
{
    if (db == nullptr || position < 0 || position >= db->Count || db->Caps == nullptr) return CapRecord{};
    return db->Caps[position];
}

int AddCap(CapDatabase* db, int position, const CapRecord* record)
{
    if (db == nullptr || record == nullptr || position < 0 || position > db->Count) return -1;
    CapRecord* caps = NewArray(db->Count + 1);
    if (caps == nullptr) return -1;
    if (position > 0) std::memcpy(caps, db->Caps, sizeof(CapRecord) * position);
    caps[position] = *record;
    if (db->Count > position)
        std::memcpy(caps + position + 1, db->Caps + position, sizeof(CapRecord) * (db->Count - position));
    std::free(db->Caps);
    db->Caps = caps;
    db->Count += 1;
    Renumber(db, position);
    return 0;
}

int DeleteCap(CapDatabase* db, int position)
{
    if (db == nullptr || position < 0 || position >= db->Count) return -1;
    CapRecord* caps = NewArray(db->Count - 1);
    if (position > 0) std::memcpy(caps, db->Caps, sizeof(CapRecord) * position);
    if (db->Count - 1 > position)
        std::memcpy(caps + position, db->Caps + position + 1, sizeof(CapRecord) * (db->Count - 1 - position));
    std::free(db->Caps);
    db->Caps = caps;
    db->Count -= 1;
    Renumber(db, position);
    return 0;
}

int EmptyCapDatabase(CapDatabase* db)
{
    return FreeCapDatabase(db);
}

int FreeCapDatabase(CapDatabase* db)
{
    if (db == nullptr) return -1;
    std::free(db->Caps);
    db->Caps = nullptr;
    db->Count = 0;
    return 0;
}

void SwapCapDatabase(CapDatabase* a, CapDatabase* b)
{
    std::swap(a->Count, b->Count);
    std::swap(a->Caps, b->Caps);
}

}  // namespace korvex
