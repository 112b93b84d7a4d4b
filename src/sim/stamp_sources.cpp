// Independent sources. A voltage source with RSER is its Norton equivalent; a grounded ideal
// one holds its node (eliminated, nothing to stamp); a floating ideal one has a branch current.
#include <cmath>

#include "stamp_kinds.h"

namespace korvex::sim {

Complex sourcePhasor(const Element& e, AnalysisPoint point)
{
    if (point.dc) return e.values[kDc];
    return std::polar(e.values[kAcMag], e.values[kAcPhase] * M_PI / 180.0);
}

template <class S>
void stampVoltageSource(Stamper<S>& st, const Element& e, uint32_t index, AnalysisPoint point)
{
    const int a = e.nodes[0], b = e.nodes[1], k = st.branch(index);
    const S value = fromComplex<S>(sourcePhasor(e, point));
    if (k >= 0) {
        st.incidence(k, a, b);
        st.rhs(k, value);
    } else if (e.values[kSrcRser] > 0) {
        const double g = 1.0 / e.values[kSrcRser];
        st.admittance(a, b, S(g));
        st.inject(a, value * g);
        st.inject(b, -value * g);
    }
}

// The current flows from n+ through the source to n-.
template <class S>
void stampCurrentSource(Stamper<S>& st, const Element& e, AnalysisPoint point)
{
    const S value = fromComplex<S>(sourcePhasor(e, point));
    st.inject(e.nodes[0], -value);
    st.inject(e.nodes[1], value);
}

// Current into the + terminal; a held node's source is handled by the caller.
template <class S>
S sourceCurrent(const Element& e, int branch, const TerminalVoltages<S>& v, const S* x, AnalysisPoint point)
{
    if (e.kind == ElementKind::CurrentSource) return fromComplex<S>(sourcePhasor(e, point));
    if (branch >= 0) return x[branch];
    if (e.values[kSrcRser] > 0) return (v(0) - v(1) - fromComplex<S>(sourcePhasor(e, point))) / e.values[kSrcRser];
    return S(0);
}

#define KORVEX_SOURCES(S)                                                                                   \
    template void stampVoltageSource<S>(Stamper<S>&, const Element&, uint32_t, AnalysisPoint);              \
    template void stampCurrentSource<S>(Stamper<S>&, const Element&, AnalysisPoint);                        \
    template S sourceCurrent<S>(const Element&, int, const TerminalVoltages<S>&, const S*, AnalysisPoint);
KORVEX_SOURCES(double)
KORVEX_SOURCES(Complex)

}  // namespace korvex::sim
