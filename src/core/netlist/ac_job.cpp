#include "netlist/ac_job.h"

namespace korvex {

AcJobRecords gAcJobRecords;
AcJob& gAcJobS21 = gAcJobRecords.S21;
AcJob& gAcJobNoiseTransfer = gAcJobRecords.NoiseTransfer;
AcJob& gAcJobCurrentNoiseTransfer = gAcJobRecords.CurrentNoiseTransfer;
AcJob& gAcJobCapacitorSParameters = gAcJobRecords.CapacitorSParameters;
AcJob& gAcJobWithoutDialog = gAcJobRecords.WithoutDialog;

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

AcJob* AcJobRecords::ForMode(uint32_t mode)
{
    switch (mode) {
    case AC_MODE_S21: return &S21;
    case AC_MODE_NOISE_TRANSFER: return &NoiseTransfer;
    case AC_MODE_CURRENT_NOISE_TRANSFER: return &CurrentNoiseTransfer;
    case AC_MODE_CAPACITOR_SPARAMETERS: return &CapacitorSParameters;
    default: return IsAcMode(mode) ? &WithoutDialog : nullptr;
    }
}

AcJob* AcJobForMode(uint32_t mode)
{
    return gAcJobRecords.ForMode(mode);
}

}  // namespace korvex
