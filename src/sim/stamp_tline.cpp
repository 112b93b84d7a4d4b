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
    if (s == 0.0) throw SimError(e.line, "transmission line " + e.name.str() + " is a whole number of half waves long at this frequency");
    return {j * (y0 * std::tan(theta / 2)), -j * (y0 / s)};
}

bool usesModalLine(const Element& e, double maxOmega)
{
    return maxOmega * e.values[kTd] >= kModalLineTheta;
}

// With phi = theta / 2 the even mode admittance is j*Y0*tan(phi), the odd one -j*Y0*cot(phi).
// Each is written as -alpha^2 / beta with alpha and beta bounded and never both zero:
// even alpha = sqrt(-sin phi), beta = -2j*Z0*cos phi; odd alpha = sqrt(-cos phi), beta = 2j*Z0*sin phi.
LineModes lineModes(const Element& e, double omega)
{
    const Complex j(0.0, 1.0);
    const double z0 = e.values[kZ0];
    const double phi = omega * e.values[kTd] / 2;
    const double s = std::sin(phi), c = std::cos(phi);
    return {std::sqrt(Complex(-s, 0.0)), -2.0 * j * z0 * c, std::sqrt(Complex(-c, 0.0)), 2.0 * j * z0 * s};
}

namespace {

template <class S>
void stampModalLine(Stamper<S>& st, const Element& e, int k, AnalysisPoint point)
{
    LineModes m{};
    if (!st.patternMode()) m = lineModes(e, point.omega);
    const int terminals[4] = {st.code(e.nodes[0]), st.code(e.nodes[1]), st.code(e.nodes[2]), st.code(e.nodes[3])};
    const double evenSign[4] = {1, -1, 1, -1}, oddSign[4] = {1, -1, -1, 1};
    const S alphaEven = fromComplex<S>(m.alphaEven), alphaOdd = fromComplex<S>(m.alphaOdd);
    for (int t = 0; t < 4; ++t) {
        st.entry(terminals[t], k, evenSign[t] * alphaEven);
        st.entry(k, terminals[t], evenSign[t] * alphaEven);
        st.entry(terminals[t], k + 1, oddSign[t] * alphaOdd);
        st.entry(k + 1, terminals[t], oddSign[t] * alphaOdd);
    }
    st.entry(k, k, fromComplex<S>(m.betaEven));
    st.entry(k + 1, k + 1, fromComplex<S>(m.betaOdd));
}

}  // namespace

template <class S>
void stampLine(Stamper<S>& st, const Element& e, uint32_t index, AnalysisPoint point)
{
    const int a = e.nodes[0], b = e.nodes[1], c = e.nodes[2], d = e.nodes[3];
    const int k = st.branch(index);
    if (k >= 0 && point.dc) {  // DC: both ports at the same voltage, the current passes through
        st.incidence(k, a, b);
        st.incidence(k, d, c);
        return;
    }
    if (k >= 0) return stampModalLine(st, e, k, point);
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
    if (branch >= 0 && point.dc) return {x[branch], -x[branch], -x[branch], x[branch]};
    if (branch >= 0) {
        const LineModes m = lineModes(e, point.omega);
        const S even = fromComplex<S>(m.alphaEven) * x[branch], odd = fromComplex<S>(m.alphaOdd) * x[branch + 1];
        return {even + odd, -(even + odd), even - odd, odd - even};
    }
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
