#pragma once
// Voltage noise in the time domain: a periodic load current (trapezoid pulse
// train, optional Gaussian edge filter, optional added Gaussian pulse) is
// expanded into harmonics of its period, each harmonic is multiplied with the
// port impedance (or noise transfer) at its frequency, and both series are
// summed back into time signals: curve 0 "Current Stimulus" and curve 1
// "Voltage Response" of the tool's own time diagram. The spectrum of either
// goes to curve 9 "Stimulus" of the main diagram.
#include <cstdint>

#include "board/voltage_noise_param.h"
#include "pdn/pdn_message.h"

namespace korvex {

struct Diagram;
struct Settings;

constexpr int kStimulusCurve = 9;
constexpr int kTimeCurrentCurve = 0;
constexpr int kTimeVoltageCurve = 1;

// Checks what the synthesis divides by: T > 0, 1 <= Datapoints <= 100000,
// 1 <= nHarmonics <= 100000, TON + tr > 0, all finite. 0, or -1 with the
// reason in *message.
int CheckVoltageNoiseTimeParam(const VoltageNoiseTimeParam* param, PdnMessage* message);

// Opening of the tool: resets the time diagram, switches on its secondary
// axis, creates its two curves of Datapoints points (the voltage curve on the
// secondary axis) and sets its axes.
int InitVoltageNoiseTimeDiagram(VoltageNoiseTimeParam* param, Diagram* timeDiagram);

// Computes the spectrum (into main-diagram curve 9 when it is prepared) and both
// time curves. The response uses, for harmonic h, the point of the selected
// main-diagram curve (ZinCurve for Source 0, NoiseCurve for Source 1) whose
// frequency is h * f0; without such a curve or point the response stays 0 and
// *message says why (result still 0). -1 when the parameters are refused
// (nothing computed) or an argument is null.
int CalculateHarmonics(VoltageNoiseTimeParam* param, Diagram* timeDiagram, Diagram* mainDiagram,
                       PdnMessage* message = nullptr);

// The time diagram's axes: x 0 .. T / ScaleX, signed linear y of +-5 DivY and
// a secondary axis of +-5 DivYSec, ten divisions each.
int UpdateTimeDiagramFromVoltageNoiseObject(VoltageNoiseTimeParam* param, Diagram* timeDiagram);

// Prepares the main diagram for the spectrum: curve 9 "Stimulus" of nHarmonics
// points drawn as vertical lines, only it and the selected curve shown,
// MinZ / MaxZ from the selected curve, axes from f0 to N f0.
int UpdategDiagramFromVoltageNoiseObject(VoltageNoiseTimeParam* param, Diagram* mainDiagram);

// What the tool does when its sweep has been read (and on request): both
// update functions, then CalculateHarmonics. Result and message as there.
int RecomputeVoltageNoiseTime(VoltageNoiseTimeParam* param, Diagram* timeDiagram, Diagram* mainDiagram,
                              PdnMessage* message = nullptr);

// The sweep "Simulate" asks for: a linear grid of nHarmonics points from 1/T
// to nHarmonics/T written into the AC block of `settings` (in one sub-band,
// Steps 1, so that the points fall on the harmonics). Returns the command
// to run: 9094 (Zin of ports, Source 0) or 9088 (current injected noise
// transfer, Source 1); -1 when the parameters are refused.
int VoltageNoiseSimulateSettings(const VoltageNoiseTimeParam* param, Settings* settings, PdnMessage* message);

}  // namespace korvex
