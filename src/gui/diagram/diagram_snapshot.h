#pragma once
// A private copy of a diagram record for drawing. It is taken under the
// record's lock in one short step, so the picture is drawn without holding
// the lock and a worker that fills curves never waits for the screen.
#include "diagram/diagram.h"

namespace korvex::gui {

// Replaces `copy` with the axes and curves of `source` (locks `source`).
void TakeDiagramSnapshot(const Diagram& source, Diagram* copy);

}  // namespace korvex::gui
