#include "diagram/diagram_csv.h"

#include <algorithm>
#include <charconv>
#include <mutex>
#include <vector>

#include "util/atomic_file.h"

namespace korvex {

namespace {

// Shortest text that reads back as the same float, independent of the locale.
void AppendNumber(std::string& out, float value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

}  // namespace

std::string DiagramCurvesCsv(const Diagram* diagram, DiagramCurveSet set, const char* xName)
{
    if (diagram == nullptr) return {};
    std::lock_guard<std::mutex> guard(diagram->Lock);
    const DiagramCurve* curves = set == kDiagramReferenceCurves ? diagram->RefCurve : diagram->Curve;
    const int count = set == kDiagramReferenceCurves ? kDiagramRefCurves : kDiagramCurves;
    std::vector<const DiagramCurve*> used;
    int rows = 0;
    for (int i = 0; i < count; ++i)
        if (DiagramCurveHasData(curves[i])) {
            used.push_back(&curves[i]);
            rows = std::max(rows, curves[i].PointCount);
        }
    if (used.empty()) return {};
    std::string out = xName != nullptr ? xName : "frequency";
    for (const DiagramCurve* c : used) {
        out += ',';
        out += c->szName;
        out += ".re,";
        out += c->szName;
        out += ".im";
    }
    out += '\n';
    for (int k = 0; k < rows; ++k) {
        for (const DiagramCurve* c : used)
            if (k < c->PointCount) {
                AppendNumber(out, c->pX[k]);
                break;
            }
        for (const DiagramCurve* c : used) {
            out += ',';
            if (k < c->PointCount) AppendNumber(out, c->pY[k]);
            out += ',';
            if (k < c->PointCount) AppendNumber(out, c->pZ[k]);
        }
        out += '\n';
    }
    return out;
}

int SaveDiagramCurvesCsv(const Diagram* diagram, DiagramCurveSet set, const char* path, std::string* error,
                         const char* xName)
{
    if (path == nullptr) return -1;
    const std::string text = DiagramCurvesCsv(diagram, set, xName);
    if (text.empty()) {
        if (error != nullptr) *error = "the diagram holds no curve to write";
        return -1;
    }
    return korvex::WriteFileAtomically(path, text.data(), text.size(), error) ? 0 : -1;
}

}  // namespace korvex
