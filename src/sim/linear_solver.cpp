// Shared parts of the solver interface: the blocked inverse-entry fallback, kind names.
#include "linear_solver.h"

#include <algorithm>
#include <map>

namespace korvex::sim {

template <class S>
void LinearSolver<S>::inverseEntries(const std::vector<std::pair<int, int>>& entries, S* out)
{
    // Group the wanted rows by column, then solve blocks of unit columns.
    std::map<int, std::vector<size_t>> byColumn;
    for (size_t k = 0; k < entries.size(); ++k) byColumn[entries[k].second].push_back(k);
    constexpr int kBlock = 32;
    std::vector<S>& block = unitColumns_;
    std::vector<int> columns;
    auto flush = [&]() {
        if (columns.empty()) return;
        block.assign(static_cast<size_t>(n_) * columns.size(), S(0));
        for (size_t b = 0; b < columns.size(); ++b) block[b * n_ + columns[b]] = S(1);
        solve(block.data(), static_cast<int>(columns.size()));
        for (size_t b = 0; b < columns.size(); ++b)
            for (size_t k : byColumn[columns[b]]) out[k] = block[b * n_ + entries[k].first];
        columns.clear();
    };
    for (const auto& [column, wanted] : byColumn) {
        columns.push_back(column);
        if (static_cast<int>(columns.size()) == kBlock) flush();
    }
    flush();
}

template class LinearSolver<double>;
template class LinearSolver<Complex>;

const char* solverKindName(SolverKind kind)
{
    switch (kind) {
    case SolverKind::Automatic: return "auto";
    case SolverKind::Amg: return "amg";
    case SolverKind::Cholmod: return "cholmod";
    case SolverKind::Klu: return "klu";
    case SolverKind::Mumps: return "mumps";
    }
    return "?";
}

bool parseSolverKind(const std::string& text, SolverKind& kind)
{
    for (SolverKind k : {SolverKind::Automatic, SolverKind::Amg, SolverKind::Cholmod, SolverKind::Klu, SolverKind::Mumps}) {
        if (text == solverKindName(k)) {
            kind = k;
            return true;
        }
    }
    return false;
}

}  // namespace korvex::sim
