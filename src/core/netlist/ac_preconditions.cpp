#include "netlist/ac_preconditions.h"

#include "board/sim_matrix.h"
#include "mesh/board_operations.h"
#include "netlist/ac_job.h"

namespace korvex {

int CheckAcPreconditions(const SimMatrix* board, uint32_t mode, AcRefusal* refusal)
{
    const auto refuse = [&](const char* text, const char* caption) {
        if (refusal != nullptr) *refusal = AcRefusal{text, caption};
        return -1;
    };
    if (mode != AC_MODE_ZIN_OF_PORTS && mode != AC_MODE_Z_AT_F && mode != AC_MODE_CURRENT_DENSITY_AT_F &&
        mode != AC_MODE_VOLTAGE_NOISE_AT_F)
        return 0;
    if (board == nullptr || (board->LayerCount != 2 && board->LayerCount != 4))
        return refuse("Only 2 and 4 Layer Boards supported", "Change Layerstack");
    if (board->LayerCount == 4) {
        if (IsFullCopperOnLayer(board, 0) != 1 || IsFullCopperOnLayer(board, 3) != 1)
            return refuse("Top and Bottom have to be filled with copper", "Fill Reference Planes");
        return 0;
    }
    if (IsFullCopperOnLayer(board, 1) != 1) return refuse("Bottom has to be filled with copper", "Fill Reference Plane");
    return 0;
}

}  // namespace korvex
