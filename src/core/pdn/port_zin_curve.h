#pragma once
// The input-impedance curve of a port as the AC reader leaves it in a diagram
// ("Zin(i%03u)" with the port's ID), and a copy of it that the PDN tools work on.
#include <cstdint>
#include <string>
#include <vector>

#include "pdn/complex.h"

namespace korvex {

struct Diagram;

// "Zin(i007)" for port 7.
std::string PortZinCurveName(uint32_t portId);

// Slot (0 .. 9) of the port's Zin curve in the diagram, or -1.
int FindPortZinCurve(const Diagram* diagram, uint32_t portId);

// Stores a port's Zin (frequencies in Hz, complex ohms) as diagram curve
// `slot`, named as the AC reader names it: for a jobs layer that has the
// sweep in arrays, and for tests. 0, or -1 for bad arguments.
int SetPortZinCurve(Diagram* diagram, int slot, uint32_t portId, int count, const double* frequency,
                    const DComplex* zin);

// A frozen copy of one diagram curve: frequency and complex value per point.
struct ZinSamples {
    std::vector<float> Freq;
    std::vector<DComplex> Z;
    int Size() const { return static_cast<int>(Freq.size()); }
};

// Copies curve `slot`; -1 when the slot holds no data.
int CopyDiagramCurve(const Diagram* diagram, int slot, ZinSamples* samples);

}  // namespace korvex
