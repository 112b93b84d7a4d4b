// Dispatch of the element stamps and currents to the files of each kind
// (stamp_passive.cpp, stamp_sources.cpp, stamp_tline.cpp).
#include "element_stamps.h"

#include "stamp_kinds.h"

namespace korvex::sim {

template <class S>
void stampElement(Stamper<S>& st, const Element& e, uint32_t index, AnalysisPoint point)
{
    switch (e.kind) {
    case ElementKind::Resistor: stampResistor(st, e, index); break;
    case ElementKind::Capacitor: stampCapacitor(st, e, point); break;
    case ElementKind::Inductor: stampInductor(st, e, index, point); break;
    case ElementKind::VoltageSource: stampVoltageSource(st, e, index, point); break;
    case ElementKind::CurrentSource: stampCurrentSource(st, e, point); break;
    case ElementKind::TLine: stampLine(st, e, index, point); break;
    }
}

template <class S>
std::array<S, 4> terminalCurrents(const Element& e, uint32_t index, const UnknownMap& map, const S* x, const S* fixed,
                                  AnalysisPoint point)
{
    const TerminalVoltages<S> v{map, x, fixed, e};
    const int branch = map.branch[index];
    S i = S(0);
    switch (e.kind) {
    case ElementKind::Resistor:
    case ElementKind::Capacitor:
    case ElementKind::Inductor: i = passiveCurrent(e, branch, v, x, point); break;
    case ElementKind::VoltageSource:
    case ElementKind::CurrentSource: i = sourceCurrent(e, branch, v, x, point); break;
    case ElementKind::TLine: return lineCurrents(e, branch, v, x, point);
    }
    return {i, -i, S(0), S(0)};
}

template void stampElement<double>(Stamper<double>&, const Element&, uint32_t, AnalysisPoint);
template void stampElement<Complex>(Stamper<Complex>&, const Element&, uint32_t, AnalysisPoint);
template std::array<double, 4> terminalCurrents<double>(const Element&, uint32_t, const UnknownMap&, const double*,
                                                        const double*, AnalysisPoint);
template std::array<Complex, 4> terminalCurrents<Complex>(const Element&, uint32_t, const UnknownMap&, const Complex*,
                                                          const Complex*, AnalysisPoint);

}  // namespace korvex::sim
