#pragma once

namespace korvex {
// Imported S-parameters as the four reference curves of a diagram.
struct Diagram;
struct SPARAM;

// Replaces the reference curves by "S11", "S12", "S21", "S22" (each only when
// the record holds its real and imaginary arrays), sets the x axis to the
// record's frequency range (logarithmic for list files) and a dB y axis that
// spans the magnitudes, then redraws. -1 for a null argument.
int FillDiagramFromCITI(Diagram* diagram, const SPARAM* data);

}  // namespace korvex
