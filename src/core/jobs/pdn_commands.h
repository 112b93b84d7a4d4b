#pragma once
// Headless commands of the power-distribution tools: the simulator run a tool
// needs (the Zin sweep of the ports, the sweep on the noise tool's harmonic
// grid, the capacitor S-parameter run) followed by the tool's computation.
// The desktop's dialogs and korvex-cli both call them; each runs on the
// calling thread (wrap it in RunExclusive or a JobRunner). Arguments are
// checked before the simulator runs, so a refused command costs nothing and
// changes nothing. The sweep's results are swapped in before the tool
// computes, so these write the diagram (under its lock), the capacitor lists
// and the board's parts from the thread they run on; a cancel request
// (env.Cancel) stops the simulator and the optimiser and fit loops before any
// part is placed or branch value replaced.
#include <cstdint>
#include <string>
#include <vector>

#include "board/part_records.h"
#include "jobs/simulation_job.h"

namespace korvex {

struct CapDatabase;
struct OptiCapParam;
struct VoltageNoiseTimeParam;

// Name of the capacitor catalogue file in the work folder.
constexpr char kCapCatalogueFileName[] = "CapStd.csv";

// The catalogue the optimiser picks from: folder/CapStd.csv when that file
// exists, else the built-in table (nothing is written). 1 when the file was
// read, 0 for the built-in table, -1 with the reason when the file exists but
// cannot be read (*catalogue unchanged then).
int LoadWorkFolderCatalogue(const std::string& folder, CapDatabase* catalogue, std::string* reason);

// "Simulate Zin of Ports" with env's AC settings; *slot becomes the diagram
// slot of port `portId`'s curve. Refused before the run when the board has no
// such port; fails when the run left no curve for it.
JobOutcome CommandSimulatePortZin(const JobEnvironment& env, uint32_t portId, int* slot);

struct OptimizeCapsResult {
    int ZinSlot = -1;     // the port's Zin curve
    int ResultSlot = -1;  // "OptiCap": |Z| of the port with the placed capacitors
    std::vector<Cap> Placed;  // the capacitors added to the board, in the order chosen
    // Largest |Z| of the result up to the target frequency and where it first occurs.
    float MaxImpedance = 0;
    float MaxImpedanceFrequency = 0;
};

// The Zin sweep of the target port, then OptimizeCaps over the catalogue:
// the chosen capacitors become parts on the port. Refusals (bad parameters, no
// port) come before the run; OptimizeCaps' own refusal text is the reason.
JobOutcome CommandOptimizeCaps(const JobEnvironment& env, const OptiCapParam& param, const CapDatabase& catalogue,
                               OptimizeCapsResult* result);

struct FitSpiceResult {
    int ZinSlot = -1;  // port 0's Zin curve; the fitted curve is in the slot after it
    int Points = 0;
    // Sum of squared log10 |Z| differences of the list before and after the fit.
    float ErrorBefore = 0;
    float ErrorAfter = 0;
};

// The Zin sweep of port 0, then OptimizeSpiceCircuit: the branch values of
// `list` are replaced by the fitted ones. Refused before the run for an empty
// list or one of more than 100 branches, a sensitivity other than 0 .. 2 or
// a board without port 0.
JobOutcome CommandFitSpiceCircuit(const JobEnvironment& env, CapDatabase* list, uint32_t sensitivity,
                                  FitSpiceResult* result);

// The noise tool's "Simulate": the sweep on the harmonic grid of `param`
// (written into env's AC settings), run as Zin of ports (Source 0) or as the
// current injected noise transfer from port `drivePort` (Source 1); then the
// time diagram is set up and both time curves computed from env's diagram.
// Fails with the reason when the selected curve gives no response.
JobOutcome CommandVoltageNoiseTime(const JobEnvironment& env, VoltageNoiseTimeParam* param, uint32_t drivePort,
                                   Diagram* timeDiagram);

// One mode-9092 run: the S-parameters between port `portId` and the position
// of capacitor `capRef` into env.SParameters (SelectedPort and SelectedCap
// set). Refused before the run without that port or capacitor.
JobOutcome CommandSimulateSCapacitor(const JobEnvironment& env, uint32_t portId, uint32_t capRef);

// After that run: env's diagram reset for the result and "Z11c" computed for
// the capacitor's values (as often as wanted). 0, or -1 without a run.
int DrawSimulateSCapacitor(const JobEnvironment& env, const Cap& capacitor);

}  // namespace korvex
