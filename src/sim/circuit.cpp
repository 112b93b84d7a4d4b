// Small helpers of the circuit record.
#include "circuit.h"

#include <cctype>

namespace korvex::sim {

uint32_t ExprTable::intern(std::string_view text, int line)
{
    std::string key(text);
    auto found = byText.find(key);
    if (found != byText.end()) return found->second;
    exprs.push_back(parseExpression(text, line));
    lines.push_back(line);
    uint32_t id = static_cast<uint32_t>(exprs.size() - 1);
    byText.emplace(std::move(key), id);
    return id;
}

int Circuit::findNode(std::string_view name) const
{
    if (name == "0" || name == "gnd") return 0;
    return nodeNames.find(name);
}

int Circuit::node(std::string_view name)
{
    if (name == "0" || name == "gnd") return 0;
    return nodeNames.add(name);
}

void Circuit::indexElements()
{
    if (elementIndex.size() == elements.size()) return;
    elementIndex.clear();
    elementIndex.reserve(elements.size());
    for (uint32_t k = 0; k < elements.size(); ++k) elementIndex.emplace(elements[k].name.str(), k);
}

std::string rawElementName(std::string_view name)
{
    std::string out(name);
    if (!out.empty()) out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
    return out;
}

}  // namespace korvex::sim
