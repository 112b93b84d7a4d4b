#pragma once
// A placed capacitor seen from a port: one AC run (mode 9092) gives the
// two-port S-parameters between the port and the capacitor's position (the
// capacitor replaced by a 50 ohm termination); afterwards the port impedance
// with any capacitor values as the load, "Z11c", is recomputed from them
// without running the simulator again.
#include <cstdint>
#include <vector>

#include "board/part_records.h"
#include "pdn/cap_database.h"
#include "pdn/complex.h"
#include "pdn/pdn_message.h"

namespace korvex {

struct Diagram;
struct Settings;
struct SimMatrix;

constexpr double kSParameterReference = 50.0;  // ohm

// S-parameters of the last capacitor run, one entry per frequency point.
struct SimulateSCapacitorData {
    int32_t Points = 0;
    std::vector<double> Frequency;
    std::vector<DComplex> S11, S21, S12, S22;
    std::vector<DComplex> Z11c;  // the port impedance last computed from them
    uint32_t SelectedPort = 0;   // port chosen in the dialog
    uint32_t SelectedCap = 0;    // Ref of the board capacitor chosen
};

extern SimulateSCapacitorData gSimulateSCapacitor;

// Replaces the arrays by `points` zeroed entries (the AC reader calls it before
// filling them); -1 for a null record or a negative count.
int AllocSimulateSCapacitor(SimulateSCapacitorData* data, int points);
void FreeSimulateSCapacitor(SimulateSCapacitorData* data);

// Impedance of the port with the capacitor as the two-port's load:
// Gamma = (Zc - 50) / (Zc + 50), Gamma_in = S11 + S21 S12 Gamma / (1 - S22 Gamma),
// Z11c = 50 (1 + Gamma_in) / (1 - Gamma_in). At frequency 0 or capacitance 0
// the capacitor is an open end (Gamma = 1).
DComplex CapacitorLoadedZ11(double frequency, const DComplex& s11, const DComplex& s21, const DComplex& s12,
                            const DComplex& s22, float capacitance, float esr, float esl);

// The diagram after a capacitor run: reset, x axis from the AC settings,
// y 0.01 .. 0.1, curve 0 "Z11c" of Points points. -1 without points.
int PrepareSimulateSCapacitorDiagram(Diagram* diagram, const Settings* settings, const SimulateSCapacitorData* data);

// Recomputes Z11c for the capacitor's values into data->Z11c and diagram curve
// 0 ("Z11c", created when it does not hold Points points), then sets the y
// range 0.001 .. 1000 (minimum 0 on a linear axis) and redraws. -1 for a null
// argument or a record without points.
int SimulateSCapacitorDrawDiagram(Diagram* diagram, const Cap* capacitor, SimulateSCapacitorData* data);

// Rebuilds the list of the board's capacitors: one record per capacitor part
// in ascending Ref order with its values, Ref and part. Returns the count.
int BuildBoardCapacitorList(const SimMatrix* board, CapDatabase* list);

// Whether a capacitor run from port `portId` to capacitor `capRef` can start:
// -1 with the refusal when the board has no such port or no such capacitor.
int CheckSimulateSCapacitor(const SimMatrix* board, uint32_t portId, uint32_t capRef, PdnMessage* message);

// "Set C ->": the board capacitor with this Ref takes the values; its record in
// the board list (when given) too. -1 when there is no such capacitor.
int SetBoardCapacitorValues(SimMatrix* board, uint32_t capRef, float capacitance, float esr, float esl,
                            CapDatabase* boardList);

}  // namespace korvex
