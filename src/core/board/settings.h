#pragma once
// Program-wide options. Stored field by field as the 368-byte "Settings.set".
#include <cstdint>

namespace korvex {

struct Settings {
    char LTspicePath[260] = "NoPathSelected";
    uint32_t ShowConsole = 1;
    uint32_t BatchMode = 1;
    uint32_t AsymmetricMesh = 1;
    uint32_t ProcessCopperHeating = 1;
    uint32_t ProcessViaHeating = 1;
    uint32_t ProcessHeatSourceHeating = 1;
    uint32_t MaxMeshOrder = 4;
    uint32_t CompressFiles = 1;
    // AC block: StartFrequency ... DiagramClickMode, handed as one unit to the
    // AC netlist writer and readers.
    double StartFrequency = 1e4;
    double StopFrequency = 1e9;
    uint32_t NumberOfPoints = 100;
    uint32_t Steps = 10;
    double ZinDistributionFrequency = 1e8;
    uint32_t YAxisMode = 1;
    uint32_t LogFrequencyAxis = 1;
    uint32_t ComputeStrayCapacitance = 1;
    uint32_t DiagramClickMode = 0;
    // View block.
    uint32_t LinkEditAndViewWindow = 1;
    uint32_t Reserved1 = 1;
    uint32_t AutoMinMax = 1;
    float MinValue = 0.0f;
    float MaxValue = 1.0f;
};

constexpr int kSettingsFileSize = 368;

extern Settings gSettings;

}  // namespace korvex
