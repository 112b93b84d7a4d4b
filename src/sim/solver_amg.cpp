// Algebraic multigrid (hypre BoomerAMG) preconditioned CG for the large real symmetric positive
// definite systems of DC and thermal networks. hypre and MPI live in a module loaded on first
// use; see amg/amg_module.h.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "amg/amg_module.h"
#include "linear_solver.h"
#include "sim_error.h"

namespace korvex::sim {

namespace {

struct AmgModule {
    KorvexAmgSetupFn setup = nullptr;
    KorvexAmgSolveFn solve = nullptr;
    KorvexAmgFreeFn free = nullptr;
    KorvexAmgWorldFn world = nullptr;
    std::string error;
};

// Beside the running executable first, then where the build put it.
std::vector<std::string> moduleCandidates()
{
    std::vector<std::string> paths;
    if (const char* env = std::getenv("KORVEX_SIM_AMG_MODULE"); env && *env) paths.push_back(env);
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) paths.push_back((self.parent_path() / "korvex-sim-amg.so").string());
#ifdef KORVEX_SIM_AMG_MODULE_PATH
    paths.push_back(KORVEX_SIM_AMG_MODULE_PATH);
#endif
    return paths;
}

// A process of its own (no mpirun) talks only to itself: the loopback transport and the plain
// point-to-point layer, without probing the network stacks for fabrics, cut MPI's start from
// about 0.3 s to 0.05 s. Settings the user made win; under mpirun the launcher's choice stands.
void preferSingletonTransports()
{
    if (launchedByMpirun()) return;
    setenv("OMPI_MCA_pml", "ob1", 0);
    setenv("OMPI_MCA_btl", "self", 0);
    setenv("OMPI_MCA_mtl", "^ofi", 0);
    setenv("OMPI_MCA_osc", "^ucx", 0);
}

const AmgModule& module()
{
    static const AmgModule loaded = [] {
        AmgModule m;
        preferSingletonTransports();
        for (const std::string& path : moduleCandidates()) {
            if (!std::filesystem::exists(path)) continue;
            // Deep binding: the module's MPI library wins over the MPI stand-ins of the
            // sequential MUMPS that are already in the process.
            void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND);
            if (!handle) {
                m.error = dlerror();
                continue;
            }
            m.setup = reinterpret_cast<KorvexAmgSetupFn>(dlsym(handle, "korvexAmgSetup"));
            m.solve = reinterpret_cast<KorvexAmgSolveFn>(dlsym(handle, "korvexAmgSolve"));
            m.free = reinterpret_cast<KorvexAmgFreeFn>(dlsym(handle, "korvexAmgFree"));
            m.world = reinterpret_cast<KorvexAmgWorldFn>(dlsym(handle, "korvexAmgWorld"));
            if (m.setup && m.solve && m.free && m.world) {
                m.error.clear();
                return m;
            }
            m = AmgModule{};
            m.error = "'" + path + "' lacks the multigrid entry points";
        }
        if (m.error.empty()) m.error = "multigrid module korvex-sim-amg.so not found";
        return m;
    }();
    return loaded;
}

class AmgSolver : public LinearSolver<double> {
public:
    explicit AmgSolver(const AmgSettings& settings) : settings_(settings) {}
    ~AmgSolver() override { release(); }
    const char* name() const override { return kAmgSolverName; }

    void analyse(const SparsePattern& pattern) override
    {
        if (!module().setup) throw SimError(module().error);
        pattern_ = &pattern;
        n_ = pattern.n;
    }

    FactorResult factor(const double* values) override
    {
        release();
        // The pattern holds both triangles of a symmetric matrix, so its compressed columns
        // are also its compressed rows.
        const KorvexAmgMatrix matrix{n_, pattern_->colPtr.data(), pattern_->rowIdx.data(), values};
        KorvexAmgResult result{};
        handle_ = module().setup(&matrix, &result);
        setupSeconds_ = result.setupSeconds;
        FactorResult outcome;
        if (!handle_) {
            outcome.ok = false;
            outcome.message = result.message;
        }
        return outcome;
    }

    void solve(double* rhs, int nrhs) override
    {
        std::vector<double> x(static_cast<size_t>(n_));
        for (int k = 0; k < nrhs; ++k) {
            double* b = rhs + static_cast<size_t>(k) * n_;
            KorvexAmgResult result{};
            if (module().solve(handle_, b, x.data(), settings_.tolerance, settings_.maxIterations, &result) != 0)
                throw SolverNotConverged(result.message);
            iterations_ = result.iterations;
            residual_ = result.relativeResidual;
            if (!result.converged)
                throw SolverNotConverged("CG with BoomerAMG stopped after " + std::to_string(result.iterations) +
                                      " iterations at relative residual " + std::to_string(result.relativeResidual));
            std::copy(x.begin(), x.end(), b);
        }
    }

    std::string report() const override
    {
        char text[160];
        std::snprintf(text, sizeof text, "multigrid set-up %.3f s, CG %d iterations to relative residual %.2e", setupSeconds_,
                      iterations_, residual_);
        return text;
    }

private:
    void release()
    {
        if (handle_) module().free(handle_);
        handle_ = nullptr;
    }

    AmgSettings settings_;
    const SparsePattern* pattern_ = nullptr;
    void* handle_ = nullptr;
    double setupSeconds_ = 0, residual_ = 0;
    int iterations_ = 0;
};

}  // namespace

bool amgAvailable() { return module().setup != nullptr; }

MpiWorld mpiWorld()
{
    MpiWorld world;
    if (module().world) module().world(&world.rank, &world.size);
    return world;
}

bool launchedByMpirun()
{
    for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMI_SIZE", "PMIX_RANK"})
        if (std::getenv(name)) return true;
    return false;
}

std::unique_ptr<LinearSolver<double>> makeAmgSolver(const AmgSettings& settings) { return std::make_unique<AmgSolver>(settings); }

}  // namespace korvex::sim
