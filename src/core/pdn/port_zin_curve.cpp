#include "pdn/port_zin_curve.h"

#include <cstdio>

#include "diagram/diagram.h"

namespace korvex {

std::string PortZinCurveName(uint32_t portId)
{
    char name[32];
    std::snprintf(name, sizeof name, "Zin(i%03u)", portId);
    return name;
}

int FindPortZinCurve(const Diagram* diagram, uint32_t portId)
{
    return FindDiagramCurve(diagram, PortZinCurveName(portId).c_str());
}

int SetPortZinCurve(Diagram* diagram, int slot, uint32_t portId, int count, const double* frequency,
                    const DComplex* zin)
{
    if (frequency == nullptr || zin == nullptr) return -1;
    if (InitDiagramData(diagram, PortZinCurveName(portId).c_str(), slot, count) != 0) return -1;
    for (int k = 0; k < count; ++k)
        SetDataPoint(diagram, slot, k, static_cast<float>(frequency[k]), static_cast<float>(zin[k].r),
                     static_cast<float>(zin[k].i));
    return 0;
}

int CopyDiagramCurve(const Diagram* diagram, int slot, ZinSamples* samples)
{
    if (diagram == nullptr || samples == nullptr || slot < 0 || slot >= kDiagramCurves) return -1;
    std::lock_guard<std::mutex> guard(diagram->Lock);
    const DiagramCurve& curve = diagram->Curve[slot];
    if (!DiagramCurveHasData(curve)) return -1;
    samples->Freq.assign(curve.pX, curve.pX + curve.PointCount);
    samples->Z.resize(curve.PointCount);
    for (int k = 0; k < curve.PointCount; ++k) samples->Z[k] = Complex(curve.pY[k], curve.pZ[k]);
    return 0;
}

}  // namespace korvex
