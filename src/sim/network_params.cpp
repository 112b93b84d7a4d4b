// .net quantities.
#include "network_params.h"

#include <cmath>

namespace korvex::sim {

namespace {

int freeCode(const UnknownMap& map, int node)
{
    const int code = map.nodeCode[node];
    return code >= 0 ? code : -1;  // ground and held nodes are shorted when sources are zeroed
}

}  // namespace

void NetworkParameters::prepare(const Circuit& circuit, const UnknownMap& map)
{
    ports_.clear();
    entries_.clear();
    n_ = map.size;
    for (const NetSpec& net : circuit.nets) {
        const Element& source = circuit.elements[circuit.elementIndex.at(net.source)];
        Port port;
        port.p1 = freeCode(map, source.nodes[0]);
        port.m1 = freeCode(map, source.nodes[1]);
        if (!net.output.empty()) {
            const Element& term = circuit.elements[circuit.elementIndex.at(net.output)];
            port.kind = Port::Kind::TwoPort;
            port.z1 = source.values[kSrcRser];
            port.z2 = term.values[kValue];
            port.p2 = freeCode(map, term.nodes[0]);
            port.m2 = freeCode(map, term.nodes[1]);
        } else {
            if (source.kind == ElementKind::VoltageSource) {
                port.kind = Port::Kind::OnePortWithReference;
                port.z1 = source.values[kSrcRser];
            }
            auto add = [&](int r, int c) {
                entries_.emplace_back(r, c);
                return static_cast<int>(entries_.size()) - 1;
            };
            if (port.p1 >= 0) port.pp = add(port.p1, port.p1);
            if (port.m1 >= 0) port.mm = add(port.m1, port.m1);
            if (port.p1 >= 0 && port.m1 >= 0) port.pm = add(port.p1, port.m1);
        }
        ports_.push_back(port);
    }
}

void NetworkParameters::compute(LinearSolver<Complex>& solver, bool useSelectedInverse, std::vector<NetValues>& out)
{
    out.assign(ports_.size(), NetValues{});
    inverse_.assign(entries_.size(), Complex(0));
    if (!entries_.empty()) {
        if (useSelectedInverse) solver.inverseEntries(entries_, inverse_.data());
        else solver.LinearSolver<Complex>::inverseEntries(entries_, inverse_.data());
    }
    // Two ports: two excitations each, all solved together.
    std::vector<size_t> twoPorts;
    for (size_t k = 0; k < ports_.size(); ++k)
        if (ports_[k].kind == Port::Kind::TwoPort) twoPorts.push_back(k);
    std::vector<Complex> rhs(2 * twoPorts.size() * static_cast<size_t>(n_), Complex(0));
    auto at = [&](size_t column, int row) -> Complex& { return rhs[column * n_ + row]; };
    for (size_t t = 0; t < twoPorts.size(); ++t) {
        const Port& p = ports_[twoPorts[t]];
        // Thevenin source of 1 V behind the reference impedance, as a Norton current.
        if (p.p1 >= 0) at(2 * t, p.p1) += 1.0 / p.z1;
        if (p.m1 >= 0) at(2 * t, p.m1) -= 1.0 / p.z1;
        if (p.p2 >= 0) at(2 * t + 1, p.p2) += 1.0 / p.z2;
        if (p.m2 >= 0) at(2 * t + 1, p.m2) -= 1.0 / p.z2;
    }
    if (!twoPorts.empty() && n_ > 0) solver.solve(rhs.data(), static_cast<int>(2 * twoPorts.size()));

    for (size_t k = 0; k < ports_.size(); ++k) {
        const Port& p = ports_[k];
        NetValues& v = out[k];
        if (p.kind == Port::Kind::TwoPort) {
            size_t t = 0;
            while (twoPorts[t] != k) ++t;
            auto volt = [&](size_t column, int plus, int minus) {
                Complex u(0);
                if (plus >= 0) u += at(column, plus);
                if (minus >= 0) u -= at(column, minus);
                return u;
            };
            const Complex v1a = volt(2 * t, p.p1, p.m1), v2a = volt(2 * t, p.p2, p.m2);
            const Complex v1b = volt(2 * t + 1, p.p1, p.m1), v2b = volt(2 * t + 1, p.p2, p.m2);
            v[1] = 2.0 * v1a - 1.0;
            v[2] = 2.0 * v2a * std::sqrt(p.z1 / p.z2);
            v[3] = 2.0 * v1b * std::sqrt(p.z2 / p.z1);
            v[4] = 2.0 * v2b - 1.0;
            v[0] = p.z1 * (1.0 + v[1]) / (1.0 - v[1]);
            continue;
        }
        Complex z(0);
        if (p.pp >= 0) z += inverse_[p.pp];
        if (p.mm >= 0) z += inverse_[p.mm];
        if (p.pm >= 0) z -= 2.0 * inverse_[p.pm];
        if (p.kind == Port::Kind::OnePortWithReference) {
            // z is the network in parallel with RSER; take RSER out.
            v[1] = 2.0 * z / p.z1 - 1.0;
            v[0] = p.z1 * (1.0 + v[1]) / (1.0 - v[1]);
        } else {
            v[0] = z;
        }
    }
}

}  // namespace korvex::sim
