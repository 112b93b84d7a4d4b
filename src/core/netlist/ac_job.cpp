#include "netlist/ac_job.h"

namespace korvex {

AcJob gAcJobS21{AC_MODE_S21, 0, 1, 0, 1, nullptr, nullptr};
AcJob gAcJobNoiseTransfer{AC_MODE_NOISE_TRANSFER, 0, 1, 0, 1, nullptr, nullptr};
AcJob gAcJobCurrentNoiseTransfer{AC_MODE_CURRENT_NOISE_TRANSFER, 0, 1, 0, 1, nullptr, nullptr};
AcJob gAcJobCapacitorSParameters{AC_MODE_CAPACITOR_SPARAMETERS, 0, 1, 0xFFFFFFFFu, 0xFFFFFFFFu, nullptr, nullptr};
AcJob gAcJobWithoutDialog{};

int IsAcMode(uint32_t mode)
{
    switch (mode) {
    case AC_MODE_CURRENT_DENSITY_AT_F:
    case AC_MODE_CURRENT_NOISE_TRANSFER:
    case AC_MODE_NOISE_TRANSFER:
    case AC_MODE_VOLTAGE_NOISE_AT_F:
    case AC_MODE_CAPACITOR_SPARAMETERS:
    case AC_MODE_S21:
    case AC_MODE_ZIN_OF_PORTS:
    case AC_MODE_Z_AT_F: return 1;
    default: return 0;
    }
}

int IsSingleFrequencyAcMode(uint32_t mode)
{
    return mode == AC_MODE_Z_AT_F || mode == AC_MODE_CURRENT_DENSITY_AT_F || mode == AC_MODE_VOLTAGE_NOISE_AT_F;
}

AcJob* AcJobForMode(uint32_t mode)
{
    switch (mode) {
    case AC_MODE_S21: return &gAcJobS21;
    case AC_MODE_NOISE_TRANSFER: return &gAcJobNoiseTransfer;
    case AC_MODE_CURRENT_NOISE_TRANSFER: return &gAcJobCurrentNoiseTransfer;
    case AC_MODE_CAPACITOR_SPARAMETERS: return &gAcJobCapacitorSParameters;
    default: return IsAcMode(mode) ? &gAcJobWithoutDialog : nullptr;
    }
}

}  // namespace korvex
