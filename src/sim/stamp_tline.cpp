// The lossless transmission line T (Td, Z0) between port a+/a- and port b+/b-.
#include <cmath>

#include "sim_error.h"
#include "stamp_kinds.h"

namespace korvex::sim {

LineAdmittance lineAdmittance(const Element& e, double omega)
{
    const Complex j(0.0, 1.0);
    const double y0 = 1.0 / e.values[kZ0];
    const double theta = omega * e.values[kTd];
    const double s = std::sin(theta);
    if (s == 0.0) throw SimError(e.line, "transmission line " + e.name + " is a whole number of half waves long at this frequency");
    return {j * (y0 * std::tan(theta / 2)), -j * (y0 / s)};
}

template <class S>
void stampLine(Stamper<S>& st, const Element& e, uint32_t index, AnalysisPoint point)
{
    const int a = e.nodes[0], b = e.nodes[1], c = e.nodes[2], d = e.nodes[3];
    const int k = st.branch(index);
    if (k >= 0) {  // DC: both ports at the same voltage, the current passes through
        st.incidence(k, a, b);
        st.incidence(k, d, c);
        return;
    }
    LineAdmittance y{};
    if (!st.patternMode()) y = lineAdmittance(e, point.omega);
    const S y11 = fromComplex<S>(y.shunt + y.series), y12 = fromComplex<S>(-y.series);
    const int ports[2][2] = {{st.code(a), st.code(b)}, {st.code(c), st.code(d)}};
    for (int p = 0; p < 2; ++p) {
        for (int q = 0; q < 2; ++q) {
            const S yv = p == q ? y11 : y12;
            st.entry(ports[p][0], ports[q][0], yv);
            st.entry(ports[p][0], ports[q][1], -yv);
            st.entry(ports[p][1], ports[q][0], -yv);
            st.entry(ports[p][1], ports[q][1], yv);
        }
    }
}

template <class S>
Currents<S> lineCurrents(const Element& e, int branch, const TerminalVoltages<S>& v, const S* x, AnalysisPoint point)
{
    if (branch >= 0) return {x[branch], -x[branch], -x[branch], x[branch]};
    const LineAdmittance y = lineAdmittance(e, point.omega);
    const S y11 = fromComplex<S>(y.shunt + y.series), y12 = fromComplex<S>(-y.series);
    const S v1 = v(0) - v(1), v2 = v(2) - v(3);
    const S i1 = y11 * v1 + y12 * v2, i2 = y12 * v1 + y11 * v2;
    return {i1, -i1, i2, -i2};
}

#define KORVEX_LINE(S)                                                                     \
    template void stampLine<S>(Stamper<S>&, const Element&, uint32_t, AnalysisPoint);      \
    template Currents<S> lineCurrents<S>(const Element&, int, const TerminalVoltages<S>&, const S*, AnalysisPoint);
KORVEX_LINE(double)
KORVEX_LINE(Complex)

}  // namespace korvex::sim
