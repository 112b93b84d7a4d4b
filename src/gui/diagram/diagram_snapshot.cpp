#include "diagram/diagram_snapshot.h"

#include <algorithm>
#include <cstring>

namespace korvex::gui {
namespace {

void CopyCurve(const DiagramCurve& from, DiagramCurve& to)
{
    ClearDiagramCurve(to);
    to.bValid = from.bValid;
    std::memcpy(to.szName, from.szName, sizeof to.szName);
    to.szName[sizeof to.szName - 1] = 0;
    to.bSecondaryAxis = from.bSecondaryAxis;
    to.Style = from.Style;
    if (!DiagramCurveHasData(from)) return;
    const int n = from.PointCount;
    to.pX = new float[n], to.pY = new float[n], to.pZ = new float[n];
    std::copy_n(from.pX, n, to.pX);
    std::copy_n(from.pY, n, to.pY);
    std::copy_n(from.pZ, n, to.pZ);
    to.PointCount = n;
}

}  // namespace

void TakeDiagramSnapshot(const Diagram& source, Diagram* copy)
{
    std::lock_guard<std::mutex> lock(source.Lock);
    copy->fMinX = source.fMinX, copy->fMaxX = source.fMaxX;
    copy->fMinY = source.fMinY, copy->fMaxY = source.fMaxY;
    copy->fGridX = source.fGridX, copy->fGridY = source.fGridY;
    copy->YAxis = source.YAxis, copy->bLogX = source.bLogX;
    copy->FontHeight = source.FontHeight, copy->FontWidth = source.FontWidth, copy->Margin = source.Margin;
    copy->bSecondaryY = source.bSecondaryY;
    copy->fMinY2 = source.fMinY2, copy->fMaxY2 = source.fMaxY2, copy->fGridY2 = source.fGridY2;
    copy->pCapPart = source.pCapPart;
    for (int i = 0; i < kDiagramCurves; ++i) CopyCurve(source.Curve[i], copy->Curve[i]);
    for (int i = 0; i < kDiagramRefCurves; ++i) CopyCurve(source.RefCurve[i], copy->RefCurve[i]);
    CopyCurve(source.CapCurve, copy->CapCurve);
    CopyCurve(source.SpiceCurve, copy->SpiceCurve);
}

}  // namespace korvex::gui
