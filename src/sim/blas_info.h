// Which BLAS the solvers call, found at run time (the library that resolves dgemm_), so that
// logs and benchmarks state what they actually ran with.
#pragma once
#include <string>

namespace korvex::sim {

// For example "OpenBLAS 0.3.21 DYNAMIC_ARCH NO_AFFINITY Haswell MAX_THREADS=64, 2 threads
// (/usr/lib/x86_64-linux-gnu/openblas-pthread/libblas.so.3)".
std::string blasDescription();

// Threads the BLAS may use (OpenBLAS only); returns the previous count, 0 when unknown.
int setBlasThreads(int threads);

}  // namespace korvex::sim
