#include "board/voltage_noise_param.h"

#include <cstddef>

namespace korvex {

static_assert(offsetof(VoltageNoiseTimeParam, Colour) == 32);
static_assert(offsetof(VoltageNoiseTimeParam, nHarmonics) == 56);
static_assert(offsetof(VoltageNoiseTimeParam, Source) == 80);
static_assert(offsetof(VoltageNoiseTimeParam, LogX) == 108);
static_assert(offsetof(VoltageNoiseTimeParam, MaxZ) == 124);

VoltageNoiseTimeParam gVoltageNoiseTimeParam;

}  // namespace korvex
