#pragma once
// Ordered lists of capacitor models: the catalogue gCapDatabase (kept in
// "CapStd.csv"), the equivalent-circuit list gCapDatabaseCreateSpice (stored in
// projects as "[CAPS]" records) and the list of the board's capacitors
// gCapDatabaseSimulateSCapacitor. All use the same record and operations.
#include <cstdint>
#include <string>

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

extern CapDatabase gCapDatabase;
extern CapDatabase gCapDatabaseCreateSpice;
extern CapDatabase gCapDatabaseSimulateSCapacitor;

// Built-in catalogue: E6 values over seven decades from 100 pF, ESR falling.
extern const CapRecord E6Init[];
extern const int n_E6Init;

int InitCapDatabase(CapDatabase* db);
int InitCapDatabaseCreateSpice(CapDatabase* db);
// Copy of the record at `position`; all zero for a null db or a position outside the list.
CapRecord GetCap(const CapDatabase* db, int position);
// Inserts a copy at 0 <= position <= Count and renumbers; -1 otherwise.
int AddCap(CapDatabase* db, int position, const CapRecord* record);
// Removes the record at 0 <= position < Count and renumbers; -1 otherwise.
int DeleteCap(CapDatabase* db, int position);
int EmptyCapDatabase(CapDatabase* db);
int FreeCapDatabase(CapDatabase* db);
// Writes the list as CapStd.csv text, replacing `path` safely; -1 on failure
// ("%s not found\r\n" on the debug log, the reason in *error).
int SaveCapDatabase(const CapDatabase* db, const char* path, std::string* error = nullptr);
// Replaces the list by the records of a CapStd.csv file. On failure the list
// is left as it was and -1 returned.
int LoadCapDatabase(CapDatabase* db, const char* path, std::string* error = nullptr);
// Start-up: loads `path`, or builds the built-in table and writes it to `path`.
// 0 when the file was loaded, 1 when the built-in table is in use.
int LoadOrCreateCapStd(CapDatabase* db, const char* path);
// Exchanges the contents of two lists.
void SwapCapDatabase(CapDatabase* a, CapDatabase* b);

}  // namespace korvex
