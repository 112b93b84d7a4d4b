#include "diagram/diagram.h"

#include <cstring>
#include <new>
#include <utility>

namespace korvex {

Diagram gDiagram;

namespace {

using Guard = std::lock_guard<std::mutex>;

bool CountInRange(int count)
{
    return count >= 1 && count <= kDiagramMaxPoints;
}

void ForgetArrays(DiagramCurve& curve)
{
    curve.bValid = 0;
    curve.PointCount = 0;
    curve.pX = curve.pY = curve.pZ = nullptr;
}

// Replaces the curve's arrays by `count` zeroed points under the given name.
// Zeroed rather than left undefined, so points a filler skips read as 0.
int AllocateCurve(DiagramCurve& curve, const char* name, int count)
{
    auto* x = new (std::nothrow) float[count]();
    auto* y = new (std::nothrow) float[count]();
    auto* z = new (std::nothrow) float[count]();
    if (x == nullptr || y == nullptr || z == nullptr) {
        delete[] x;
        delete[] y;
        delete[] z;
        return -1;
    }
    ClearDiagramCurve(curve);
    std::strncpy(curve.szName, name, kDiagramCurveNameSize - 1);
    curve.szName[kDiagramCurveNameSize - 1] = '\0';
    curve.PointCount = count;
    curve.pX = x;
    curve.pY = y;
    curve.pZ = z;
    curve.bValid = 1;
    curve.bSecondaryAxis = 0;
    curve.Style = 0;
    return 0;
}

bool PointInCurve(const DiagramCurve& curve, int index)
{
    return DiagramCurveHasData(curve) && index >= 0 && index < curve.PointCount;
}

int InitCurveChecked(Diagram* diagram, DiagramCurve* curve, const char* name, int count)
{
    if (diagram == nullptr || name == nullptr || !CountInRange(count)) return -1;
    Guard guard(diagram->Lock);
    return AllocateCurve(*curve, name, count);
}

}  // namespace

Diagram::~Diagram()
{
    KillDiagram(this);
    KillDiagramRef(this);
}

void ClearDiagramCurve(DiagramCurve& curve)
{
    delete[] curve.pX;
    delete[] curve.pY;
    delete[] curve.pZ;
    ForgetArrays(curve);
}

int DiagramCurveHasData(const DiagramCurve& curve)
{
    return curve.PointCount > 0 && curve.pX != nullptr && curve.pY != nullptr && curve.pZ != nullptr ? 1 : 0;
}

int InitDiagram(Diagram* diagram, DiagramWindow* window)
{
    if (diagram == nullptr) return -1;
    Guard guard(diagram->Lock);
    if (window != nullptr) diagram->hWnd = window;
    diagram->fMinX = 1e6f;
    diagram->fMaxX = 1e9f;
    diagram->fMinY = 0.01f;
    diagram->fMaxY = 1.0f;
    diagram->fGridX = 1e8f;
    diagram->fGridY = 0.1f;
    diagram->YAxis = kYAxisLinear;
    diagram->bLogX = 0;
    diagram->FontHeight = 18;
    diagram->FontWidth = 6;
    diagram->Margin = 3;
    // Callers normally run KillDiagram first; arrays still held are freed
    // rather than dropped (the record always starts with null arrays).
    for (auto& curve : diagram->Curve) ClearDiagramCurve(curve);
    ClearDiagramCurve(diagram->CapCurve);
    ClearDiagramCurve(diagram->SpiceCurve);
    return 0;
}

int InitDiagramRef(Diagram* diagram)
{
    if (diagram == nullptr) return -1;
    Guard guard(diagram->Lock);
    for (auto& curve : diagram->RefCurve) ClearDiagramCurve(curve);
    return 0;
}

int InitDiagramData(Diagram* diagram, const char* name, int curve, int count)
{
    if (diagram == nullptr || curve < 0 || curve >= kDiagramCurves) return -1;
    return InitCurveChecked(diagram, &diagram->Curve[curve], name, count);
}

int InitDiagramDataRef(Diagram* diagram, const char* name, int curve, int count)
{
    if (diagram == nullptr || curve < 0 || curve >= kDiagramRefCurves) return -1;
    return InitCurveChecked(diagram, &diagram->RefCurve[curve], name, count);
}

int InitDiagramCapData(Diagram* diagram, const char* name, int count)
{
    if (diagram == nullptr) return -1;
    return InitCurveChecked(diagram, &diagram->CapCurve, name, count);
}

int InitDiagramCreateSpiceData(Diagram* diagram, const char* name, int count)
{
    if (diagram == nullptr) return -1;
    return InitCurveChecked(diagram, &diagram->SpiceCurve, name, count);
}

int SetDataPoint(Diagram* diagram, int curve, int index, float x, float y, float z)
{
    if (diagram == nullptr || curve < 0 || curve >= kDiagramCurves) return -1;
    Guard guard(diagram->Lock);
    DiagramCurve& c = diagram->Curve[curve];
    if (!PointInCurve(c, index)) return -1;
    c.pX[index] = x;
    c.pY[index] = y;
    c.pZ[index] = z;
    return 0;
}

int SetDataPointRef(Diagram* diagram, int curve, int index, float x, float y, float z)
{
    if (diagram == nullptr || curve < 0 || curve >= kDiagramRefCurves) return -1;
    Guard guard(diagram->Lock);
    DiagramCurve& c = diagram->RefCurve[curve];
    if (!PointInCurve(c, index)) return -1;
    c.pX[index] = x;
    c.pY[index] = y;
    c.pZ[index] = z;
    return 0;
}

int SetDataPointAdd(Diagram* diagram, int curve, int index, float x, float y, float z)
{
    if (diagram == nullptr || curve < 0 || curve >= kDiagramCurves) return -1;
    Guard guard(diagram->Lock);
    DiagramCurve& c = diagram->Curve[curve];
    if (!PointInCurve(c, index)) return -1;
    c.pX[index] = x;
    c.pY[index] += y;
    c.pZ[index] += z;
    return 0;
}

int GetDataPoint(const Diagram* diagram, int curve, int index, float* x, float* y, float* z)
{
    if (diagram == nullptr || curve < 0 || curve >= kDiagramCurves) return -1;
    Guard guard(diagram->Lock);
    const DiagramCurve& c = diagram->Curve[curve];
    if (!PointInCurve(c, index)) return -1;
    if (x != nullptr) *x = c.pX[index];
    if (y != nullptr) *y = c.pY[index];
    if (z != nullptr) *z = c.pZ[index];
    return 0;
}

int KillDiagram(Diagram* diagram)
{
    if (diagram == nullptr) return -1;
    Guard guard(diagram->Lock);
    for (auto& curve : diagram->Curve) ClearDiagramCurve(curve);
    ClearDiagramCurve(diagram->CapCurve);
    ClearDiagramCurve(diagram->SpiceCurve);
    return 0;
}

int KillDiagramRef(Diagram* diagram)
{
    if (diagram == nullptr) return -1;
    Guard guard(diagram->Lock);
    for (auto& curve : diagram->RefCurve) ClearDiagramCurve(curve);
    return 0;
}

int UpdateDiagram(Diagram* diagram)
{
    if (diagram == nullptr) return -1;
    if (diagram->hWnd != nullptr) diagram->hWnd->DiagramChanged(*diagram);
    return 0;
}

namespace {
int CopyCurve(const DiagramCurve& from, DiagramCurve& to)
{
    if (!DiagramCurveHasData(from)) {
        ClearDiagramCurve(to);
        std::memcpy(to.szName, from.szName, kDiagramCurveNameSize);
        to.bValid = from.bValid;
        to.bSecondaryAxis = from.bSecondaryAxis;
        to.Style = from.Style;
        return 0;
    }
    if (AllocateCurve(to, from.szName, from.PointCount) != 0) return -1;
    std::memcpy(to.pX, from.pX, sizeof(float) * static_cast<size_t>(from.PointCount));
    std::memcpy(to.pY, from.pY, sizeof(float) * static_cast<size_t>(from.PointCount));
    std::memcpy(to.pZ, from.pZ, sizeof(float) * static_cast<size_t>(from.PointCount));
    to.bValid = from.bValid;
    to.bSecondaryAxis = from.bSecondaryAxis;
    to.Style = from.Style;
    return 0;
}

// The axis settings that InitDiagram sets and the readers change.
void CopyAxes(const Diagram& from, Diagram& to)
{
    to.fMinX = from.fMinX;
    to.fMaxX = from.fMaxX;
    to.fMinY = from.fMinY;
    to.fMaxY = from.fMaxY;
    to.fGridX = from.fGridX;
    to.fGridY = from.fGridY;
    to.YAxis = from.YAxis;
    to.bLogX = from.bLogX;
    to.FontHeight = from.FontHeight;
    to.FontWidth = from.FontWidth;
    to.Margin = from.Margin;
}
}  // namespace

int CopyDiagram(const Diagram* from, Diagram* to)
{
    if (from == nullptr || to == nullptr) return -1;
    if (from == to) return 0;
    std::scoped_lock guard(from->Lock, to->Lock);
    CopyAxes(*from, *to);
    to->fDecadeMinX = from->fDecadeMinX;
    to->fDecadeMaxX = from->fDecadeMaxX;
    to->fDecadesX = from->fDecadesX;
    to->fPixelPerDecadeX = from->fPixelPerDecadeX;
    to->fDecadeMinY = from->fDecadeMinY;
    to->fDecadeMaxY = from->fDecadeMaxY;
    to->fDecadesY = from->fDecadesY;
    to->fPixelPerDecadeY = from->fPixelPerDecadeY;
    to->rectDC = from->rectDC;
    to->rectPlot = from->rectPlot;
    to->pCapPart = from->pCapPart;
    to->bSecondaryY = from->bSecondaryY;
    to->fMinY2 = from->fMinY2;
    to->fMaxY2 = from->fMaxY2;
    to->fGridY2 = from->fGridY2;
    int status = 0;
    for (int i = 0; i < kDiagramCurves; ++i) status |= CopyCurve(from->Curve[i], to->Curve[i]);
    for (int i = 0; i < kDiagramRefCurves; ++i) status |= CopyCurve(from->RefCurve[i], to->RefCurve[i]);
    status |= CopyCurve(from->CapCurve, to->CapCurve);
    status |= CopyCurve(from->SpiceCurve, to->SpiceCurve);
    return status == 0 ? 0 : -1;
}

int TakeDiagramCurves(Diagram* to, Diagram* from)
{
    if (from == nullptr || to == nullptr) return -1;
    if (from == to) return 0;
    std::scoped_lock guard(from->Lock, to->Lock);
    CopyAxes(*from, *to);
    for (int i = 0; i < kDiagramCurves; ++i) std::swap(to->Curve[i], from->Curve[i]);
    std::swap(to->CapCurve, from->CapCurve);
    std::swap(to->SpiceCurve, from->SpiceCurve);
    return 0;
}

int FindDiagramCurve(const Diagram* diagram, const char* name)
{
    if (diagram == nullptr || name == nullptr) return -1;
    Guard guard(diagram->Lock);
    for (int i = 0; i < kDiagramCurves; ++i) {
        const DiagramCurve& c = diagram->Curve[i];
        if (DiagramCurveHasData(c) && std::strncmp(c.szName, name, kDiagramCurveNameSize) == 0) return i;
    }
    return -1;
}

}  // namespace korvex
