#pragma once
// The nine kinds of placed parts and their fixed-size records. Field order and
// widths are those of the project file; the records are still written and read
// field by field (project_file.cpp), never as raw struct copies.
#include <cstdint>

namespace korvex {

enum PartKind : uint32_t {
    PART_CURRENT = 1,
    PART_RESISTOR = 4,
    PART_VIA = 6,
    PART_HEATSOURCE = 7,
    PART_HEATSINK = 8,
    PART_PORT = 9,
    PART_CAP = 10,
    PART_SUBCIRCUIT = 11,
    PART_SERIESSUBCIRCUIT = 12,
};

constexpr int kNetNameSize = 20;
constexpr int kSubCircuitNetlistSize = 10000;

struct Via {
    uint32_t x = 0, y = 0;
    float Diameter = 0.00025f;
    float CopperThickness = 3.5e-5f;
    float Current[8] = {};
};

struct Current {
    uint32_t Net1X = 0, Net1Y = 0, Net1Z = 0;
    uint32_t Net2X = 0, Net2Y = 0, Net2Z = 0;
    char Net1Name[kNetNameSize] = {};
    char Net2Name[kNetNameSize] = {};
    uint32_t Flags = 0;
    double Current = 1.0;
};

struct Resistor {
    uint32_t Net1X = 0, Net1Y = 0, Net1Z = 0;
    uint32_t Net2X = 0, Net2Y = 0, Net2Z = 0;
    char Net1Name[kNetNameSize] = {};
    char Net2Name[kNetNameSize] = {};
    float Rser = 1e-5f;
    float Lser = 0;
    float Cpar = 0;
};

struct HeatSource {
    uint32_t RectAX = 0, RectAY = 0, RectAZ = 0;
    uint32_t RectBX = 1, RectBY = 1, RectBZ = 0;
    double ThermalResistanceJA = 0;
    double Power = 1.0;
    double ThermalResistanceJC = 5.0;
    double ThermalConductivitySolder = 40.0;
    double ThicknessSolder = 1e-4;
    double SolderCoverage = 90.0;
    double Temperature = 0;
    char Net[kNetNameSize] = "IC100";
};

struct HeatSink {
    uint32_t RectAX = 0, RectAY = 0, RectAZ = 0;
    uint32_t RectBX = 1, RectBY = 1, RectBZ = 0;
    double ThermalResistance = 20.0;
    double ThermalConductivityIsolation = 0.46;
    double ThicknessIsolation = 3e-5;
    double Temperature = 0;
    char Net[kNetNameSize] = "Heatsink1";
};

struct Port {
    uint32_t x = 0, y = 0;
    uint32_t ID = 0;
    uint32_t Layer = 0;
};

struct Cap {
    uint32_t x = 0, y = 0;
    uint32_t Ref = 0;
    uint32_t Layer = 0;
    float Capacitance = 0.01f;
    float ESR = 1e-9f;
    float ESL = 0;
};

struct SubCircuit {
    uint32_t x = 0, y = 0;
    uint32_t Reference = 0;
    uint32_t Layer = 0;
    char Name[kNetNameSize] = "Sub1";
    char Port1[kNetNameSize] = "A";
    char Port2[kNetNameSize] = "B";
    char Netlist[kSubCircuitNetlistSize] = "R1 A B 1000";
};

struct SeriesSubCircuit {
    uint32_t Net1X = 0, Net1Y = 0, Net1Z = 0;
    uint32_t Net2X = 0, Net2Y = 0, Net2Z = 0;
    uint32_t Reference = 0;
    char Name[kNetNameSize] = "Sub1";
    char Port1[kNetNameSize] = "A";
    char Port2[kNetNameSize] = "B";
    char Netlist[kSubCircuitNetlistSize] = "R1 A B 1000";
};

// Byte size of a kind's record in memory and in the project file; 0 for a
// code that is not a part kind.
uint32_t PartRecordSize(uint32_t kind);
// "Via", "Current", ... for messages and the command line; null for unknown codes.
const char* PartKindName(uint32_t kind);

// Templates: the defaults of the next part of each kind. Part dialogs edit them.
extern Via gVia;
extern Current gCurrent;
extern Resistor gResistor;
extern HeatSource gHeatSource;
extern HeatSink gHeatSink;
extern Port gPort;
extern Cap gCap;
extern SubCircuit gSubCircuit;
extern SeriesSubCircuit gSeriesSubCircuit;

// Copies a C string into a fixed field, always NUL-terminated, cut to fit.
template <int N>
void CopyName(char (&field)[N], const char* text)
{
    int i = 0;
    for (; text != nullptr && text[i] != '\0' && i < N - 1; ++i) field[i] = text[i];
    for (; i < N; ++i) field[i] = '\0';
}

}  // namespace korvex
