// Stamps of the elements into the nodal system and the currents they carry afterwards.
#pragma once
#include <array>
#include <cstdint>

#include "circuit.h"
#include "stamper.h"

namespace korvex::sim {

// Admittances used by the stamps and by the current calculation (DC values are real).
Complex capacitorAdmittance(const Element& e, AnalysisPoint point);
Complex inductorAdmittance(const Element& e, AnalysisPoint point);          // without a branch
Complex inductorParallelAdmittance(const Element& e, AnalysisPoint point);  // Cpar and Rpar only
Complex sourcePhasor(const Element& e, AnalysisPoint point);                // DC value or AC phasor

// Admittance parameters of a lossless line as a pi network: shunt j*Y0*tan(theta/2) at each
// port and series -j*Y0/sin(theta); y11 = shunt + series, y12 = -series. Written this way the
// values stay accurate when theta is small (no difference of two large terms).
struct LineAdmittance {
    Complex shunt;
    Complex series;
};
LineAdmittance lineAdmittance(const Element& e, double omega);

// A line that reaches a quarter wave within the sweep (omega * Td >= pi/2) is stamped through
// its even and odd modes, each with a current unknown of its own. In that form no entry grows
// without bound at any frequency: at a half wave, where the pi network's admittances are
// infinite (sin(theta) = 0), the even mode simply becomes a short. Shorter lines keep the pi
// network, which needs no unknown of its own.
constexpr double kModalLineTheta = 1.5707963267948966;  // pi / 2
bool usesModalLine(const Element& e, double maxOmega);

// Even and odd mode of a line: port current alpha * i per mode, mode row
// alpha * (v1 +- v2) + beta * i = 0, which leaves -alpha^2 / beta = y_mode / 2.
struct LineModes {
    Complex alphaEven, betaEven, alphaOdd, betaOdd;
};
LineModes lineModes(const Element& e, double omega);

template <class S>
void stampElement(Stamper<S>& stamper, const Element& e, uint32_t index, AnalysisPoint point);

// Voltage of a circuit node from the solution.
template <class S>
S nodeVoltage(const UnknownMap& map, const S* x, const S* fixed, int node)
{
    const int code = map.nodeCode[node];
    if (code >= 0) return x[code];
    if (code == kGround) return S(0);
    return fixed[fixedIndex(code)];
}

// Current into the element at each terminal (terminal 0 current flows through the element
// towards terminal 1). Not valid for a fixed (eliminated) voltage source.
template <class S>
std::array<S, 4> terminalCurrents(const Element& e, uint32_t index, const UnknownMap& map, const S* x,
                                  const S* fixed, AnalysisPoint point);

template <class S>
S fromComplex(Complex value)
{
    if constexpr (std::is_same_v<S, double>) return value.real();
    else return value;
}

}  // namespace korvex::sim
