#include "pdn/diagram_capacitor.h"

#include <cmath>
#include <mutex>

#include "board/part_list.h"
#include "pdn/cap_database.h"
#include "pdn/complex.h"

namespace korvex {

namespace {

using Guard = std::lock_guard<std::mutex>;

// Whole decades around the x range, worked out here so the curve does not
// depend on a picture having been drawn first.
void SweepDecades(const Diagram* d, double* lo, double* hi)
{
    const float minX = d->fMinX > 0 ? d->fMinX : 1.0f;
    *lo = std::floor(std::log10(minX));
    *hi = d->fMaxX > 0 ? std::ceil(std::log10(d->fMaxX)) : *lo + 1;
    if (!(*hi > *lo)) *hi = *lo + 1;
}

float SweepFrequencyLocked(const Diagram* d, int i, int count)
{
    if (d->bLogX != 0) {
        double lo, hi;
        SweepDecades(d, &lo, &hi);
        return static_cast<float>(std::pow(10.0, lo + i * (hi - lo) / count));
    }
    return d->fMinX + i * (d->fMaxX - d->fMinX) / count;
}

}  // namespace

float DiagramSweepFrequency(const Diagram* diagram, int i, int count)
{
    if (diagram == nullptr || count <= 0) return 0;
    Guard guard(diagram->Lock);
    return SweepFrequencyLocked(diagram, i, count);
}

int DrawCapacitorData(Diagram* diagram)
{
    if (diagram == nullptr) return -1;
    Guard guard(diagram->Lock);
    const Part* part = diagram->pCapPart;
    DiagramCurve& curve = diagram->CapCurve;
    if (part == nullptr || part->Kind != PART_CAP || !DiagramCurveHasData(curve)) return -1;
    const Cap* cap = PartRecord<Cap>(part);
    for (int i = 0; i < curve.PointCount; ++i) {
        const float f = SweepFrequencyLocked(diagram, i, curve.PointCount);
        const float w = 6.2831855f * f;
        curve.pX[i] = f;
        curve.pY[i] = cap->ESR;
        curve.pZ[i] = cap->ESL * w - 1.0f / (cap->Capacitance * w);
    }
    curve.bValid = 1;
    return 0;
}

int DrawCreateSpiceData(Diagram* diagram, const CapDatabase* list)
{
    if (diagram == nullptr || list == nullptr) return -1;
    Guard guard(diagram->Lock);
    DiagramCurve& curve = diagram->SpiceCurve;
    if (!DiagramCurveHasData(curve)) return -1;
    if (list->Count <= 0) {
        curve.bValid = 0;
        return -1;
    }
    for (int i = 0; i < curve.PointCount; ++i) {
        const float f = SweepFrequencyLocked(diagram, i, curve.PointCount);
        const float w = 6.2831855f * f;
        DComplex y = Complex(0.0, 0.0);
        for (int b = 0; b < list->Count; ++b) {
            const CapRecord& c = list->Caps[b];
            y = Cadd(y, Cdiv(Complex(1.0, 0.0), Complex(c.ESR, c.ESL * w - 1.0f / (c.Capacitance * w))));
        }
        const DComplex z = Cdiv(Complex(1.0, 0.0), y);
        curve.pX[i] = f;
        curve.pY[i] = static_cast<float>(z.r);
        curve.pZ[i] = static_cast<float>(z.i);
    }
    curve.bValid = 1;
    return 0;
}

int ShowDiagramCapacitor(Diagram* diagram, Part* part, int force)
{
    if (diagram == nullptr) return 0;
    {
        Guard guard(diagram->Lock);
        if (part == diagram->pCapPart && force != 1) return 0;
        diagram->pCapPart = part;
        if (part == nullptr) {
            diagram->CapCurve.bValid = 0;
            return 1;
        }
    }
    if (InitDiagramCapData(diagram, "Cap", kDiagramCapPoints) != 0 || DrawCapacitorData(diagram) != 0) {
        Guard guard(diagram->Lock);
        diagram->CapCurve.bValid = 0;
    }
    return 1;
}

int ShowDiagramSpiceCircuit(Diagram* diagram, const CapDatabase* list, int force)
{
    if (diagram == nullptr || force != 1) return 0;
    if (list == nullptr) {
        Guard guard(diagram->Lock);
        diagram->SpiceCurve.bValid = 0;
        return 1;
    }
    if (InitDiagramCreateSpiceData(diagram, "SPICE", kDiagramCapPoints) != 0) return 1;
    DrawCreateSpiceData(diagram, list);
    return 1;
}

}  // namespace korvex
