#pragma once
// Readers of AC results: curves over frequency into the diagram (or the
// capacitor S-parameter record), and single-frequency maps into the mesh
// nodes (impedance magnitude, branch currents, voltage noise).
#include <cstdint>
#include <string>

#include "raw/raw_file.h"

namespace korvex {

struct SimMatrix;
struct Mesh;
struct Diagram;
struct Settings;
struct SimulateSCapacitorData;

// Checks an AC file before anything is mapped: counts present, "frequency" the
// first variable, and Variables x Points complex values present. 0 or -1.
int CheckAcFile(const RawFile& raw, std::string* error);

// Swept analyses: one diagram curve per saved quantity (variable v -> curve
// v - 1; curves past the tenth are dropped), or, in the capacitor mode, the
// S-parameter arrays of `sparams` (the diagram stays as it was).
int RawToMeshZin(SimMatrix* board, Mesh* mesh, Diagram* diagram, const Settings* ac, const char* path,
                 uint32_t mode, SimulateSCapacitorData* sparams, std::string* error = nullptr);
int RawToMeshZDistribution(SimMatrix* board, Mesh* mesh, Diagram* diagram, const Settings* ac, const char* path,
                           std::string* error = nullptr);
int RawToMeshCurrentDensity(SimMatrix* board, Mesh* mesh, Diagram* diagram, const Settings* ac, const char* path,
                            std::string* error = nullptr);
int RawToMeshVoltageNoise(SimMatrix* board, Mesh* mesh, Diagram* diagram, const Settings* ac, const char* path,
                          std::string* error = nullptr);

// Mapping of an already checked file.
void MapZinCurves(const RawFile& raw, Diagram* diagram, const Settings* ac);
void MapCapacitorSParameters(const RawFile& raw, SimulateSCapacitorData* sparams);
void MapZDistribution(const RawFile& raw, Mesh* mesh);
void MapAcCurrentDensity(const RawFile& raw, const SimMatrix* board, Mesh* mesh);
void MapVoltageNoise(const RawFile& raw, Mesh* mesh);

}  // namespace korvex
