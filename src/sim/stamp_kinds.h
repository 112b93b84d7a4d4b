// The stamp and the current of each element kind; element_stamps.cpp dispatches to them.
#pragma once
#include <array>

#include "element_stamps.h"

namespace korvex::sim {

template <class S>
using Currents = std::array<S, 4>;

// Voltages of the element's terminals from the solution.
template <class S>
struct TerminalVoltages {
    const UnknownMap& map;
    const S* x;
    const S* fixed;
    const Element& e;
    S operator()(int t) const { return nodeVoltage(map, x, fixed, e.nodes[t]); }
};

template <class S> void stampResistor(Stamper<S>& st, const Element& e, uint32_t index);
template <class S> void stampCapacitor(Stamper<S>& st, const Element& e, AnalysisPoint point);
template <class S> void stampInductor(Stamper<S>& st, const Element& e, uint32_t index, AnalysisPoint point);
template <class S> void stampVoltageSource(Stamper<S>& st, const Element& e, uint32_t index, AnalysisPoint point);
template <class S> void stampCurrentSource(Stamper<S>& st, const Element& e, AnalysisPoint point);
template <class S> void stampLine(Stamper<S>& st, const Element& e, uint32_t index, AnalysisPoint point);

template <class S> S passiveCurrent(const Element& e, int branch, const TerminalVoltages<S>& v, const S* x, AnalysisPoint point);
template <class S> S sourceCurrent(const Element& e, int branch, const TerminalVoltages<S>& v, const S* x, AnalysisPoint point);
template <class S> Currents<S> lineCurrents(const Element& e, int branch, const TerminalVoltages<S>& v, const S* x, AnalysisPoint point);

}  // namespace korvex::sim
