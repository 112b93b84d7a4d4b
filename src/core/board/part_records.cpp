#include "board/part_records.h"

namespace korvex {

static_assert(sizeof(Current) == 80);
static_assert(sizeof(Resistor) == 76);
static_assert(sizeof(Via) == 48);
static_assert(sizeof(HeatSource) == 104);
static_assert(sizeof(HeatSink) == 80);
static_assert(sizeof(Port) == 16);
static_assert(sizeof(Cap) == 28);
static_assert(sizeof(SubCircuit) == 10076);
static_assert(sizeof(SeriesSubCircuit) == 10088);

Via gVia;
Current gCurrent;
Resistor gResistor;
HeatSource gHeatSource;
HeatSink gHeatSink;
Port gPort;
Cap gCap;
SubCircuit gSubCircuit;
SeriesSubCircuit gSeriesSubCircuit;

uint32_t PartRecordSize(uint32_t kind)
{
    switch (kind) {
    case PART_CURRENT: return sizeof(Current);
    case PART_RESISTOR: return sizeof(Resistor);
    case PART_VIA: return sizeof(Via);
    case PART_HEATSOURCE: return sizeof(HeatSource);
    case PART_HEATSINK: return sizeof(HeatSink);
    case PART_PORT: return sizeof(Port);
    case PART_CAP: return sizeof(Cap);
    case PART_SUBCIRCUIT: return sizeof(SubCircuit);
    case PART_SERIESSUBCIRCUIT: return sizeof(SeriesSubCircuit);
    default: return 0;
    }
}

const char* PartKindName(uint32_t kind)
{
    switch (kind) {
    case PART_CURRENT: return "Current";
    case PART_RESISTOR: return "Resistor";
    case PART_VIA: return "Via";
    case PART_HEATSOURCE: return "HeatSource";
    case PART_HEATSINK: return "HeatSink";
    case PART_PORT: return "Port";
    case PART_CAP: return "Cap";
    case PART_SUBCIRCUIT: return "SubCircuit";
    case PART_SERIESSUBCIRCUIT: return "SeriesSubCircuit";
    default: return nullptr;
    }
}

}  // namespace korvex
