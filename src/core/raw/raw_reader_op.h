#pragma once
// Readers of operating-point results (DC electrical and thermal netlists):
// node voltages, copper branch currents and via segment currents, or node,
// junction and heat-sink temperatures.
#include <string>

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

// Mapping of an already checked file into the mesh and the part records.
void MapElectricalResults(const RawFile& raw, SimMatrix* board, Mesh* mesh);
void MapThermalResults(const RawFile& raw, SimMatrix* board, Mesh* mesh);

}  // namespace korvex
