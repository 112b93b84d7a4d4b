#pragma once
// Tuning of one capacitor model (series C, ESR, ESL): the step factors of the
// mouse wheel and of the fit, and scaling by resonance frequency or quality
// factor while the other stays fixed.
#include <cstdint>

namespace korvex {

// Which quantity a step scales.
enum CapQuantity : int {
    kCapCapacitance = 0,
    kCapESR = 1,
    kCapESL = 2,
    kCapResonance = 3,  // fRes, keeping Q and ESR
    kCapQuality = 4,    // Q, keeping fRes and ESR
};

struct WheelFactors {
    float Up = 1.1f;
    float Down = 0.90909094f;
};

struct FitSchedule {
    int Passes = 20;
    float Factor = 1.02f;
};

constexpr uint32_t kMaxSensitivity = 2;

// Step sizes " 1 %" (0), "10 %" (1), "25 %" (2); -1 for other values, which
// leave the output at the "10 %" defaults.
int GetWheelFactors(uint32_t sensitivity, WheelFactors* factors);
int GetFitSchedule(uint32_t sensitivity, FitSchedule* schedule);

// fRes = 1 / (2 pi sqrt(ESL C)); 0 when C or ESL is not positive.
double CapResonanceFrequency(double capacitance, double esl);
// Q = 2 pi fRes ESL / ESR; 0 when ESR is not positive.
double CapQualityFactor(double capacitance, double esr, double esl);

// Multiplies one quantity by `factor`. For resonance and quality the new
// C = 1 / (ESR 2 Q pi fRes) and ESL = ESR Q / (2 pi fRes). -1 (values
// unchanged) for an unknown quantity, or when fRes and Q cannot be formed
// because C, ESR or ESL is not positive.
int ScaleCapQuantity(float* capacitance, float* esr, float* esl, int quantity, double factor);

}  // namespace korvex
