#pragma once
// Look-ups over the part list: identity numbers of ports, capacitors and
// subcircuits, the numeric key that names a part in netlists, and the setters
// that store simulation results in part records.
#include <cstdint>

namespace korvex {

struct SimMatrix;
struct Part;

// Identity number of a port (ID), capacitor (Ref), subcircuit or series
// subcircuit (Reference).
constexpr uint32_t kMaxPartIdentity = 200;

// Smallest number 0 ... 199 that no part of this kind carries; 200 when all are
// taken; 0 for kinds without identity numbers.
uint32_t GetFreeID(const SimMatrix* board, uint32_t kind);
// Ports and capacitors: number of the first part of the kind; -1 if none.
int64_t GetFirstID(const SimMatrix* board, uint32_t kind);
// Ports and capacitors: number of the part of the kind that follows the first
// one carrying `id`; -1 if none.
int64_t GetNextID(const SimMatrix* board, uint32_t kind, uint32_t id);
// Capacitors: largest number carried; 0 if none.
uint32_t GetLastID(const SimMatrix* board, uint32_t kind);

// The key that names a part in netlists (via barrel segments, heat sources):
// its 1-based position in the part list; 0 when the part is not in the list.
uint64_t PartKey(const SimMatrix* board, const Part* part);
// The part with that key; null when there is none.
Part* PartFromKey(const SimMatrix* board, uint64_t key);

// Result setters used by the RAW readers.
// Via segment current: -1 if the key names no via or the layer is not 0 ... 7.
int SetViaCurrent(SimMatrix* board, uint64_t key, int layer, double value);
// Junction temperature of every heat source whose Net equals name (ignoring case).
int HeatSourceSetTemperature(SimMatrix* board, const char* name, double value);
// Temperature of every heat sink whose Net equals name (ignoring case).
int HeatSinkSetTemperature(SimMatrix* board, const char* name, double value);

}  // namespace korvex
