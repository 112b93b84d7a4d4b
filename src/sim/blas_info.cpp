// The BLAS in use: the object that defines dgemm_ in the process's global scope is the one
// CHOLMOD and MUMPS call; OpenBLAS describes itself through openblas_get_config.
#include "blas_info.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>

namespace korvex::sim {

namespace {

template <class F>
F lookup(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
}

}  // namespace

std::string blasDescription()
{
    void* gemm = dlsym(RTLD_DEFAULT, "dgemm_");
    if (!gemm) return "no BLAS loaded";
    std::string path = "unknown library";
    Dl_info info{};
    if (dladdr(gemm, &info) && info.dli_fname) {
        path = info.dli_fname;
        char resolved[PATH_MAX];
        if (realpath(info.dli_fname, resolved)) path = resolved;
    }
    using ConfigFn = const char* (*)();
    using ThreadsFn = int (*)();
    const auto config = lookup<ConfigFn>("openblas_get_config");
    const auto threads = lookup<ThreadsFn>("openblas_get_num_threads");
    if (!config) return "reference or unknown BLAS (" + path + ")";
    std::string text = config();
    if (threads) text += ", " + std::to_string(threads()) + " threads";
    return text + " (" + path + ")";
}

int setBlasThreads(int threads)
{
    using GetFn = int (*)();
    using SetFn = void (*)(int);
    const auto get = lookup<GetFn>("openblas_get_num_threads");
    const auto set = lookup<SetFn>("openblas_set_num_threads");
    if (!get || !set) return 0;
    const int previous = get();
    set(threads);
    return previous;
}

}  // namespace korvex::sim
