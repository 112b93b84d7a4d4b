#include "pdn/cap_tuning.h"

#include <cmath>

namespace korvex {

namespace {
constexpr double kPi = 3.141592653589793;
}

int GetWheelFactors(uint32_t sensitivity, WheelFactors* factors)
{
    static const WheelFactors kTable[] = {{1.01f, 0.990099f}, {1.1f, 0.90909094f}, {1.25f, 0.8f}};
    if (factors == nullptr) return -1;
    if (sensitivity > kMaxSensitivity) {
        *factors = kTable[1];
        return -1;
    }
    *factors = kTable[sensitivity];
    return 0;
}

int GetFitSchedule(uint32_t sensitivity, FitSchedule* schedule)
{
    static const FitSchedule kTable[] = {{5, 1.01f}, {20, 1.02f}, {30, 1.05f}};
    if (schedule == nullptr) return -1;
    if (sensitivity > kMaxSensitivity) {
        *schedule = kTable[1];
        return -1;
    }
    *schedule = kTable[sensitivity];
    return 0;
}

double CapResonanceFrequency(double capacitance, double esl)
{
    if (!(capacitance > 0) || !(esl > 0)) return 0;
    return 1.0 / (2.0 * kPi * std::sqrt(esl * capacitance));
}

double CapQualityFactor(double capacitance, double esr, double esl)
{
    if (!(esr > 0)) return 0;
    return 2.0 * kPi * CapResonanceFrequency(capacitance, esl) * esl / esr;
}

int ScaleCapQuantity(float* capacitance, float* esr, float* esl, int quantity, double factor)
{
    if (capacitance == nullptr || esr == nullptr || esl == nullptr) return -1;
    switch (quantity) {
    case kCapCapacitance: *capacitance = static_cast<float>(*capacitance * factor); return 0;
    case kCapESR: *esr = static_cast<float>(*esr * factor); return 0;
    case kCapESL: *esl = static_cast<float>(*esl * factor); return 0;
    case kCapResonance:
    case kCapQuality: break;
    default: return -1;
    }
    if (!(*capacitance > 0) || !(*esr > 0) || !(*esl > 0)) return -1;
    double fRes = CapResonanceFrequency(*capacitance, *esl);
    double q = CapQualityFactor(*capacitance, *esr, *esl);
    if (quantity == kCapResonance)
        fRes *= factor;
    else
        q *= factor;
    const double r = *esr;
    const double newC = 1.0 / (r * 2.0 * q * kPi * fRes);
    const double newL = r * q / (2.0 * kPi * fRes);
    if (!std::isfinite(newC) || !std::isfinite(newL) || !(newC > 0) || !(newL > 0)) return -1;
    *capacitance = static_cast<float>(newC);
    *esl = static_cast<float>(newL);
    return 0;
}

}  // namespace korvex
