#include "pdn/opti_cap.h"

#include <cmath>
#include <limits>

#include "board/part_lookup.h"
#include "board/sim_matrix.h"
#include "diagram/diagram.h"
#include "pdn/complex.h"
#include "util/debug_log.h"

namespace korvex {

OptiCapParam gOptiCapParam;

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Admittance of a series R-L-C branch at angular frequency w (w and the
// reactance in single precision, the division in double).
DComplex BranchAdmittance(const CapRecord& cap, float w)
{
    const float reactance = w * cap.ESL - 1.0f / (w * cap.Capacitance);
    return Cdiv(Complex(1.0, 0.0), Complex(cap.ESR, reactance));
}

void DrawBankCurve(const CapBank* bank)
{
    if (bank->diagram == nullptr) return;
    for (int k = 0; k < bank->n; ++k) SetDataPoint(bank->diagram, bank->Slot + 1, k, bank->Freq[k], bank->Mag[k], 0);
    UpdateDiagram(bank->diagram);
}

void PutCatalogueRecord(CapBank* bank, uint32_t slot, int position)
{
    bank->Caps[slot] = GetCap(bank->Catalogue, position);
    bank->CatalogueIndex[slot] = position;
}

}  // namespace

int CheckOptiCapParam(const OptiCapParam* param, PdnMessage* message)
{
    if (param == nullptr) return -1;
    if (param->MaxCapacitors == 0 || param->MaxCapacitors > kCapBankSize) {
        SetPdnMessage(message, "Error", "Max. No of Capacitors must be 1 to %u (is %u)", kCapBankSize,
                      param->MaxCapacitors);
        return -1;
    }
    if (!(param->TargetImpedance > 0) || !(param->TargetFrequency > 0)) {
        SetPdnMessage(message, "Error", "Target Impedance and Target Frequency must be above 0");
        return -1;
    }
    return 0;
}

int InitCapBank(CapBank* bank, const OptiCapParam* param, const CapDatabase* catalogue, const ZinSamples& zin)
{
    if (bank == nullptr || param == nullptr || catalogue == nullptr || zin.Size() == 0) return -1;
    if (CheckOptiCapParam(param, nullptr) != 0) return -1;
    bank->Param = *param;
    bank->Catalogue = catalogue;
    bank->Zin = zin;
    bank->n = zin.Size();
    bank->Count = 0;
    bank->Mag.assign(bank->n, 0.0f);
    bank->Freq.assign(bank->n, 0.0f);
    bank->Error = 0;
    return 0;
}

void calculate_impedance(CapBank* bank)
{
    if (bank == nullptr) return;
    for (int k = 0; k < bank->n; ++k) {
        const float f = bank->Zin.Freq[k];
        const float w = 6.2831855f * f;
        DComplex y = Cdiv(Complex(1.0, 0.0), bank->Zin.Z[k]);
        for (uint32_t c = 0; c < bank->Count; ++c) y = Cadd(y, BranchAdmittance(bank->Caps[c], w));
        bank->Mag[k] = static_cast<float>(Cabs(Cdiv(Complex(1.0, 0.0), y)));
        bank->Freq[k] = f;
    }
}

float calculate_efficiency(CapBank* bank)
{
    if (bank == nullptr) return kInfinity;
    calculate_impedance(bank);
    const float target = bank->Param.TargetImpedance;
    double error = 0;
    // Points are in ascending frequency: the sum ends at the first point above
    // the target frequency, so nothing beyond it ever counts.
    for (int k = 0; k < bank->n && bank->Freq[k] <= bank->Param.TargetFrequency; ++k)
        if (bank->Mag[k] > target) error += static_cast<double>(bank->Mag[k] - target) * (bank->Mag[k] - target);
    bank->Error = static_cast<float>(error);
    return bank->Error;
}

int add_capacitor(CapBank* bank)
{
    if (bank == nullptr || bank->Catalogue == nullptr) return -1;
    if (bank->Count >= kCapBankSize) return -1;
    // Compare with the error of the bank as it is, also when it is empty: a
    // capacitor that does not help is not added.
    float best = calculate_efficiency(bank);
    if (best == 0) return -1;
    const uint32_t slot = bank->Count++;
    int choice = -1;
    for (int i = 0; i < bank->Catalogue->Count; ++i) {
        PutCatalogueRecord(bank, slot, i);
        const float error = calculate_efficiency(bank);
        if (error < best) {
            best = error;
            choice = i;
        }
    }
    if (choice < 0) {
        bank->Count--;
        calculate_efficiency(bank);
        return -1;
    }
    PutCatalogueRecord(bank, slot, choice);
    calculate_efficiency(bank);
    DrawBankCurve(bank);
    return 0;
}

void search_better_capacitors(CapBank* bank)
{
    if (bank == nullptr || bank->Catalogue == nullptr) return;
    bool changed = true;
    for (int pass = 1; changed && pass < 51; ++pass) {
        if (korvex::Cancelled(bank->Cancel)) break;
        changed = false;
        for (uint32_t j = 0; j < bank->Count; ++j) {
            const CapRecord before = bank->Caps[j];
            const int beforeIndex = bank->CatalogueIndex[j];
            float best = kInfinity;
            int choice = -1;
            for (int i = 0; i < bank->Catalogue->Count; ++i) {
                PutCatalogueRecord(bank, j, i);
                const float error = calculate_efficiency(bank);
                if (error < best) {
                    best = error;
                    choice = i;
                }
            }
            if (choice < 0 || choice == beforeIndex) {
                bank->Caps[j] = before;
                bank->CatalogueIndex[j] = beforeIndex;
                continue;
            }
            PutCatalogueRecord(bank, j, choice);
            changed = true;
            calculate_efficiency(bank);
            DrawBankCurve(bank);
        }
    }
    calculate_efficiency(bank);
}

void print_cap_array(const CapBank* bank)
{
    if (bank == nullptr) return;
    printDebug("Capacitor Array \r\n");
    printDebug(" i\tCap\t\tESR\tESL\r\n");
    for (uint32_t i = 0; i < bank->Count; ++i) {
        const CapRecord& c = bank->Caps[i];
        printDebug("%2u\t%9.3fnF\t%.3f\t%.3fnH\r\n", i, c.Capacitance * 1e9, static_cast<double>(c.ESR),
                   c.ESL * 1e9);
    }
    if (bank->n == 0) return;
    int worst = 0;
    for (int k = 1; k < bank->n; ++k)
        if (bank->Mag[k] > bank->Mag[worst]) worst = k;
    printDebug("Max Impedance @%u kHz %f Ohm\r\n", static_cast<unsigned>(bank->Freq[worst] / 1000.0f),
               static_cast<double>(bank->Mag[worst]));
}

uint32_t PlaceCapBank(SimMatrix* board, const Port& port, const CapBank* bank)
{
    if (board == nullptr || bank == nullptr) return 0;
    uint32_t placed = 0;
    for (uint32_t i = 0; i < bank->Count; ++i) {
        const uint32_t ref = GetFreeID(board, PART_CAP);
        if (ref >= kMaxPartIdentity) {
            printDebug("No free capacitor reference left, %u capacitors not placed\r\n", bank->Count - i);
            break;
        }
        Cap cap;
        cap.x = port.x;
        cap.y = port.y;
        cap.Layer = port.Layer;
        cap.Ref = ref;
        cap.Capacitance = bank->Caps[i].Capacitance;
        cap.ESR = bank->Caps[i].ESR;
        cap.ESL = bank->Caps[i].ESL;
        AddPart(board, PART_CAP, &cap);
        ++placed;
    }
    return placed;
}

int OptimizeCaps(SimMatrix* board, Diagram* diagram, const OptiCapParam* param, const CapDatabase* catalogue,
                 PdnMessage* message, const korvex::CancelToken* cancel)
{
    if (board == nullptr || diagram == nullptr || param == nullptr || catalogue == nullptr) return -1;
    printDebug("Optimize Caps\r\n");
    if (CheckOptiCapParam(param, message) != 0) return -1;
    const Part* portPart = GetPartfromID(board, PART_PORT, param->TargetPort);
    if (portPart == nullptr) {
        SetPdnMessage(message, "Error", "Did not find Port %u", param->TargetPort);
        return -1;
    }
    const Port port = *PartRecord<Port>(portPart);
    const int slot = FindPortZinCurve(diagram, port.ID);
    if (slot < 0) {
        SetPdnMessage(message, "Error", "You need a Zin Diagram for Port%u", port.ID);
        return -1;
    }
    if (slot + 1 >= kDiagramCurves) {
        SetPdnMessage(message, "Error", "The Zin Diagram for Port%u is in the last diagram slot; no slot is left for the result",
                      port.ID);
        return -1;
    }
    CapBank bank;
    ZinSamples zin;
    if (CopyDiagramCurve(diagram, slot, &zin) != 0 || InitCapBank(&bank, param, catalogue, zin) != 0) return -1;
    bank.diagram = diagram;
    bank.Slot = slot;
    bank.Cancel = cancel;
    InitDiagramData(diagram, "OptiCap", slot + 1, bank.n);

    float error = calculate_efficiency(&bank);
    do {
        if (error <= kOptiCapGoodEnough) break;
        if (add_capacitor(&bank) != 0) break;
        search_better_capacitors(&bank);
        error = calculate_efficiency(&bank);
    } while (bank.Count != bank.Param.MaxCapacitors && !korvex::Cancelled(cancel));
    if (korvex::Cancelled(cancel)) {
        SetPdnMessage(message, "Cancelled", "The optimisation was cancelled");
        return -1;
    }

    print_cap_array(&bank);
    PlaceCapBank(board, port, &bank);
    DrawBankCurve(&bank);
    return 0;
}

}  // namespace korvex
