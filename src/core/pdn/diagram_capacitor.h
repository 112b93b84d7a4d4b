#pragma once
// The two impedance curves a diagram shows besides its data curves: the
// capacitor under the mouse (CapCurve, a series R-L-C) and a fitted equivalent
// circuit (SpiceCurve, all branches of a capacitor list in parallel).
#include "diagram/diagram.h"

namespace korvex {

struct CapDatabase;

// Frequencies of a computed curve point i of `count`: linear over fMinX ..
// fMaxX, or logarithmic over whole decades around them.
float DiagramSweepFrequency(const Diagram* diagram, int i, int count);

// Fills CapCurve from pCapPart; -1 without diagram, part (or a part that is no
// capacitor) or CapCurve arrays.
int DrawCapacitorData(Diagram* diagram);
// Fills SpiceCurve with the impedance of the list's branches in parallel; -1
// when either is null, the list is empty (SpiceCurve is then hidden) or
// SpiceCurve has no arrays.
int DrawCreateSpiceData(Diagram* diagram, const CapDatabase* list);

// "Show this capacitor": with a different part, or `force`, either clears the
// capacitor curve (null part) or makes it the 500-point curve "Cap" of the
// part. 1 when the diagram changed and wants a redraw, 0 when nothing was done.
int ShowDiagramCapacitor(Diagram* diagram, Part* part, int force);
// "Show this fitted circuit": only with `force`; a null list hides the
// SpiceCurve, otherwise it becomes the 500-point curve "SPICE". 1 when the
// diagram changed.
int ShowDiagramSpiceCircuit(Diagram* diagram, const CapDatabase* list, int force);

}  // namespace korvex
