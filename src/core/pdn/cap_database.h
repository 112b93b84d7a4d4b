#pragma once
// The capacitor catalogue gCapDatabase, kept in "CapStd.csv": the built-in E6
// table and the CSV form of a capacitor list (board/cap_list.h).
#include <string>

#include "board/cap_list.h"

namespace korvex {

extern CapDatabase gCapDatabase;

// Built-in catalogue: E6 values over seven decades from 100 pF, ESR falling.
extern const CapRecord E6Init[];
extern const int n_E6Init;

int InitCapDatabase(CapDatabase* db);
int InitCapDatabaseCreateSpice(CapDatabase* db);
// Writes the list as CapStd.csv text, replacing `path` safely; -1 on failure
// ("%s not found\r\n" on the debug log, the reason in *error).
int SaveCapDatabase(const CapDatabase* db, const char* path, std::string* error = nullptr);
// Replaces the list by the records of a CapStd.csv file. On failure the list
// is left as it was and -1 returned.
int LoadCapDatabase(CapDatabase* db, const char* path, std::string* error = nullptr);
// Start-up: loads `path`, or builds the built-in table and writes it to `path`.
// 0 when the file was loaded, 1 when the built-in table is in use.
int LoadOrCreateCapStd(CapDatabase* db, const char* path);

}  // namespace korvex
