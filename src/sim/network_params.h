// Network quantities of the .net directives on a factored AC matrix.
// One port (a current source, or a voltage source with RSER): Zin is the impedance seen by a
// unit test current at the port with every other source zeroed, an entry combination of the
// inverse matrix, so many ports cost one selected inversion. Two ports (I(Rterm) Vsrc): S
// parameters with RSER and the terminating resistance as reference impedances, from two
// solves on the same factorisation.
#pragma once
#include <array>
#include <vector>

#include "circuit.h"
#include "linear_solver.h"
#include "unknown_map.h"

namespace korvex::sim {

// Zin, S11, S21, S12, S22 of one .net.
using NetValues = std::array<Complex, 5>;

class NetworkParameters {
public:
    void prepare(const Circuit& circuit, const UnknownMap& map);
    // useSelectedInverse: ask the solver's own inverse mode rather than unit solves.
    void compute(LinearSolver<Complex>& solver, bool useSelectedInverse, std::vector<NetValues>& out);
    size_t inverseEntryCount() const { return entries_.size(); }

private:
    struct Port {
        enum class Kind { OnePort, OnePortWithReference, TwoPort } kind = Kind::OnePort;
        int p1 = -1, m1 = -1, p2 = -1, m2 = -1;  // free unknowns or -1 (ground or held node)
        double z1 = 0, z2 = 0;
        int pp = -1, mm = -1, pm = -1;  // indexes into entries_
    };
    std::vector<Port> ports_;
    std::vector<std::pair<int, int>> entries_;
    std::vector<Complex> inverse_;
    int n_ = 0;
};

}  // namespace korvex::sim
