#pragma once
// Capacitor optimisation at a port: picks catalogue capacitors, treated as
// series R-L-C branches in parallel with the port's simulated input
// impedance, so that |Z| stays below a target impedance up to a target
// frequency. Greedy addition, then coordinate descent over the whole bank
// after each addition; the chosen capacitors are placed on the port and the
// resulting impedance becomes the diagram curve "OptiCap".
#include <cstdint>
#include <vector>

#include "board/part_records.h"
#include "pdn/cap_database.h"
#include "pdn/pdn_message.h"
#include "pdn/port_zin_curve.h"
#include "util/cancel_token.h"

namespace korvex {

struct Diagram;
struct SimMatrix;

struct OptiCapParam {
    float TargetImpedance = 0.05f;  // ohm
    float TargetFrequency = 1e9f;   // Hz
    uint32_t MaxCapacitors = 5;
    uint32_t TargetPort = 0;
};

extern OptiCapParam gOptiCapParam;

constexpr uint32_t kCapBankSize = 100;
// The optimisation stops adding capacitors once the error is this small.
constexpr float kOptiCapGoodEnough = 0.0002f;

// Working state of one optimisation run.
struct CapBank {
    OptiCapParam Param;
    const CapDatabase* Catalogue = nullptr;
    int n = 0;  // frequency points of the port's curve
    CapRecord Caps[kCapBankSize] = {};
    int CatalogueIndex[kCapBankSize] = {};  // catalogue position of each slot's record
    uint32_t Count = 0;
    std::vector<float> Mag;   // |Z| of port and bank, per point
    std::vector<float> Freq;  // Hz, per point
    float Error = 0;
    ZinSamples Zin;           // the port's impedance curve
    Diagram* diagram = nullptr;  // where progress is drawn (may be null)
    int Slot = -1;               // slot of the port's Zin curve; the result goes to Slot + 1
    const korvex::CancelToken* Cancel = nullptr;  // checked before every addition and descent pass
};

// Prepares a bank over a port's Zin samples; -1 for a null argument, an empty
// curve, or MaxCapacitors outside 1 .. kCapBankSize.
int InitCapBank(CapBank* bank, const OptiCapParam* param, const CapDatabase* catalogue, const ZinSamples& zin);

// Checks the parameters before a run; 0, or -1 with the refusal in *message.
int CheckOptiCapParam(const OptiCapParam* param, PdnMessage* message);

// Runs the whole optimisation on the diagram's Zin curve of the target port and
// places the chosen capacitors on the board. 0 on success; -1 when refused (no
// such port, no Zin curve, no slot left after it, bad parameters), with the
// text and caption in *message and nothing changed. A cancel request stops the
// search and gives -1 ("Cancelled") with no capacitor placed.
int OptimizeCaps(SimMatrix* board, Diagram* diagram, const OptiCapParam* param, const CapDatabase* catalogue,
                 PdnMessage* message, const korvex::CancelToken* cancel = nullptr);

void calculate_impedance(CapBank* bank);
float calculate_efficiency(CapBank* bank);
// 0 when a capacitor was added; -1 (bank unchanged) when the error is already 0,
// the bank is full, or no catalogue record lowers the error.
int add_capacitor(CapBank* bank);
void search_better_capacitors(CapBank* bank);
void print_cap_array(const CapBank* bank);

// Adds the bank's capacitors as parts on the port's pixel and layer with the
// next free references; returns the number placed (fewer when references
// 0 .. 199 run out).
uint32_t PlaceCapBank(SimMatrix* board, const Port& port, const CapBank* bank);

}  // namespace korvex
