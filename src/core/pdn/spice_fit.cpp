#include "pdn/spice_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "board/sim_matrix.h"
#include "diagram/diagram.h"
#include "pdn/cap_tuning.h"
#include "pdn/complex.h"
#include "util/debug_log.h"

namespace korvex {

namespace {

constexpr uint32_t kFitPort = 0;

// The wheel and the tweak number fRes and Q the other way round.
int TweakQuantity(int parameter)
{
    switch (parameter) {
    case kTweakCapacitance: return kCapCapacitance;
    case kTweakESR: return kCapESR;
    case kTweakESL: return kCapESL;
    case kTweakQuality: return kCapQuality;
    case kTweakResonance: return kCapResonance;
    default: return -1;
    }
}

void DrawFitCurve(const SpiceFit* fit)
{
    if (fit->diagram == nullptr) return;
    for (int k = 0; k < fit->n; ++k) SetDataPoint(fit->diagram, fit->Slot + 1, k, fit->Freq[k], fit->Mag[k], 0);
    UpdateDiagram(fit->diagram);
}

// Steps one direction; returns the number of steps taken (each evaluated).
int TweakDirection(SpiceFit* fit, CapRecord& branch, int quantity, double factor, int budget)
{
    int steps = 0;
    float previous = fit->Error;
    while (true) {
        const CapRecord before = branch;
        const int scaled = ScaleCapQuantity(&branch.Capacitance, &branch.ESR, &branch.ESL, quantity, factor);
        ++steps;
        --budget;
        const float error = scaled == 0 ? OptimizeSpice_calculate_efficiency(fit) : previous;
        const bool improved = scaled == 0 && error < previous;
        if (!improved || budget <= 0) {
            // The last step evaluated is undone; the improving ones before stay.
            branch = before;
            fit->Error = previous;
            break;
        }
        previous = error;
    }
    return steps;
}

}  // namespace

int InitSpiceFit(SpiceFit* fit, const CapDatabase* list, const ZinSamples& zin)
{
    if (fit == nullptr || list == nullptr || list->Count <= 0 || list->Count > kSpiceFitMaxBranches ||
        zin.Size() == 0)
        return -1;
    fit->Count = list->Count;
    for (int i = 0; i < fit->Count; ++i) fit->Caps[i] = GetCap(list, i);
    fit->Zin = zin;
    fit->n = zin.Size();
    fit->Mag.assign(fit->n, 0.0f);
    fit->Freq.assign(fit->n, 0.0f);
    fit->Error = OptimizeSpice_calculate_efficiency(fit);
    return 0;
}

void OptimizeSpice_calculate_impedance(SpiceFit* fit)
{
    if (fit == nullptr) return;
    for (int k = 0; k < fit->n; ++k) {
        const float f = fit->Zin.Freq[k];
        const float w = 6.2831855f * f;
        DComplex y = Complex(0.0, 0.0);
        for (int b = 0; b < fit->Count; ++b) {
            const CapRecord& c = fit->Caps[b];
            const float reactance = w * c.ESL - 1.0f / (w * c.Capacitance);
            y = Cadd(y, Cdiv(Complex(1.0, 0.0), Complex(c.ESR, reactance)));
        }
        fit->Mag[k] = static_cast<float>(Cabs(Cdiv(Complex(1.0, 0.0), y)));
        fit->Freq[k] = f;
    }
}

float OptimizeSpice_calculate_efficiency(SpiceFit* fit)
{
    if (fit == nullptr) return std::numeric_limits<float>::infinity();
    OptimizeSpice_calculate_impedance(fit);
    double error = 0;
    for (int k = 0; k < fit->n; ++k) {
        const double d = std::log10(static_cast<double>(fit->Mag[k])) - std::log10(Cabs(fit->Zin.Z[k]));
        error += d * d;
    }
    return static_cast<float>(error);
}

int OptimizeSpice_TweakValue(SpiceFit* fit, int branch, int parameter, float factor, int budget)
{
    if (fit == nullptr || branch < 0 || branch >= fit->Count || TweakQuantity(parameter) < 0 || !(factor > 0))
        return -1;
    CapRecord& c = fit->Caps[branch];
    const int quantity = TweakQuantity(parameter);
    const int upward = TweakDirection(fit, c, quantity, factor, budget);
    // The budget goes on counting down from where the upward search stopped;
    // at least one downward step is always tried.
    const int downBudget = std::max(1, budget - upward + 1);
    TweakDirection(fit, c, quantity, 1.0 / factor, downBudget);
    OptimizeSpice_calculate_impedance(fit);
    return 0;
}

void OptimizeSpice_print_cap_array(const SpiceFit* fit)
{
    if (fit == nullptr) return;
    printDebug("Capacitor Array \r\n");
    printDebug(" i\tCap\t\tESR\tESL\r\n");
    for (int i = 0; i < fit->Count; ++i) {
        const CapRecord& c = fit->Caps[i];
        printDebug("%2u\t%9.3fnF\t%.3f\t%.3fnH\r\n", static_cast<unsigned>(i), c.Capacitance * 1e9,
                   static_cast<double>(c.ESR), c.ESL * 1e9);
    }
}

int OptimizeSpiceCircuit(SimMatrix* board, Diagram* diagram, CapDatabase* list, uint32_t sensitivity,
                         PdnMessage* message, const korvex::CancelToken* cancel)
{
    if (board == nullptr || diagram == nullptr || list == nullptr) return -1;
    printDebug("Optimize Spice Circuit\r\n");
    FitSchedule schedule;
    if (GetFitSchedule(sensitivity, &schedule) != 0) {
        SetPdnMessage(message, "Error", "Unknown sensitivity %u (0, 1 or 2)", sensitivity);
        return -1;
    }
    const Part* portPart = GetPartfromID(board, PART_PORT, kFitPort);
    if (portPart == nullptr) {
        SetPdnMessage(message, "Error", "Did not find Port %u", kFitPort);
        return -1;
    }
    const uint32_t portId = PartRecord<Port>(portPart)->ID;
    const int slot = FindPortZinCurve(diagram, portId);
    if (slot < 0) {
        SetPdnMessage(message, "Error", "You need a Zin Diagram for Port%u", portId);
        return -1;
    }
    if (slot + 1 >= kDiagramCurves) {
        SetPdnMessage(message, "Error",
                      "The Zin Diagram for Port%u is in the last diagram slot; no slot is left for the fit", portId);
        return -1;
    }
    if (list->Count <= 0 || list->Count > kSpiceFitMaxBranches) {
        SetPdnMessage(message, "Error", "The equivalent circuit needs 1 to %d branches (has %d)", kSpiceFitMaxBranches,
                      list->Count);
        return -1;
    }
    SpiceFit fit;
    ZinSamples zin;
    if (CopyDiagramCurve(diagram, slot, &zin) != 0 || InitSpiceFit(&fit, list, zin) != 0) return -1;
    fit.diagram = diagram;
    fit.Slot = slot;
    InitDiagramData(diagram, "OptiSpiceCircuit", slot + 1, fit.n);

    OptimizeSpice_print_cap_array(&fit);
    fit.Error = OptimizeSpice_calculate_efficiency(&fit);
    printDebug("Eff = %e\r\n", static_cast<double>(fit.Error));
    DrawFitCurve(&fit);

    for (int pass = 0; pass < schedule.Passes; ++pass) {
        if (korvex::Cancelled(cancel)) {
            SetPdnMessage(message, "Cancelled", "The fit was cancelled");
            return -1;
        }
        for (int b = 0; b < fit.Count; ++b)
            for (int p = kTweakCapacitance; p <= kTweakResonance; ++p)
                OptimizeSpice_TweakValue(&fit, b, p, schedule.Factor, kTweakBudget);
    }

    OptimizeSpice_print_cap_array(&fit);
    fit.Error = OptimizeSpice_calculate_efficiency(&fit);
    printDebug("Eff = %e\r\n", static_cast<double>(fit.Error));
    for (int b = 0; b < fit.Count; ++b) list->Caps[b] = fit.Caps[b];
    DrawFitCurve(&fit);
    return 0;
}

std::string SpiceSubcircuitText(const CapDatabase* list)
{
    std::string text = ".subckt PDN n1 n2\r\n";
    char line[256];
    for (int i = 0; list != nullptr && i < list->Count; ++i) {
        const CapRecord c = GetCap(list, i);
        if (c.Capacitance >= kInductorCapacitance)
            std::snprintf(line, sizeof line, "L%u n1 n2 %e Rser=%e Cpar=0\r\n", static_cast<unsigned>(i + 1),
                          static_cast<double>(c.ESL), static_cast<double>(c.ESR));
        else
            std::snprintf(line, sizeof line, "C%u n1 n2 %e Rser=%e Lser=%e Cpar=0\r\n", static_cast<unsigned>(i + 1),
                          static_cast<double>(c.Capacitance), static_cast<double>(c.ESR), static_cast<double>(c.ESL));
        text += line;
    }
    text += ".ends\r\n";
    return text;
}

}  // namespace korvex
