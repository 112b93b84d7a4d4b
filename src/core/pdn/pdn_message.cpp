#include "pdn/pdn_message.h"

#include <cstdarg>
#include <cstdio>

namespace korvex {

void SetPdnMessage(PdnMessage* message, const char* caption, const char* format, ...)
{
    if (message == nullptr) return;
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    message->Text = text;
    message->Caption = caption != nullptr ? caption : "";
}

}  // namespace korvex
