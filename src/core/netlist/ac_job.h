#pragma once
// One AC analysis: which analysis (the command number), which ports drive and
// terminate it, the dialogs' last selections and whom to tell when it ends.
// One static record per AC command lives for the whole run so that the
// dialogs remember the last choice.
#include <cstdint>

namespace korvex {

enum AcMode : uint32_t {
    AC_MODE_CURRENT_DENSITY_AT_F = 9087,   // "Simulate Current Density @f"
    AC_MODE_CURRENT_NOISE_TRANSFER = 9088,  // "Simulate Current Injected Noise Transfer"
    AC_MODE_NOISE_TRANSFER = 9089,          // "Simulate Noise Transfer"
    AC_MODE_VOLTAGE_NOISE_AT_F = 9090,      // "Simulate Voltage Noise @f"
    AC_MODE_CAPACITOR_SPARAMETERS = 9092,   // S-parameters from a port to a capacitor position
    AC_MODE_S21 = 9093,                     // "Simulate S21"
    AC_MODE_ZIN_OF_PORTS = 9094,            // "Simulate Zin of Ports"
    AC_MODE_Z_AT_F = 9095,                  // "Simulate Z @f"
};

struct AcJob {
    uint32_t Mode = 0;
    uint32_t SourcePort = 0;
    uint32_t TerminationPort = 0;  // in mode 9092 the Ref of the terminated capacitor
    uint32_t SourceIndex = 0;
    uint32_t TerminationIndex = 0;
    // Opaque front-end handles: the window told when a capacitor job (9092) ends,
    // and the one that started the job (null from the menu), told after 9094 and 9088.
    void* hPostWindow = nullptr;
    void* hNotifyWindow = nullptr;
    // S21 mode: the whole two-port, S11, S21, S12 and S22, is saved and kept as
    // S-parameter arrays besides the diagram curves (a Touchstone .s2p needs all four).
    bool FullTwoPort = false;
};

// The job records of the AC commands with their initial contents: one set for
// the program (the globals below) and one in each korvex::Project.
struct AcJobRecords {
    AcJob S21{AC_MODE_S21, 0, 1, 0, 1, nullptr, nullptr};
    AcJob NoiseTransfer{AC_MODE_NOISE_TRANSFER, 0, 1, 0, 1, nullptr, nullptr};
    AcJob CurrentNoiseTransfer{AC_MODE_CURRENT_NOISE_TRANSFER, 0, 1, 0, 1, nullptr, nullptr};
    AcJob CapacitorSParameters{AC_MODE_CAPACITOR_SPARAMETERS, 0, 1, 0xFFFFFFFFu, 0xFFFFFFFFu, nullptr, nullptr};
    AcJob WithoutDialog{};  // Mode set by 9094, 9095, 9087, 9090

    // The record a command uses (null for an unknown mode).
    AcJob* ForMode(uint32_t mode);
};

extern AcJobRecords gAcJobRecords;
extern AcJob& gAcJobS21;                     // 9093, 0, 1, 0, 1
extern AcJob& gAcJobNoiseTransfer;           // 9089, 0, 1, 0, 1
extern AcJob& gAcJobCurrentNoiseTransfer;    // 9088, 0, 1, 0, 1
extern AcJob& gAcJobCapacitorSParameters;    // 9092, 0, 1, no selection, no selection
extern AcJob& gAcJobWithoutDialog;           // all zero; Mode set by 9094, 9095, 9087, 9090

// 1 for the modes this record type knows, else 0.
int IsAcMode(uint32_t mode);
// 1 for the single-frequency modes (9095, 9087, 9090), 0 for the swept ones.
int IsSingleFrequencyAcMode(uint32_t mode);
// The program-wide record a command uses: gAcJobRecords.ForMode(mode).
AcJob* AcJobForMode(uint32_t mode);

}  // namespace korvex
