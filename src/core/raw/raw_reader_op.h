#pragma once
// Readers of operating-point results (DC electrical and thermal netlists):
// node voltages, copper branch currents and via segment currents, or node,
// junction and heat-sink temperatures.
#include <cstdint>
#include <string>
#include <vector>

#include "raw/raw_file.h"

namespace korvex {

struct SimMatrix;
struct Mesh;

// Load, check and map in one go. 0, or -1 with the reason; a refused file maps nothing.
int RawToMeshElectrical(SimMatrix* board, Mesh* mesh, const char* path, std::string* error = nullptr);
int RawToMeshThermal(SimMatrix* board, Mesh* mesh, const char* path, std::string* error = nullptr);

// The checks every operating-point file must pass before anything is mapped:
// a non-empty variable list and one 8-byte value per listed variable.
int CheckOperatingPointFile(const RawFile& raw, std::string* error);

// A result that belongs to a part record rather than a mesh node: a via
// segment current (by part key and layer), or the temperature of the heat
// sources or heat sinks on a net.
struct PartResult {
    enum Kind { kViaCurrent, kHeatSourceTemperature, kHeatSinkTemperature };
    Kind What = kViaCurrent;
    uint64_t Key = 0;
    int Layer = 0;
    std::string Net;
    double Value = 0;
};

// Mapping of an already checked file into the mesh and the part records.
void MapElectricalResults(const RawFile& raw, SimMatrix* board, Mesh* mesh);
void MapThermalResults(const RawFile& raw, SimMatrix* board, Mesh* mesh);
// The same with the part results collected into *parts instead of written,
// so the board is only read; ApplyPartResults writes them later.
void MapElectricalResults(const RawFile& raw, Mesh* mesh, std::vector<PartResult>* parts);
void MapThermalResults(const RawFile& raw, Mesh* mesh, std::vector<PartResult>* parts);
// MapElectricalResults for the variables from `first` to `last` - 1 alone. Calls for ranges that
// do not overlap may run at the same time once every node of the mesh has its record
// (MakeEveryNodeResults): each variable then writes a result of its own, except in a file that
// names a variable twice, where either value may stay.
void MapElectricalResults(const RawFile& raw, Mesh* mesh, std::vector<PartResult>* parts, size_t first, size_t last);
void ApplyPartResults(SimMatrix* board, const std::vector<PartResult>& parts);

}  // namespace korvex
