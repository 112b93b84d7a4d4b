#pragma once
// Fitting an equivalent circuit to port 0's input impedance: parallel
// branches, each a series R-L-C (capacitor) or R-L (a "capacitor" of 100 F or
// more), whose values are tweaked one at a time by coordinate search on the
// log-magnitude error. The branches are the records of the equivalent-circuit
// list (gCapDatabaseCreateSpice); the fitted values go back into it.
#include <cstdint>
#include <string>
#include <vector>

#include "pdn/cap_database.h"
#include "pdn/pdn_message.h"
#include "util/cancel_token.h"
#include "pdn/port_zin_curve.h"

namespace korvex {

struct Diagram;
struct SimMatrix;

constexpr int kSpiceFitMaxBranches = 100;
// A branch whose capacitance is at least this stands for an inductor.
constexpr float kInductorCapacitance = 100.0f;
// Step budget of each tweak.
constexpr int kTweakBudget = 4;

// What OptimizeSpice_TweakValue changes (differs from the wheel's numbering).
enum TweakParameter : int {
    kTweakCapacitance = 0,
    kTweakESR = 1,
    kTweakESL = 2,
    kTweakQuality = 3,    // Q, keeping fRes and ESR
    kTweakResonance = 4,  // fRes, keeping Q and ESR
};

// Working state of one fit.
struct SpiceFit {
    int Count = 0;
    CapRecord Caps[kSpiceFitMaxBranches] = {};
    int n = 0;
    std::vector<float> Mag;   // fitted |Z| per point
    std::vector<float> Freq;  // Hz per point
    // Error of the branch values as they stand; every tweak compares with it
    // and lowers it, so the fit never makes the error worse.
    float Error = 0;
    ZinSamples Zin;              // the port's impedance curve
    Diagram* diagram = nullptr;  // where the fitted curve is drawn (may be null)
    int Slot = -1;               // slot of the port's Zin curve; the fit goes to Slot + 1
};

// Prepares a fit of `list` to the Zin samples; -1 for a null or empty list, a
// list longer than kSpiceFitMaxBranches, or an empty curve.
int InitSpiceFit(SpiceFit* fit, const CapDatabase* list, const ZinSamples& zin);

// Fits the list to the diagram's Zin curve of port 0 with the passes and step
// factor of the sensitivity (0 " 1 %", 1 "10 %", 2 "25 %"). 0 on success; -1
// when refused (no port 0, no Zin curve, no slot after it, an empty or too long
// list, an unknown sensitivity), with the text and caption in *message and the
// list unchanged. A cancel request is checked before every pass and gives -1
// ("Cancelled") with the list unchanged.
int OptimizeSpiceCircuit(SimMatrix* board, Diagram* diagram, CapDatabase* list, uint32_t sensitivity,
                         PdnMessage* message, const korvex::CancelToken* cancel = nullptr);

// Repeated steps of one parameter of one branch by `factor` upward, then by
// 1/factor downward, each direction while the error keeps falling and the
// budget lasts; the last step evaluated in each direction is undone. 0, or -1
// for a bad branch or parameter.
int OptimizeSpice_TweakValue(SpiceFit* fit, int branch, int parameter, float factor, int budget = kTweakBudget);

void OptimizeSpice_calculate_impedance(SpiceFit* fit);
float OptimizeSpice_calculate_efficiency(SpiceFit* fit);
void OptimizeSpice_print_cap_array(const SpiceFit* fit);

// The list as the subcircuit ".subckt PDN n1 n2" ... ".ends" with "\r\n" line ends.
std::string SpiceSubcircuitText(const CapDatabase* list);

}  // namespace korvex
