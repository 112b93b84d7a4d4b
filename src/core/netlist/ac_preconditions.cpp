#include "netlist/ac_preconditions.h"

#include "board/sim_matrix.h"
#include "mesh/board_operations.h"
#include "netlist/ac_job.h"

namespace korvex {

namespace {
// The refusal of an AC mode as text and caption; null text when the board may run it.
AcRefusal FindAcRefusal(const SimMatrix* board, uint32_t mode)
{
    if (mode != AC_MODE_ZIN_OF_PORTS && mode != AC_MODE_Z_AT_F && mode != AC_MODE_CURRENT_DENSITY_AT_F &&
        mode != AC_MODE_VOLTAGE_NOISE_AT_F)
        return {};
    if (board == nullptr || (board->LayerCount != 2 && board->LayerCount != 4))
        return {"Only 2 and 4 Layer Boards supported", "Change Layerstack"};
    if (board->LayerCount == 4) {
        if (IsFullCopperOnLayer(board, 0) != 1 || IsFullCopperOnLayer(board, 3) != 1)
            return {"Top and Bottom have to be filled with copper", "Fill Reference Planes"};
        return {};
    }
    if (IsFullCopperOnLayer(board, 1) != 1) return {"Bottom has to be filled with copper", "Fill Reference Plane"};
    return {};
}
}  // namespace

Status AcPreconditions(const SimMatrix* board, uint32_t mode)
{
    const AcRefusal refusal = FindAcRefusal(board, mode);
    return refusal.Text == nullptr ? Status::Ok() : Status::Refused(refusal.Text, refusal.Caption);
}

int CheckAcPreconditions(const SimMatrix* board, uint32_t mode, AcRefusal* refusal)
{
    const AcRefusal found = FindAcRefusal(board, mode);
    if (found.Text == nullptr) return 0;
    if (refusal != nullptr) *refusal = found;
    return -1;
}

}  // namespace korvex
