// Transparent huge pages for the simulator's memory. A large netlist makes the simulator touch
// several hundred MiB in fresh allocations; with 4 KiB pages the page faults cost about as much
// as parsing the text. glibc's malloc asks for huge pages only when the tunable
// glibc.malloc.hugetlb=1 is set at process start, which is the caller's business (the job
// runner sets it in the simulator's environment); the simulator reports it, and maps in the
// large blocks of reading the netlist and building the matrix pattern itself either way.
#pragma once
#include <algorithm>
#include <cstddef>

namespace korvex::sim {

// Maps in a freshly allocated block that is about to be written in full: huge pages behind its
// 2 MiB-aligned interior and everything in one call, instead of a page fault per 4 KiB page
// (on a virtual machine each costs tens of microseconds, as much as parsing a netlist line).
// Advice only; small blocks are left alone.
void prefaultForWriting(const void* data, std::size_t bytes);
// The same for the first `count` elements of a vector's capacity, after reserve().
template <class Buffer>
void prefaultElements(const Buffer& buffer, std::size_t count)
{
    prefaultForWriting(buffer.data(), std::min(count, buffer.capacity()) * sizeof(*buffer.data()));
}

// "on (glibc.malloc.hugetlb=1)" or "off (...)", for the log.
const char* hugePagesState();

}  // namespace korvex::sim
