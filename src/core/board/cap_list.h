#pragma once
// Ordered lists of capacitor models, the record a project file stores after
// "[CAPS]" tags. Two lists use it: the catalogue gCapDatabase (pdn/, kept in
// "CapStd.csv") and the equivalent-circuit list gCapDatabaseCreateSpice (stored
// in projects); a korvex::Project holds one of each.
#include <cstdint>

namespace korvex {

struct Part;

struct CapRecord {
    uint32_t Index = 0;      // position in its list; rewritten on every insert and delete
    uint32_t Ref = 0;        // board capacitor's reference number (board list only)
    float Capacitance = 0;   // F; 100 F and more stands for an inductor in the fit list
    float ESR = 0;           // ohm
    float ESL = 0;           // H
    uint32_t Reserved = 0;
    Part* pPart = nullptr;   // board list only, run-time; written as zeros
};
static_assert(sizeof(CapRecord) == 32, "file record size");

constexpr int kCapRecordSize = 32;

struct CapDatabase {
    int32_t Count = 0;
    CapRecord* Caps = nullptr;  // owned; null when Count is 0
};

extern CapDatabase gCapDatabaseCreateSpice;

// Copy of the record at `position`; all zero for a null db or a position outside the list.
CapRecord GetCap(const CapDatabase* db, int position);
// Inserts a copy at 0 <= position <= Count and renumbers; -1 otherwise.
int AddCap(CapDatabase* db, int position, const CapRecord* record);
// Removes the record at 0 <= position < Count and renumbers; -1 otherwise.
int DeleteCap(CapDatabase* db, int position);
int EmptyCapDatabase(CapDatabase* db);
int FreeCapDatabase(CapDatabase* db);
// Exchanges the contents of two lists.
void SwapCapDatabase(CapDatabase* a, CapDatabase* b);

}  // namespace korvex
