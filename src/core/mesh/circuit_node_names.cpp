#include "mesh/circuit_node_names.h"

#include <cctype>

namespace korvex {

bool ParseUnsigned(std::string_view text, size_t* pos, uint64_t* value)
{
    size_t i = *pos;
    uint64_t v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
        if (v > (UINT64_MAX - digit) / 10) return false;
        v = v * 10 + digit;
        ++i;
    }
    if (i == *pos) return false;
    *pos = i;
    *value = v;
    return true;
}

bool ParseLayerId(std::string_view text, size_t pos, unsigned* layer, uint64_t* id, unsigned* direction)
{
    if (pos >= text.size() || text[pos] < '0' || text[pos] > '9') return false;
    *layer = static_cast<unsigned>(text[pos] - '0');
    ++pos;
    if (pos >= text.size() || text[pos] != '_') return false;
    ++pos;
    if (!ParseUnsigned(text, &pos, id)) return false;
    if (direction == nullptr) return pos >= text.size() || text[pos] == ')';
    if (pos + 1 >= text.size() || text[pos] != '_' || text[pos + 1] < '0' || text[pos + 1] > '9') return false;
    *direction = static_cast<unsigned>(text[pos + 1] - '0');
    pos += 2;
    return pos >= text.size() || text[pos] == ')';
}

bool ParseAcNode(std::string_view name, std::string_view prefix, unsigned* layer, uint64_t* id, size_t* end)
{
    if (!StartsWithNoCase(name, prefix)) return false;
    size_t pos = prefix.size();
    if (pos >= name.size() || !std::isdigit(static_cast<unsigned char>(name[pos]))) return false;
    *layer = static_cast<unsigned>(name[pos] - '0');
    pos += 1;
    if (pos + 1 >= name.size() || name[pos] != '_' || LowerAscii(name[pos + 1]) != 'n')
        return false;
    pos += 2;
    if (!ParseUnsigned(name, &pos, id)) return false;
    *end = pos;
    return true;
}

}  // namespace korvex
