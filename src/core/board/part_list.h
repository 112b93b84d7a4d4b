#pragma once
// The part list: a singly linked list in insertion order. Each entry owns a
// private copy of its kind record.
#include <cstdint>

#include "board/part_records.h"
#include "util/status.h"

namespace korvex {

struct SimMatrix;

struct Part {
    uint32_t Kind = 0;
    void* pRecord = nullptr;
    Part* pNext = nullptr;
};

// Appends a copy of RECORD (a record of KIND) to the list; refused with the
// reason for a null board or record or an unknown kind.
Status AddPart(SimMatrix* board, uint32_t kind, const void* record);
int DeletePart(SimMatrix* board, Part* part);
Part* GetFirstPart(const SimMatrix* board);
Part* GetNextPart(const Part* part);
Part* GetPartfromID(const SimMatrix* board, uint32_t kind, uint32_t id);
int IsPart(const SimMatrix* board, const Part* part);
void PrintSimMatrixParts(const SimMatrix* board);
int PrintSimMatrixPart(const Part* part);
// Frees every entry with its record and leaves the list empty.
void FreePartList(SimMatrix* board);
// Number of entries in the list.
uint32_t CountParts(const SimMatrix* board);

// Typed access to an entry's record; the caller has checked Kind.
template <class T>
T* PartRecord(const Part* part)
{
    return static_cast<T*>(part->pRecord);
}

}  // namespace korvex
