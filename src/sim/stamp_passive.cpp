// R, C (with Rser, Lser, Cpar, Rpar) and L (with Rser, Cpar, Rpar).
#include <cmath>

#include "sim_error.h"
#include "stamp_kinds.h"

namespace korvex::sim {

namespace {

const Complex j(0.0, 1.0);

// Rpar and Cpar across the element.
Complex parallelPart(const Element& e, AnalysisPoint point)
{
    Complex y = e.values[kRpar] > 0 ? Complex(1.0 / e.values[kRpar]) : Complex(0.0);
    if (!point.dc) y += j * point.omega * e.values[kCpar];
    return y;
}

}  // namespace

Complex capacitorAdmittance(const Element& e, AnalysisPoint point)
{
    Complex y = parallelPart(e, point);
    if (point.dc || e.values[kValue] == 0) return y;
    const double w = point.omega;
    const Complex z(e.values[kRser], w * e.values[kLser] - 1.0 / (w * e.values[kValue]));
    if (z == Complex(0.0)) throw SimError(e.line, "capacitor " + e.name.str() + " is a lossless series resonance at this frequency");
    return y + 1.0 / z;
}

Complex inductorAdmittance(const Element& e, AnalysisPoint point)
{
    const Complex z = point.dc ? Complex(e.values[kRser]) : Complex(e.values[kRser], point.omega * e.values[kValue]);
    return parallelPart(e, point) + 1.0 / z;
}

Complex inductorParallelAdmittance(const Element& e, AnalysisPoint point) { return parallelPart(e, point); }

// A resistance of zero is a short: a branch current with V(a) - V(b) = 0.
template <class S>
void stampResistor(Stamper<S>& st, const Element& e, uint32_t index)
{
    const int k = st.branch(index);
    if (k < 0) {
        st.admittance(e.nodes[0], e.nodes[1], S(1.0 / e.values[kValue]));
        return;
    }
    st.incidence(k, e.nodes[0], e.nodes[1]);
    st.entry(k, k, S(0));
}

template <class S>
void stampCapacitor(Stamper<S>& st, const Element& e, AnalysisPoint point)
{
    st.admittance(e.nodes[0], e.nodes[1], st.patternMode() ? S(0) : fromComplex<S>(capacitorAdmittance(e, point)));
}

// An inductor of zero impedance (an ideal one at DC) is a short: a branch current with
// V(a) - V(b) - (Rser + jwL) i = 0.
template <class S>
void stampInductor(Stamper<S>& st, const Element& e, uint32_t index, AnalysisPoint point)
{
    const int a = e.nodes[0], b = e.nodes[1], k = st.branch(index);
    if (k < 0) {
        st.admittance(a, b, st.patternMode() ? S(0) : fromComplex<S>(inductorAdmittance(e, point)));
        return;
    }
    st.admittance(a, b, fromComplex<S>(inductorParallelAdmittance(e, point)));
    st.incidence(k, a, b);
    st.entry(k, k, fromComplex<S>(-Complex(e.values[kRser], point.dc ? 0.0 : point.omega * e.values[kValue])));
}

template <class S>
S passiveCurrent(const Element& e, int branch, const TerminalVoltages<S>& v, const S* x, AnalysisPoint point)
{
    const S across = v(0) - v(1);
    switch (e.kind) {
    case ElementKind::Resistor: return branch >= 0 ? x[branch] : across / e.values[kValue];
    case ElementKind::Capacitor: return fromComplex<S>(capacitorAdmittance(e, point)) * across;
    default:
        if (branch < 0) return fromComplex<S>(inductorAdmittance(e, point)) * across;
        return x[branch] + fromComplex<S>(inductorParallelAdmittance(e, point)) * across;
    }
}

#define KORVEX_PASSIVE(S)                                                                                      \
    template void stampResistor<S>(Stamper<S>&, const Element&, uint32_t);                                     \
    template void stampCapacitor<S>(Stamper<S>&, const Element&, AnalysisPoint);                               \
    template void stampInductor<S>(Stamper<S>&, const Element&, uint32_t, AnalysisPoint);                      \
    template S passiveCurrent<S>(const Element&, int, const TerminalVoltages<S>&, const S*, AnalysisPoint);
KORVEX_PASSIVE(double)
KORVEX_PASSIVE(Complex)

}  // namespace korvex::sim
