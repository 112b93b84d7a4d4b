// Every benchmark names the BLAS it ran with, as bound at run time.
#pragma once
#include <cstdio>

#include "blas_info.h"

namespace korvex::bench {

inline void printBlas()
{
    std::printf("BLAS: %s\n", korvex::sim::blasDescription().c_str());
    std::fflush(stdout);
}

}  // namespace korvex::bench
