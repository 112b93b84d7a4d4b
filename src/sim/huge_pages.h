// Transparent huge pages for the simulator's memory. A large netlist makes the simulator touch
// several hundred MiB in fresh allocations; with 4 KiB pages the page faults cost about as much
// as parsing the text. glibc's malloc asks for huge pages only when the tunable
// glibc.malloc.hugetlb=1 is set at process start, which is the caller's business (the job
// runner sets it in the simulator's environment); the simulator only reports it.
#pragma once

namespace korvex::sim {

// "on (glibc.malloc.hugetlb=1)" or "off (...)", for the log.
const char* hugePagesState();

}  // namespace korvex::sim
