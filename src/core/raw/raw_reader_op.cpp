#include "raw/raw_reader_op.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "board/part_lookup.h"
#include "board/sim_matrix.h"
#include "mesh/circuit_node_names.h"
#include "mesh/mesh_model.h"
#include "mesh/mesh_results.h"
#include "util/debug_log.h"

namespace korvex {

namespace {

MeshNode* NodeOf(const Mesh* mesh, uint64_t id)
{
    return id > UINT32_MAX ? nullptr : IDToAddress(mesh, static_cast<uint32_t>(id));
}

// The text of a variable line from its opening parenthesis, at most 32 characters.
std::string Shown(std::string_view name)
{
    const size_t paren = name.find('(');
    return std::string(name.substr(paren == std::string::npos ? 0 : paren, 32));
}

// Text between a prefix and the closing parenthesis, at most 20 characters.
std::string NetAfter(std::string_view name, size_t prefixLength)
{
    const size_t close = name.find(')', prefixLength);
    const size_t end = close == std::string::npos ? name.size() : close;
    return std::string(name.substr(prefixLength, std::min<size_t>(end - prefixLength, 20)));
}
}  // namespace

int CheckOperatingPointFile(const RawFile& raw, std::string* error)
{
    if (raw.Variables.empty()) {
        if (error) *error = "result file lists no variables";
        return -1;
    }
    if (raw.HasCounts && raw.DeclaredVariables != raw.Variables.size()) {
        printDebug("Variable list does not match No. Variables\r\n");
        if (error)
            *error = "result file announces " + std::to_string(raw.DeclaredVariables) + " variables but lists " +
                     std::to_string(raw.Variables.size());
        return -1;
    }
    if (raw.HasCounts && raw.DeclaredPoints == 0) {
        if (error) *error = "result file declares no points";
        return -1;
    }
    // Every declared point must be there in full, not only the first one that is mapped.
    const uint64_t points = raw.HasCounts ? raw.DeclaredPoints : 1;
    if (raw.BinaryBytes() / 8 / raw.Variables.size() < points) {
        printDebug("RAW data too short\r\n");
        if (error)
            *error = "result file is truncated: " + std::to_string(raw.BinaryBytes()) + " bytes of values for " +
                     std::to_string(raw.Variables.size()) + " variables at " + std::to_string(points) + " points";
        return -1;
    }
    return 0;
}

void MapElectricalResults(const RawFile& raw, SimMatrix* board, Mesh* mesh)
{
    std::vector<PartResult> parts;
    MapElectricalResults(raw, mesh, &parts);
    ApplyPartResults(board, parts);
}

void MapThermalResults(const RawFile& raw, SimMatrix* board, Mesh* mesh)
{
    std::vector<PartResult> parts;
    MapThermalResults(raw, mesh, &parts);
    ApplyPartResults(board, parts);
}

void ApplyPartResults(SimMatrix* board, const std::vector<PartResult>& parts)
{
    for (const PartResult& r : parts) {
        switch (r.What) {
        case PartResult::kViaCurrent:
            if (SetViaCurrent(board, r.Key, r.Layer, r.Value) != 0) printDebug("ViaCurrent Error\r\n");
            break;
        case PartResult::kHeatSourceTemperature: HeatSourceSetTemperature(board, r.Net.c_str(), r.Value); break;
        case PartResult::kHeatSinkTemperature: HeatSinkSetTemperature(board, r.Net.c_str(), r.Value); break;
        }
    }
}

void MapElectricalResults(const RawFile& raw, Mesh* mesh, std::vector<PartResult>* parts)
{
    MapElectricalResults(raw, mesh, parts, 0, raw.Variables.size());
}

void MapElectricalResults(const RawFile& raw, Mesh* mesh, std::vector<PartResult>* parts, size_t first, size_t last)
{
    last = std::min(last, raw.Variables.size());
    for (size_t v = first; v < last; ++v) {
        const RawVariable& var = raw.Variables[v];
        const std::string_view name = var.Name;
        double value = 0;
        raw.RealValue(var.Index, &value);
        unsigned layer = 0, direction = 0;
        uint64_t id = 0;
        if (StartsWithNoCase(name, kDcNodeVoltagePrefix)) {
            if (ParseLayerId(name, kDcNodeVoltagePrefix.size(), &layer, &id, nullptr))
                SetVoltage(mesh, NodeOf(mesh, id), static_cast<int>(layer), value);
            continue;
        }
        // A voltage of a net that is not a mesh node (a net named on a part):
        // skipped, its value slot passed over, so later variables still map.
        if (!StartsWithNoCase(name, "i") || name.size() < 4) continue;
        const char kind = LowerAscii(name[3]);
        if (kind == 'c') {
            if (ParseLayerId(name, 4, &layer, &id, &direction))
                SetCurrent(mesh, NodeOf(mesh, id), static_cast<int>(direction), static_cast<int>(layer), value);
            else
                printDebug("Unknown Variable %s %f\r\n", Shown(name).c_str(), value);
        } else if (kind == 'v') {
            size_t pos = 4;
            uint64_t key = 0;
            if (ParseUnsigned(name, &pos, &key) && pos + 1 < name.size() && name[pos] == '_' &&
                std::isdigit(static_cast<unsigned char>(name[pos + 1]))) {
                parts->push_back({PartResult::kViaCurrent, key, name[pos + 1] - '0', {}, value});
            } else {
                printDebug("Unknown Variable %s %f\r\n", Shown(name).c_str(), value);
            }
        }
        // Currents of the parts' own resistors and sources carry no mesh result.
    }
}

void MapThermalResults(const RawFile& raw, Mesh* mesh, std::vector<PartResult>* parts)
{
    for (const RawVariable& var : raw.Variables) {
        const std::string_view name = var.Name;
        if (!StartsWithNoCase(name, "v(")) continue;  // currents: nothing to map
        double value = 0;
        raw.RealValue(var.Index, &value);
        unsigned layer = 0;
        uint64_t id = 0;
        if (StartsWithNoCase(name, "v(junction")) {
            parts->push_back({PartResult::kHeatSourceTemperature, 0, 0, NetAfter(name, 10), value});
        } else if (StartsWithNoCase(name, "v(heatsink")) {
            parts->push_back({PartResult::kHeatSinkTemperature, 0, 0, NetAfter(name, 10), value});
        } else if (StartsWithNoCase(name, kDcNodeVoltagePrefix) &&
                   ParseLayerId(name, kDcNodeVoltagePrefix.size(), &layer, &id, nullptr)) {
            SetTemperature(NodeOf(mesh, id), static_cast<int>(layer), value);
        }
    }
}

namespace {
int LoadChecked(const char* path, RawFile* raw, std::string* error)
{
    if (LoadRawFile(path, raw, false, error) != 0) return -1;
    return CheckOperatingPointFile(*raw, error);
}
}  // namespace

int RawToMeshElectrical(SimMatrix* board, Mesh* mesh, const char* path, std::string* error)
{
    RawFile raw;
    if (LoadChecked(path, &raw, error) != 0) return -1;
    MapElectricalResults(raw, board, mesh);
    return 0;
}

int RawToMeshThermal(SimMatrix* board, Mesh* mesh, const char* path, std::string* error)
{
    RawFile raw;
    if (LoadChecked(path, &raw, error) != 0) return -1;
    MapThermalResults(raw, board, mesh);
    return 0;
}

}  // namespace korvex
