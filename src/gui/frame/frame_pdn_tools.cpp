// The frame's entries into the dialogs of the power-distribution tools; each
// dialog runs its computation on the frame's job runner.
#include "dialogs/spice_circuit_dialog.h"
#include "frame/main_frame.h"
#include "pdn/cap_database.h"

namespace korvex::gui {

void MainFrame::CreateSpiceCircuit()
{
    if (document_ == nullptr) return;
    SpiceCircuitDialog dialog(&gCapDatabaseCreateSpice, document_->Environment(), jobs_, this);
    dialog.exec();
}

}  // namespace korvex::gui
