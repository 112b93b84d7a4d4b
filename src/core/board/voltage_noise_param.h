#pragma once
// Parameters of the time-domain voltage noise tool: a trapezoidal load current
// (optionally with Gaussian edges and an added Gaussian pulse) expanded into
// harmonics. 128 bytes; stored in compressed projects after the "[VNTM]" tag.
#include <cstdint>

namespace korvex {

struct VoltageNoiseTimeParam {
    void* Window = nullptr;  // run-time only; written as zeros
    void* Area = nullptr;    // run-time only; written as zeros
    uint8_t Reserved0[16] = {};
    uint32_t Colour = 0x646464;
    float tr = 1e-8f;          // rise and fall time, s
    float Reserved1 = 1e-8f;   // not used
    float T = 1e-7f;           // period, s
    float TON = 5e-8f;         // on time, s
    float Amplitude = 1.0f;    // A
    int32_t nHarmonics = 100;
    int32_t Datapoints = 100;  // time points per period
    float Scroll = 0.0f;       // time offset of the display, s
    float ScaleX = 1.0f;       // time zoom, at least 1
    float DivY = 0.2f;         // current axis per division
    float DivYSec = 0.1f;      // voltage axis per division
    int32_t Source = 0;        // 0: a port's Zin, 1: a noise-transfer curve
    int32_t Spectrum = 1;      // 1: current spectrum, 0: voltage spectrum
    int32_t GaussOn = 1;
    float GaussTr = 2e-9f;
    float twidth = 1e-8f;
    float AmplitudeGauss = 0.0f;
    float t2 = 0.0f;
    int32_t LogX = 1;
    int32_t ZinCurve = 0;
    int32_t NoiseCurve = 0;
    float MinZ = 0.001f;
    float MaxZ = 10.0f;
};

static_assert(sizeof(VoltageNoiseTimeParam) == 128, "file record size");

constexpr int kVoltageNoiseTimeParamSize = 128;

extern VoltageNoiseTimeParam gVoltageNoiseTimeParam;

}  // namespace korvex
