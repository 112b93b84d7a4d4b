#include "board/settings.h"

#include "board/settings_file.h"

namespace korvex {

// Built-in defaults, with the simulator beside the program when it is there.
Settings gSettings = DefaultSettings();

}  // namespace korvex
