#pragma once

namespace korvex {
// The element values of the plane transmission-line model: the parallel-plate
// line of one branch, the microstrip fringing (stray) correction of 2-layer
// boards and the dielectric loss of a node. Single precision throughout.

// One branch of flength (m) along, fwidth (m) across, over a dielectric of
// thickness d (m) and relative permittivity er.
struct PlaneLineValues {
    float C = 0;   // F; half the plate capacitance, since horizontal and vertical branches share the area
    float Lv = 0;  // H
    float Td = 0;  // s
    float Z0 = 0;  // ohm
};
PlaneLineValues PlaneLine(float flength, float fwidth, float d, float er);

// Fringing of an open copper edge along a branch: a microstrip of width w (m)
// over h (m) compared with the parallel plate of the same width. edgeCode 1 or
// 2: one side open; 3: both sides open.
struct MicrostripStray {
    int Valid = 0;
    float CParallel = 0;    // F/m
    float CMicrostrip = 0;  // F/m
    float LParallel = 0;    // H/m
    float LMicrostrip = 0;  // H/m
    float CStray = 0;       // F/m added in parallel
    float LStray = 0;       // H/m added in parallel
};
// Valid is 0 for edge code 0 and for a strip without width or height.
MicrostripStray ComputeMicrostripStray(float w, float h, float er, int edgeCode);

// Applies the stray values of a strip of flength to a line: L' = Lv Ls / (Lv + Ls),
// C' = C + Cs; only Td and Z0 change.
void ApplyStray(PlaneLineValues* line, float flength, float lStray, float cStray);

// Dielectric loss of a node of nodeSizeX x nodeSizeY (m): C = er e0 area / d and the parallel
// resistance 1 / (2 pi C Df) at 1 Hz (the netlist divides it by f).
struct DielectricLoss {
    float C = 0;
    float R = 0;
};
DielectricLoss ComputeDielectricLoss(float er, float df, float nodeSizeX, float nodeSizeY, float d);

}  // namespace korvex
