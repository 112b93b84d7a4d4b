#pragma once
// A refusal of a PDN tool in words: the text and the caption the caller shows
// (message box in the GUI, stderr on the command line).
#include <string>

namespace korvex {

struct PdnMessage {
    std::string Text;
    std::string Caption;
};

// Fills *message (when given) with a printf-formatted text and the caption.
void SetPdnMessage(PdnMessage* message, const char* caption, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

}  // namespace korvex
