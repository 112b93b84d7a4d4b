// The field tables of every fixed-size file record, in file order.
#include <cstddef>

#include "board/cap_list.h"
#include "board/part_records.h"
#include "board/record_layout.h"
#include "board/settings.h"
#include "board/sim_matrix.h"
#include "board/voltage_noise_param.h"

namespace korvex {

#define FIELD(Record, Field, Type, Count) {#Field, FieldType::Type, offsetof(Record, Field), Count}
#define PAD(Bytes) {"", FieldType::Padding, 0, Bytes}

namespace {

template <size_t N>
constexpr RecordLayout Layout(const char* name, uint32_t size, const FieldLayout (&fields)[N])
{
    return RecordLayout{name, size, fields, N};
}

const FieldLayout kHeader[] = {
    FIELD(SimMatrix, CountPixelX, U32, 1),
    FIELD(SimMatrix, CountPixelY, U32, 1),
    FIELD(SimMatrix, LayerCount, I32, 1),
    FIELD(SimMatrix, SizeX, F32, 1),
    FIELD(SimMatrix, SizeY, F32, 1),
    FIELD(SimMatrix, SizeZ, F32, 8),
    FIELD(SimMatrix, CopperThickness, F32, 8),
    FIELD(SimMatrix, Er, F32, 8),
    FIELD(SimMatrix, Df, F32, 8),
    FIELD(SimMatrix, ElectricalConductivity, F32, 1),
    FIELD(SimMatrix, TemperatureCoefficient, F32, 1),
    FIELD(SimMatrix, RdcX, F32, 8),
    FIELD(SimMatrix, RdcY, F32, 8),
    PAD(4),
    PAD(40),  // five raster pointer slots
    FIELD(SimMatrix, ThermalConductivityCopper, F32, 1),
    FIELD(SimMatrix, ThermalConductivityFR4XY, F32, 1),
    FIELD(SimMatrix, ThermalConductivityFR4Z, F32, 1),
    FIELD(SimMatrix, RthCopper, F32, 8),
    FIELD(SimMatrix, RthDielectric, F32, 8),
    FIELD(SimMatrix, RthLayer, F32, 8),
    FIELD(SimMatrix, Alpha, F32, 1),
    FIELD(SimMatrix, Epsilon, F32, 1),
    FIELD(SimMatrix, TAmbient, F32, 1),
    PAD(16),  // temperature and Zin raster slots
    PAD(8),   // part list slot
};

const FieldLayout kCurrent[] = {
    FIELD(Current, Net1X, U32, 1),        FIELD(Current, Net1Y, U32, 1),    FIELD(Current, Net1Z, U32, 1),
    FIELD(Current, Net2X, U32, 1),        FIELD(Current, Net2Y, U32, 1),    FIELD(Current, Net2Z, U32, 1),
    FIELD(Current, Net1Name, Text, 20),   FIELD(Current, Net2Name, Text, 20), FIELD(Current, Flags, U32, 1),
    PAD(4),                               FIELD(Current, Current, F64, 1),
};

const FieldLayout kResistor[] = {
    FIELD(Resistor, Net1X, U32, 1),      FIELD(Resistor, Net1Y, U32, 1),      FIELD(Resistor, Net1Z, U32, 1),
    FIELD(Resistor, Net2X, U32, 1),      FIELD(Resistor, Net2Y, U32, 1),      FIELD(Resistor, Net2Z, U32, 1),
    FIELD(Resistor, Net1Name, Text, 20), FIELD(Resistor, Net2Name, Text, 20), FIELD(Resistor, Rser, F32, 1),
    FIELD(Resistor, Lser, F32, 1),       FIELD(Resistor, Cpar, F32, 1),
};

const FieldLayout kVia[] = {
    FIELD(Via, x, U32, 1), FIELD(Via, y, U32, 1), FIELD(Via, Diameter, F32, 1),
    FIELD(Via, CopperThickness, F32, 1), FIELD(Via, Current, F32, 8),
};

const FieldLayout kHeatSource[] = {
    FIELD(HeatSource, RectAX, U32, 1),
    FIELD(HeatSource, RectAY, U32, 1),
    FIELD(HeatSource, RectAZ, U32, 1),
    FIELD(HeatSource, RectBX, U32, 1),
    FIELD(HeatSource, RectBY, U32, 1),
    FIELD(HeatSource, RectBZ, U32, 1),
    FIELD(HeatSource, ThermalResistanceJA, F64, 1),
    FIELD(HeatSource, Power, F64, 1),
    FIELD(HeatSource, ThermalResistanceJC, F64, 1),
    FIELD(HeatSource, ThermalConductivitySolder, F64, 1),
    FIELD(HeatSource, ThicknessSolder, F64, 1),
    FIELD(HeatSource, SolderCoverage, F64, 1),
    FIELD(HeatSource, Temperature, F64, 1),
    FIELD(HeatSource, Net, Text, 20),
    PAD(4),
};

const FieldLayout kHeatSink[] = {
    FIELD(HeatSink, RectAX, U32, 1),
    FIELD(HeatSink, RectAY, U32, 1),
    FIELD(HeatSink, RectAZ, U32, 1),
    FIELD(HeatSink, RectBX, U32, 1),
    FIELD(HeatSink, RectBY, U32, 1),
    FIELD(HeatSink, RectBZ, U32, 1),
    FIELD(HeatSink, ThermalResistance, F64, 1),
    FIELD(HeatSink, ThermalConductivityIsolation, F64, 1),
    FIELD(HeatSink, ThicknessIsolation, F64, 1),
    FIELD(HeatSink, Temperature, F64, 1),
    FIELD(HeatSink, Net, Text, 20),
    PAD(4),
};

const FieldLayout kPort[] = {
    FIELD(Port, x, U32, 1), FIELD(Port, y, U32, 1), FIELD(Port, ID, U32, 1), FIELD(Port, Layer, U32, 1),
};

const FieldLayout kCap[] = {
    FIELD(Cap, x, U32, 1),           FIELD(Cap, y, U32, 1),   FIELD(Cap, Ref, U32, 1), FIELD(Cap, Layer, U32, 1),
    FIELD(Cap, Capacitance, F32, 1), FIELD(Cap, ESR, F32, 1), FIELD(Cap, ESL, F32, 1),
};

const FieldLayout kSubCircuit[] = {
    FIELD(SubCircuit, x, U32, 1),         FIELD(SubCircuit, y, U32, 1),
    FIELD(SubCircuit, Reference, U32, 1), FIELD(SubCircuit, Layer, U32, 1),
    FIELD(SubCircuit, Name, Text, 20),    FIELD(SubCircuit, Port1, Text, 20),
    FIELD(SubCircuit, Port2, Text, 20),   FIELD(SubCircuit, Netlist, Text, kSubCircuitNetlistSize),
};

const FieldLayout kSeriesSubCircuit[] = {
    FIELD(SeriesSubCircuit, Net1X, U32, 1),        FIELD(SeriesSubCircuit, Net1Y, U32, 1),
    FIELD(SeriesSubCircuit, Net1Z, U32, 1),        FIELD(SeriesSubCircuit, Net2X, U32, 1),
    FIELD(SeriesSubCircuit, Net2Y, U32, 1),        FIELD(SeriesSubCircuit, Net2Z, U32, 1),
    FIELD(SeriesSubCircuit, Reference, U32, 1),    FIELD(SeriesSubCircuit, Name, Text, 20),
    FIELD(SeriesSubCircuit, Port1, Text, 20),      FIELD(SeriesSubCircuit, Port2, Text, 20),
    FIELD(SeriesSubCircuit, Netlist, Text, kSubCircuitNetlistSize),
};

const FieldLayout kCapRecord[] = {
    FIELD(CapRecord, Index, U32, 1), FIELD(CapRecord, Ref, U32, 1), FIELD(CapRecord, Capacitance, F32, 1),
    FIELD(CapRecord, ESR, F32, 1),   FIELD(CapRecord, ESL, F32, 1), FIELD(CapRecord, Reserved, U32, 1),
    PAD(8),  // run-time part pointer
};

const FieldLayout kVoltageNoise[] = {
    PAD(16),  // run-time window handles
    PAD(16),  // reserved
    FIELD(VoltageNoiseTimeParam, Colour, U32, 1),
    FIELD(VoltageNoiseTimeParam, tr, F32, 1),
    FIELD(VoltageNoiseTimeParam, Reserved1, F32, 1),
    FIELD(VoltageNoiseTimeParam, T, F32, 1),
    FIELD(VoltageNoiseTimeParam, TON, F32, 1),
    FIELD(VoltageNoiseTimeParam, Amplitude, F32, 1),
    FIELD(VoltageNoiseTimeParam, nHarmonics, I32, 1),
    FIELD(VoltageNoiseTimeParam, Datapoints, I32, 1),
    FIELD(VoltageNoiseTimeParam, Scroll, F32, 1),
    FIELD(VoltageNoiseTimeParam, ScaleX, F32, 1),
    FIELD(VoltageNoiseTimeParam, DivY, F32, 1),
    FIELD(VoltageNoiseTimeParam, DivYSec, F32, 1),
    FIELD(VoltageNoiseTimeParam, Source, I32, 1),
    FIELD(VoltageNoiseTimeParam, Spectrum, I32, 1),
    FIELD(VoltageNoiseTimeParam, GaussOn, I32, 1),
    FIELD(VoltageNoiseTimeParam, GaussTr, F32, 1),
    FIELD(VoltageNoiseTimeParam, twidth, F32, 1),
    FIELD(VoltageNoiseTimeParam, AmplitudeGauss, F32, 1),
    FIELD(VoltageNoiseTimeParam, t2, F32, 1),
    FIELD(VoltageNoiseTimeParam, LogX, I32, 1),
    FIELD(VoltageNoiseTimeParam, ZinCurve, I32, 1),
    FIELD(VoltageNoiseTimeParam, NoiseCurve, I32, 1),
    FIELD(VoltageNoiseTimeParam, MinZ, F32, 1),
    FIELD(VoltageNoiseTimeParam, MaxZ, F32, 1),
};

const FieldLayout kSettings[] = {
    FIELD(Settings, LTspicePath, Text, 260),
    FIELD(Settings, ShowConsole, U32, 1),
    FIELD(Settings, BatchMode, U32, 1),
    FIELD(Settings, AsymmetricMesh, U32, 1),
    FIELD(Settings, ProcessCopperHeating, U32, 1),
    FIELD(Settings, ProcessViaHeating, U32, 1),
    FIELD(Settings, ProcessHeatSourceHeating, U32, 1),
    FIELD(Settings, MaxMeshOrder, U32, 1),
    FIELD(Settings, CompressFiles, U32, 1),
    PAD(4),
    FIELD(Settings, StartFrequency, F64, 1),
    FIELD(Settings, StopFrequency, F64, 1),
    FIELD(Settings, NumberOfPoints, U32, 1),
    FIELD(Settings, Steps, U32, 1),
    FIELD(Settings, ZinDistributionFrequency, F64, 1),
    FIELD(Settings, YAxisMode, U32, 1),
    FIELD(Settings, LogFrequencyAxis, U32, 1),
    FIELD(Settings, ComputeStrayCapacitance, U32, 1),
    FIELD(Settings, DiagramClickMode, U32, 1),
    FIELD(Settings, LinkEditAndViewWindow, U32, 1),
    FIELD(Settings, Reserved1, U32, 1),
    FIELD(Settings, AutoMinMax, U32, 1),
    FIELD(Settings, MinValue, F32, 1),
    FIELD(Settings, MaxValue, F32, 1),
    PAD(4),
};

const RecordLayout kHeaderLayout = Layout("SimMatrix", 408, kHeader);
const RecordLayout kPartLayouts[] = {
    Layout("Current", 80, kCurrent),       Layout("Resistor", 76, kResistor),
    Layout("Via", 48, kVia),               Layout("HeatSource", 104, kHeatSource),
    Layout("HeatSink", 80, kHeatSink),     Layout("Port", 16, kPort),
    Layout("Cap", 28, kCap),               Layout("SubCircuit", 10076, kSubCircuit),
    Layout("SeriesSubCircuit", 10088, kSeriesSubCircuit),
};
const RecordLayout kCapRecordLayout = Layout("CapRecord", 32, kCapRecord);
const RecordLayout kVoltageNoiseLayout = Layout("VoltageNoiseTimeParam", 128, kVoltageNoise);
const RecordLayout kSettingsLayout = Layout("Settings", 368, kSettings);

}  // namespace

const RecordLayout& SimMatrixHeaderLayout()
{
    return kHeaderLayout;
}

const RecordLayout* PartRecordLayout(uint32_t kind)
{
    switch (kind) {
    case PART_CURRENT: return &kPartLayouts[0];
    case PART_RESISTOR: return &kPartLayouts[1];
    case PART_VIA: return &kPartLayouts[2];
    case PART_HEATSOURCE: return &kPartLayouts[3];
    case PART_HEATSINK: return &kPartLayouts[4];
    case PART_PORT: return &kPartLayouts[5];
    case PART_CAP: return &kPartLayouts[6];
    case PART_SUBCIRCUIT: return &kPartLayouts[7];
    case PART_SERIESSUBCIRCUIT: return &kPartLayouts[8];
    default: return nullptr;
    }
}

const RecordLayout& CapRecordLayout()
{
    return kCapRecordLayout;
}

const RecordLayout& VoltageNoiseTimeParamLayout()
{
    return kVoltageNoiseLayout;
}

const RecordLayout& SettingsLayout()
{
    return kSettingsLayout;
}

}  // namespace korvex
