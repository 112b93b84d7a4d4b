// One stamp per element kind: R, C (Rser, Lser, Cpar, Rpar), L (Rser, Cpar, Rpar),
// V (RSER), I and the lossless line T.
#include "element_stamps.h"

#include <cmath>

#include "sim_error.h"

namespace korvex::sim {

namespace {

const Complex j(0.0, 1.0);

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
    if (z == Complex(0.0)) throw SimError(e.line, "capacitor " + e.name + " is a lossless series resonance at this frequency");
    return y + 1.0 / z;
}

Complex inductorAdmittance(const Element& e, AnalysisPoint point)
{
    const Complex z = point.dc ? Complex(e.values[kRser]) : Complex(e.values[kRser], point.omega * e.values[kValue]);
    return parallelPart(e, point) + 1.0 / z;
}

Complex inductorParallelAdmittance(const Element& e, AnalysisPoint point) { return parallelPart(e, point); }

Complex sourcePhasor(const Element& e, AnalysisPoint point)
{
    if (point.dc) return e.values[kDc];
    return std::polar(e.values[kAcMag], e.values[kAcPhase] * M_PI / 180.0);
}

LineAdmittance lineAdmittance(const Element& e, double omega)
{
    const double y0 = 1.0 / e.values[kZ0];
    const double theta = omega * e.values[kTd];
    const double s = std::sin(theta);
    if (s == 0.0) throw SimError(e.line, "transmission line " + e.name + " is a whole number of half waves long at this frequency");
    return {j * (y0 * std::tan(theta / 2)), -j * (y0 / s)};
}

template <class S>
void stampElement(Stamper<S>& st, const Element& e, uint32_t index, AnalysisPoint point)
{
    const int a = e.nodes[0], b = e.nodes[1];
    switch (e.kind) {
    case ElementKind::Resistor: st.admittance(a, b, S(1.0 / e.values[kValue])); break;
    case ElementKind::Capacitor:
        st.admittance(a, b, st.patternMode() ? S(0) : fromComplex<S>(capacitorAdmittance(e, point)));
        break;
    case ElementKind::Inductor: {
        const int k = st.branch(index);
        if (k < 0) {
            st.admittance(a, b, st.patternMode() ? S(0) : fromComplex<S>(inductorAdmittance(e, point)));
        } else {
            st.admittance(a, b, fromComplex<S>(inductorParallelAdmittance(e, point)));
            st.incidence(k, a, b);
            st.entry(k, k, fromComplex<S>(-Complex(e.values[kRser], point.dc ? 0.0 : point.omega * e.values[kValue])));
        }
        break;
    }
    case ElementKind::VoltageSource: {
        const int k = st.branch(index);
        const S value = fromComplex<S>(sourcePhasor(e, point));
        if (k >= 0) {
            st.incidence(k, a, b);
            st.rhs(k, value);
        } else if (e.values[kSrcRser] > 0) {
            const double g = 1.0 / e.values[kSrcRser];
            st.admittance(a, b, S(g));
            st.inject(a, value * g);
            st.inject(b, -value * g);
        }  // else: grounded ideal source, its node is eliminated
        break;
    }
    case ElementKind::CurrentSource: {
        const S value = fromComplex<S>(sourcePhasor(e, point));
        st.inject(a, -value);
        st.inject(b, value);
        break;
    }
    case ElementKind::TLine: {
        const int c = e.nodes[2], d = e.nodes[3];
        const int k = st.branch(index);
        if (k >= 0) {  // DC: both ports at the same voltage, the current passes through
            st.incidence(k, a, b);
            st.incidence(k, d, c);
            break;
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
        break;
    }
    }
}

template <class S>
std::array<S, 4> terminalCurrents(const Element& e, uint32_t index, const UnknownMap& map, const S* x, const S* fixed,
                                  AnalysisPoint point)
{
    auto v = [&](int t) { return nodeVoltage(map, x, fixed, e.nodes[t]); };
    const int k = map.branch[index];
    S i = S(0);
    switch (e.kind) {
    case ElementKind::Resistor: i = (v(0) - v(1)) / e.values[kValue]; break;
    case ElementKind::Capacitor: i = fromComplex<S>(capacitorAdmittance(e, point)) * (v(0) - v(1)); break;
    case ElementKind::Inductor:
        if (k < 0) i = fromComplex<S>(inductorAdmittance(e, point)) * (v(0) - v(1));
        else i = x[k] + fromComplex<S>(inductorParallelAdmittance(e, point)) * (v(0) - v(1));
        break;
    case ElementKind::VoltageSource:
        if (k >= 0) i = x[k];
        else if (e.values[kSrcRser] > 0)
            i = (v(0) - v(1) - fromComplex<S>(sourcePhasor(e, point))) / e.values[kSrcRser];
        break;
    case ElementKind::CurrentSource: i = fromComplex<S>(sourcePhasor(e, point)); break;
    case ElementKind::TLine: {
        if (k >= 0) return {x[k], -x[k], -x[k], x[k]};
        const LineAdmittance y = lineAdmittance(e, point.omega);
        const S y11 = fromComplex<S>(y.shunt + y.series), y12 = fromComplex<S>(-y.series);
        const S v1 = v(0) - v(1), v2 = v(2) - v(3);
        const S i1 = y11 * v1 + y12 * v2, i2 = y12 * v1 + y11 * v2;
        return {i1, -i1, i2, -i2};
    }
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
