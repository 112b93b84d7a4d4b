#pragma once
// The capacitor dialog: the template's values and the capacitor catalogue.
#include <functional>

#include "board/part_records.h"

namespace korvex::gui {

// Told whenever one of the value fields changes, with a temporary capacitor
// of those values (the diagram shows its impedance). Empty: nobody listens.
void SetCapacitorPreviewHandler(std::function<void(const Cap&)> handler);

}  // namespace korvex::gui
