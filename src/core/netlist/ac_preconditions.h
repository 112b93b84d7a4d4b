#pragma once
// The board checks that the plane model needs before the AC analyses without
// a port dialog (9094, 9095, 9087, 9090): 2 or 4 layers with full reference
// planes. The front end shows a refusal as a warning box with an OK button.
#include <cstdint>

#include "util/status.h"

namespace korvex {

struct SimMatrix;

struct AcRefusal {
    const char* Text = nullptr;
    const char* Caption = nullptr;
};

// Ok when the board may run `mode` (the dialog modes are not checked); else
// refused with the warning's text as reason and its caption.
Status AcPreconditions(const SimMatrix* board, uint32_t mode);
// The same as 0, or -1 with the refusal's text and caption.
int CheckAcPreconditions(const SimMatrix* board, uint32_t mode, AcRefusal* refusal);

}  // namespace korvex
