#include "raw/raw_reader_ac.h"

#include <cctype>
#include <cmath>
#include <mutex>

#include "board/settings.h"
#include "board/sim_matrix.h"
#include "diagram/diagram.h"
#include "diagram/diagram_axes.h"
#include "mesh/circuit_node_names.h"
#include "mesh/mesh_model.h"
#include "mesh/mesh_results.h"
#include "pdn/simulate_s_capacitor.h"
#include "util/debug_log.h"

namespace korvex {

namespace {
constexpr uint32_t kCapacitorSParameterMode = 9092;

// Variables that carry values: the listed ones, at most as many as announced.
size_t UsableVariables(const RawFile& raw)
{
    return std::min<size_t>(raw.Variables.size(), raw.DeclaredVariables);
}

MeshNode* NodeOf(const Mesh* mesh, uint64_t id)
{
    return id > UINT32_MAX ? nullptr : IDToAddress(mesh, static_cast<uint32_t>(id));
}

int LoadChecked(const char* path, RawFile* raw, std::string* error)
{
    if (LoadRawFile(path, raw, true, error) != 0) return -1;
    return CheckAcFile(*raw, error);
}

double Magnitude(double re, double im)
{
    return std::sqrt(re * re + im * im);
}
}  // namespace

int CheckAcFile(const RawFile& raw, std::string* error)
{
    auto fail = [error](std::string reason) {
        if (error) *error = std::move(reason);
        return -1;
    };
    if (!raw.HasCounts) return fail("result file has no variable and point counts");
    for (size_t v = 0; v < raw.Variables.size(); ++v) {
        if (StartsWithNoCase(raw.Variables[v].Name, "frequency") && v != 0) {
            printDebug("frequency not at first\r\n");
            return fail("\"frequency\" is not the first variable of the result file");
        }
    }
    if (raw.Variables.empty() || !StartsWithNoCase(raw.Variables[0].Name, "frequency"))
        return fail("the result file holds no frequency sweep");
    // Without a declared variable no value would be checked below, yet the mappers size their
    // curves by the declared points.
    if (raw.DeclaredVariables == 0) return fail("result file declares no variables");
    const unsigned __int128 need = static_cast<unsigned __int128>(raw.DeclaredVariables) * raw.DeclaredPoints * 16;
    if (need > raw.BinaryBytes()) {
        printDebug("RAW data too short\r\n");
        return fail("result file is truncated: " + std::to_string(raw.BinaryBytes()) + " bytes of values for " +
                    std::to_string(raw.DeclaredVariables) + " variables at " + std::to_string(raw.DeclaredPoints) +
                    " points");
    }
    return 0;
}

void MapZinCurves(const RawFile& raw, Diagram* diagram, const Settings* ac)
{
    KillDiagram(diagram);
    InitDiagram(diagram, nullptr);
    {
        std::lock_guard<std::mutex> lock(diagram->Lock);
        diagram->fMinX = static_cast<float>(ac->StartFrequency);
        diagram->fMaxX = static_cast<float>(ac->StopFrequency);
        diagram->fGridX = (diagram->fMaxX - diagram->fMinX) / 10;
        diagram->YAxis = ac->YAxisMode;
        diagram->bLogX = ac->LogFrequencyAxis;
        diagram->fMaxY = 0.1f;
        diagram->fMinY = 0.01f;
        diagram->fGridY = 0.05f;
    }
    const size_t variables = raw.DeclaredVariables;
    const unsigned points = raw.DeclaredPoints;
    bool firstMagnitude = true;
    float minY = 0, maxY = 0;
    for (size_t v = 1; v < UsableVariables(raw); ++v) {
        const std::string name(raw.Variables[v].Name);
        printDebug("Found Variable %s\r\n", name.c_str());
        const int curve = static_cast<int>(v) - 1;
        if (InitDiagramData(diagram, name.c_str(), curve, static_cast<int>(points)) != 0) continue;
        for (unsigned p = 0; p < points; ++p) {
            double f = 0, unused = 0, re = 0, im = 0;
            raw.ComplexValue(p, 0, variables, &f, &unused);
            raw.ComplexValue(p, v, variables, &re, &im);
            SetDataPoint(diagram, curve, static_cast<int>(p), static_cast<float>(f), static_cast<float>(re),
                         static_cast<float>(im));
            const float mag = static_cast<float>(Magnitude(re, im));
            if (firstMagnitude) {
                minY = maxY = mag;
                firstMagnitude = false;
            } else {
                minY = std::min(minY, mag);
                maxY = std::max(maxY, mag);
            }
        }
        std::lock_guard<std::mutex> lock(diagram->Lock);
        diagram->fMaxY = RoundUpToOneSignificantDigit(maxY);
        diagram->fMinY = ac->YAxisMode == kYAxisLinear ? 0.0f : minY;
        diagram->fGridY = diagram->fMaxY / 10;
    }
}

void MapCapacitorSParameters(const RawFile& raw, SimulateSCapacitorData* sparams)
{
    const unsigned points = raw.DeclaredPoints;
    AllocSimulateSCapacitor(sparams, static_cast<int>(points));
    for (size_t v = 1; v < UsableVariables(raw); ++v) {
        const std::string_view name = raw.Variables[v].Name;
        std::vector<DComplex>* target = StartsWithNoCase(name, "S11")   ? &sparams->S11
                                        : StartsWithNoCase(name, "S21") ? &sparams->S21
                                        : StartsWithNoCase(name, "S12") ? &sparams->S12
                                        : StartsWithNoCase(name, "S22") ? &sparams->S22
                                                                        : nullptr;
        if (target == nullptr) continue;
        for (unsigned p = 0; p < points; ++p) {
            double f = 0, unused = 0, re = 0, im = 0;
            raw.ComplexValue(p, 0, raw.DeclaredVariables, &f, &unused);
            raw.ComplexValue(p, v, raw.DeclaredVariables, &re, &im);
            sparams->Frequency[p] = f;
            (*target)[p] = Complex(re, im);
        }
    }
}

void MapZDistribution(const RawFile& raw, Mesh* mesh)
{
    for (size_t v = 1; v < UsableVariables(raw); ++v) {
        unsigned layer = 0;
        uint64_t id = 0;
        size_t end = 0;
        const std::string_view name = raw.Variables[v].Name;
        const bool ok = ParseAcNode(name, kAcNodeZinPrefix, &layer, &id, &end) && end < name.size() && name[end] == ')';
        for (unsigned p = 0; p < raw.DeclaredPoints; ++p) {
            double re = 0, im = 0;
            raw.ComplexValue(p, v, raw.DeclaredVariables, &re, &im);
            if (ok)
                SetNodeZin(mesh, NodeOf(mesh, id), static_cast<int>(layer), static_cast<float>(Magnitude(re, im)));
            else
                printDebug("Error in RawToMeshZDistribution\r\n");
        }
    }
}

void MapAcCurrentDensity(const RawFile& raw, const SimMatrix* board, Mesh* mesh)
{
    for (size_t v = 1; v < UsableVariables(raw); ++v) {
        unsigned layer = 0;
        uint64_t id = 0;
        size_t end = 0;
        const std::string_view name = raw.Variables[v].Name;
        bool ok = ParseAcNode(name, kAcBranchCurrentPrefix, &layer, &id, &end);
        unsigned direction = 0;
        if (ok && end + 3 < name.size() + 0 && name[end] == '_' &&
            LowerAscii(name[end + 1]) == 'p' &&
            std::isdigit(static_cast<unsigned char>(name[end + 2])) && name[end + 3] == ')')
            direction = static_cast<unsigned>(name[end + 2] - '0');
        else
            ok = false;
        // On a 2-layer board the branch resistors carry the name of layer 1
        // but describe the one signal layer 0.
        const int storedLayer = board->LayerCount == 4 ? static_cast<int>(layer) : 0;
        for (unsigned p = 0; p < raw.DeclaredPoints; ++p) {
            double re = 0, im = 0;
            raw.ComplexValue(p, v, raw.DeclaredVariables, &re, &im);
            const double value = re < 0 ? -Magnitude(re, im) : Magnitude(re, im);
            if (ok)
                SetCurrent(mesh, NodeOf(mesh, id), static_cast<int>(direction), storedLayer, value);
            else
                printDebug("Error in RawToMeshCurrentDensity\r\n");
        }
    }
}

void MapVoltageNoise(const RawFile& raw, Mesh* mesh)
{
    for (size_t v = 1; v < UsableVariables(raw); ++v) {
        unsigned layer = 0;
        uint64_t id = 0;
        size_t end = 0;
        const std::string_view name = raw.Variables[v].Name;
        const bool ok = ParseAcNode(name, kAcNodeVoltagePrefix, &layer, &id, &end) && end < name.size() && name[end] == ')';
        for (unsigned p = 0; p < raw.DeclaredPoints; ++p) {
            double re = 0, im = 0;
            raw.ComplexValue(p, v, raw.DeclaredVariables, &re, &im);
            if (ok)
                SetVoltage(mesh, NodeOf(mesh, id), static_cast<int>(layer), Magnitude(re, im));
            else
                printDebug("Error in RawToMeshVoltageNoise\r\n");
        }
    }
}

int RawToMeshZin(SimMatrix*, Mesh*, Diagram* diagram, const Settings* ac, const char* path, uint32_t mode,
                 SimulateSCapacitorData* sparams, std::string* error)
{
    RawFile raw;
    if (LoadChecked(path, &raw, error) != 0) return -1;
    if (mode == kCapacitorSParameterMode)
        MapCapacitorSParameters(raw, sparams);
    else
        MapZinCurves(raw, diagram, ac);
    return 0;
}

int RawToMeshZDistribution(SimMatrix*, Mesh* mesh, Diagram*, const Settings*, const char* path, std::string* error)
{
    RawFile raw;
    if (LoadChecked(path, &raw, error) != 0) return -1;
    MapZDistribution(raw, mesh);
    return 0;
}

int RawToMeshCurrentDensity(SimMatrix* board, Mesh* mesh, Diagram*, const Settings*, const char* path,
                            std::string* error)
{
    RawFile raw;
    if (LoadChecked(path, &raw, error) != 0) return -1;
    MapAcCurrentDensity(raw, board, mesh);
    return 0;
}

int RawToMeshVoltageNoise(SimMatrix*, Mesh* mesh, Diagram*, const Settings*, const char* path, std::string* error)
{
    RawFile raw;
    if (LoadChecked(path, &raw, error) != 0) return -1;
    MapVoltageNoise(raw, mesh);
    return 0;
}

}  // namespace korvex
