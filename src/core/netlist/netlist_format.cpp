#include "netlist/netlist_format.h"

#include <cstring>

#include "netlist/number_format.h"

namespace korvex {

char* ExpandFormat(char* out, std::string_view format, const FormatArg* args)
{
    const char* base = format.data();
    WalkFormat(
        format,
        [&](size_t begin, size_t length) {
            std::memcpy(out, base + begin, length);
            out += length;
        },
        [&](bool zero, int width, char letter) {
            const FormatArg& arg = *args++;
            switch (letter) {
            case 'u':
                out = width > 1 ? AppendUnsignedPadded(out, arg.integer, width, zero ? '0' : ' ')
                                : AppendUnsigned(out, arg.integer);
                break;
            case 'f': out = AppendFixed(out, arg.floating); break;
            case 'e': out = AppendScientific(out, arg.floating); break;
            default:
                std::memcpy(out, arg.text.data(), arg.text.size());
                out += arg.text.size();
                break;
            }
        });
    return out;
}

}  // namespace korvex
