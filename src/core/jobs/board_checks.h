#pragma once
// Checks a board before a job runs, so that a board that cannot give a
// meaningful result is refused with one sentence instead of producing numbers
// from a singular or incomplete circuit. Each check returns the empty string
// when the board passes, else the reason. Parts are named by their 1-based
// position in the part list ("part 3 (Current)").
#include <cstdint>
#include <string>

#include "board/sim_matrix.h"

namespace korvex {

// "part N (Kind)" for the entry at 1-based list position N.
std::string PartLabel(const SimMatrix& board, const Part* part);

// Every position and layer of the part inside the board; every terminal of a
// current source, resistor, port, capacitor, subcircuit or series subcircuit
// that is not replaced by a net name on a pixel with copper on its layer. A
// via may stand where some layers have no copper.
std::string CheckPartPlacement(const SimMatrix& board, const Part* part);
// Only the positions and layers, not the copper under the terminals.
std::string CheckPartPosition(const SimMatrix& board, const Part* part);
// The same for every part, and that some layer carries copper.
std::string CheckBoardParts(const SimMatrix& board);

// The DC circuit: some terminal on the ground net "0", and both ends of every
// current source connected through copper, vias, resistors or series
// subcircuits to ground.
std::string CheckDcConnections(const SimMatrix& board);

// The ports an AC mode needs: the driving and terminating port of S21 (two
// different ports), the driving port and another one to observe for the noise
// transfers, a port for Zin, port 0 for the current-density and voltage-noise
// maps, the capacitor `termination` for the capacitor S-parameters.
std::string CheckAcPorts(const SimMatrix& board, uint32_t mode, uint32_t source, uint32_t termination);

}  // namespace korvex
