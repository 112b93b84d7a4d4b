#include "diagram/diagram_csv.h"

#include <algorithm>
#include <charconv>
#include <cstring>
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

bool StartsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

}  // namespace

std::string DiagramCurveUnit(const char* name)
{
    for (const char* impedance : {"Zin(", "Z11c", "OptiCap", "OptiSpiceCircuit"})
        if (StartsWith(name, impedance)) return "ohm";
    if (StartsWith(name, "V(") || StartsWith(name, "Voltage")) return "V";
    if (StartsWith(name, "I(") || StartsWith(name, "Current") || std::strcmp(name, "Stimulus") == 0) return "A";
    return "";
}

bool DiagramCurveIsMagnitude(const char* name)
{
    return std::strcmp(name, "OptiCap") == 0 || std::strcmp(name, "OptiSpiceCircuit") == 0;
}

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
    out += out == "time" ? "_s" : "_Hz";
    for (const DiagramCurve* c : used) {
        const std::string unit = DiagramCurveUnit(c->szName);
        const std::string column = std::string(c->szName) + (unit.empty() ? "" : "_" + unit);
        out += DiagramCurveIsMagnitude(c->szName) ? "," + column + ".abs" : "," + column + ".re," + column + ".im";
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
            if (DiagramCurveIsMagnitude(c->szName)) continue;
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
