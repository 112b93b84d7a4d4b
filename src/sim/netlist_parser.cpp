// The structure pass: top-level lines, .subckt definitions and their expansion.
#include "netlist_parser.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <thread>
#include <unordered_map>

#include "huge_pages.h"
#include "sim_error.h"

namespace korvex::sim {

namespace {

std::string str(std::string_view v) { return std::string(v); }

struct StoredLine {
    int line;
    std::vector<Token> tokens;
};

struct SubcktDef {
    std::string name;
    std::vector<std::string> ports;
    std::vector<StoredLine> body;
    int line = 0;
    bool repeat = false;  // a second definition of a name: must equal the first
};

bool sameDefinition(const SubcktDef& a, const SubcktDef& b)
{
    if (a.ports != b.ports || a.body.size() != b.body.size()) return false;
    for (size_t k = 0; k < a.body.size(); ++k) {
        const auto& x = a.body[k].tokens;
        const auto& y = b.body[k].tokens;
        if (x.size() != y.size()) return false;
        for (size_t t = 0; t < x.size(); ++t)
            if (x[t].text != y[t].text) return false;
    }
    return true;
}

class Flattener {
public:
    Flattener(Circuit& circuit, const std::map<std::string, std::unique_ptr<SubcktDef>>& defs)
        : circuit_(circuit), defs_(defs) {}

    void expand(const StoredLine& instance, const NodeScope& parent)
    {
        const std::vector<Token>& tokens = instance.tokens;
        const int line = instance.line;
        size_t end = tokens.size();
        while (end > 0 && tokens[end - 1].assign) --end;
        if (end > 0 && tokens[end - 1].text == "params:") --end;
        for (size_t k = end; k < tokens.size(); ++k)
            if (tokens[k].assign) throw SimError(line, "subcircuit parameters are not supported");
        if (end < 2) throw SimError(line, "instance " + str(tokens[0].text) + " needs nodes and a subcircuit name");
        const std::string defName = str(tokens[end - 1].text);
        auto found = defs_.find(defName);
        if (found == defs_.end()) throw SimError(line, "undefined subcircuit '" + defName + "'");
        const SubcktDef& def = *found->second;
        const size_t nodeCount = end - 2;
        if (nodeCount != def.ports.size())
            throw SimError(line, "instance " + str(tokens[0].text) + " has " + std::to_string(nodeCount) +
                                     " nodes, subcircuit " + def.name + " has " + std::to_string(def.ports.size()));
        for (const std::string& open : stack_)
            if (open == def.name) throw SimError(line, "subcircuit " + def.name + " instantiates itself");
        if (stack_.size() >= kMaxNesting) throw SimError(line, "subcircuits nested more than 100 deep");
        if (stack_.empty()) {
            // Checked before anything is built: subcircuits that double at each level would
            // otherwise fill the memory before they fail.
            const uint64_t adds = expandedElements(def, 0);
            if (adds > kMaxExpandedElements - std::min<uint64_t>(expanded_, kMaxExpandedElements))
                throw SimError(line, "subcircuit expansion creates more than " + std::to_string(kMaxExpandedElements) +
                                         " elements (at instance " + str(tokens[0].text) + " of " + def.name + ")");
            expanded_ += adds;
        }

        std::unordered_map<std::string, int> ports;
        for (size_t k = 0; k < nodeCount; ++k) ports[def.ports[k]] = parent.resolve(circuit_, tokens[1 + k].text);
        NodeScope scope;
        scope.path = parent.path.empty() ? str(tokens[0].text) : parent.path + ":" + str(tokens[0].text);
        scope.ports = &ports;
        stack_.push_back(def.name);
        for (const StoredLine& body : def.body) {
            if (body.tokens[0].text[0] == 'x') expand(body, scope);
            else addElement(circuit_, body.tokens, body.line, scope);
        }
        stack_.pop_back();
    }

private:
    static constexpr size_t kMaxNesting = 100;
    static constexpr uint64_t kMaxExpandedElements = 50'000'000;

    // Elements one instance of `def` creates, saturating just above the limit. Unknown names,
    // cycles and too deep nesting count nothing here; expand() reports them.
    uint64_t expandedElements(const SubcktDef& def, size_t depth)
    {
        if (auto known = sizes_.find(&def); known != sizes_.end()) return known->second;
        if (depth >= kMaxNesting) return 0;
        sizes_[&def] = 0;  // a cycle back to this definition adds nothing
        uint64_t total = 0;
        for (const StoredLine& body : def.body) {
            uint64_t adds = 1;
            if (body.tokens[0].text[0] == 'x') {
                adds = 0;
                size_t end = body.tokens.size();
                while (end > 0 && body.tokens[end - 1].assign) --end;
                if (end > 0 && body.tokens[end - 1].text == "params:") --end;
                if (auto child = end > 0 ? defs_.find(str(body.tokens[end - 1].text)) : defs_.end(); child != defs_.end())
                    adds = expandedElements(*child->second, depth + 1);
            }
            total = std::min(total + adds, kMaxExpandedElements + 1);
        }
        sizes_[&def] = total;
        return total;
    }

    Circuit& circuit_;
    const std::map<std::string, std::unique_ptr<SubcktDef>>& defs_;
    std::vector<std::string> stack_;
    std::unordered_map<const SubcktDef*, uint64_t> sizes_;
    uint64_t expanded_ = 0;  // elements all instances so far created
};

// Lookups of node names miss the cache: the lines a few ahead have their index slots loaded
// while the current one is handled. Guessed from the first words only; a wrong guess costs a
// wasted load and nothing else.
constexpr size_t kPrefetchDistance = 4;
[[gnu::always_inline]] inline void prefetchNodes(const Circuit& circuit, std::string_view text)
{
    if (text.empty() || text[0] == '.' || text[0] == 'x') return;
    auto isSeparator = [](char c) { return c == ' ' || c == '\t' || c == ','; };
    size_t at = 0;
    for (int word = 0; word < 3 && at < text.size(); ++word) {
        while (at < text.size() && isSeparator(text[at])) ++at;
        const size_t start = at;
        while (at < text.size() && !isSeparator(text[at])) ++at;
        if (word > 0 && at > start) circuit.nodeNames.prefetch(text.substr(start, at - start));
    }
}

// Number of the first element whose name an earlier element already has, or UINT32_MAX.
uint32_t firstDuplicateName(const std::vector<Element>& elements)
{
    size_t size = 16;
    while (size * 3 < 4 * elements.size()) size *= 2;  // at most three quarters in use
    struct Slot {
        uint32_t tag;      // upper half of the name's hash
        uint32_t element;  // UINT32_MAX: free
    };
    std::vector<Slot> slots;
    slots.reserve(size);
    prefaultElements(slots, size);
    slots.resize(size, Slot{0, UINT32_MAX});
    // Hashes are taken a few elements ahead, so that their slots are loaded by the time they
    // are probed.
    constexpr uint32_t kAhead = 8;
    uint64_t hashes[kAhead];
    auto hashOf = [&](uint32_t k) {
        const uint64_t hash = std::hash<std::string_view>{}(elements[k].name.view());
        __builtin_prefetch(&slots[hash & (size - 1)]);
        return hash;
    };
    const uint32_t count = static_cast<uint32_t>(elements.size());
    for (uint32_t k = 0; k < std::min(kAhead, count); ++k) hashes[k] = hashOf(k);
    for (uint32_t k = 0; k < count; ++k) {
        const uint64_t hash = hashes[k % kAhead];
        if (k + kAhead < count) hashes[k % kAhead] = hashOf(k + kAhead);
        const std::string_view name = elements[k].name.view();
        const uint32_t tag = static_cast<uint32_t>(hash >> 32);
        for (size_t s = hash & (size - 1);; s = (s + 1) & (size - 1)) {
            if (slots[s].element == UINT32_MAX) {
                slots[s] = {tag, k};
                break;
            }
            if (slots[s].tag == tag && elements[slots[s].element].name.view() == name) return k;
        }
    }
    return UINT32_MAX;
}

// The plain element lines of a netlist from one line on, read into a circuit of their own on
// a second thread while the first thread reads the lines before them. It stops at the first
// line it cannot take on its own: a directive, a subcircuit instance, an element value that is
// an expression, or any error (the first thread then reads that line itself and reports it).
// Its node numbers are its own, in order of first appearance, so that the first thread can
// renumber them as if it had read the lines itself.
struct LinesReadAhead {
    Circuit circuit;
    size_t end = 0;       // first line not taken
    size_t nodes = 1;     // node names and elements of the lines taken
    size_t elements = 0;
};

void readAhead(const std::vector<LogicalLine>& lines, size_t begin, LinesReadAhead& out) noexcept
{
    Circuit& local = out.circuit;
    out.end = begin;
    try {
        local.elements.reserve(lines.size() - begin);
        prefaultElements(local.elements, lines.size() - begin);
        local.nodeNames.reserve((lines.size() - begin) / 2 + 16);
        const NodeScope top;
        std::vector<Token> tokens;
        for (size_t at = begin; at < lines.size(); ++at) {
            if (at + kPrefetchDistance < lines.size()) prefetchNodes(local, lines[at + kPrefetchDistance].text);
            tokenize(lines[at].text, lines[at].line, tokens);
            if (!tokens.empty()) {
                if (tokens[0].text[0] == '.' || tokens[0].text[0] == 'x') return;
                addElement(local, tokens, lines[at].line, top);
                if (!local.deferred.empty()) return;
            }
            out.end = at + 1;
            out.nodes = local.nodeNames.size();
            out.elements = local.elements.size();
        }
    } catch (...) {  // out holds the lines before the one that failed
    }
}

// Appends what readAhead took, with its node numbers turned into the circuit's.
void mergeReadAhead(LinesReadAhead& ahead, Circuit& circuit)
{
    const NameTable& names = ahead.circuit.nodeNames;
    std::vector<int> number(ahead.nodes);
    for (size_t k = 1; k < ahead.nodes; ++k) {
        if (k + kPrefetchDistance < ahead.nodes) circuit.nodeNames.prefetch(names[static_cast<int>(k + kPrefetchDistance)]);
        number[k] = circuit.node(names[static_cast<int>(k)]);
    }
    for (size_t k = 0; k < ahead.elements; ++k) {
        Element& element = ahead.circuit.elements[k];
        for (int& node : element.nodes) node = number[node];
        circuit.elements.push_back(std::move(element));
    }
}

// Below this many lines a second thread gains less than it costs to start.
constexpr size_t kReadAheadFrom = 50000;

}  // namespace

void parseNetlist(const NetlistText& text, Circuit& circuit)
{
    const size_t count = text.lines().size();
    // The first thread also renumbers the nodes of the second one's lines: it takes the smaller part.
    parseNetlistSplitAt(text, circuit, count >= kReadAheadFrom ? count * 9 / 20 : count);
}

void parseNetlistSplitAt(const NetlistText& text, Circuit& circuit, size_t split)
{
    circuit.title = text.title();
    std::map<std::string, std::unique_ptr<SubcktDef>> defs;
    std::vector<SubcktDef*> open;  // definitions being read, innermost last
    std::vector<StoredLine> instances;
    std::vector<std::unique_ptr<SubcktDef>> repeats;
    NodeScope top;
    std::vector<Token> tokens;
    circuit.elements.reserve(text.lines().size());
    prefaultElements(circuit.elements, text.lines().size());
    circuit.nodeNames.reserve(text.lines().size() / 2 + 16);
    bool ended = false;

    const std::vector<LogicalLine>& lines = text.lines();
    LinesReadAhead ahead;
    std::jthread aheadThread;  // joined before anything leaves this function
    if (split < lines.size()) aheadThread = std::jthread([&lines, split, &ahead] { readAhead(lines, split, ahead); });
    for (size_t at = 0; at < lines.size(); ++at) {
        if (at == split && aheadThread.joinable()) {
            aheadThread.join();
            // Lines read ahead inside an unclosed .subckt belong to it, not to the top level.
            if (open.empty() && ahead.end > split) {
                mergeReadAhead(ahead, circuit);
                at = ahead.end;
                ahead = LinesReadAhead();
                if (at == lines.size()) break;
            }
        }
        const LogicalLine& logical = lines[at];
        if (at + kPrefetchDistance < lines.size()) prefetchNodes(circuit, lines[at + kPrefetchDistance].text);
        tokenize(logical.text, logical.line, tokens);
        if (tokens.empty()) continue;
        std::string_view first = tokens[0].text;
        const int line = logical.line;
        if (first == ".end") {
            ended = true;
            break;
        }
        if (first == ".subckt") {
            if (tokens.size() < 2 || tokens[1].assign) throw SimError(line, ".subckt needs a name");
            auto def = std::make_unique<SubcktDef>();
            def->name = str(tokens[1].text);
            def->line = line;
            for (size_t k = 2; k < tokens.size(); ++k) {
                if (tokens[k].assign || tokens[k].text == "params:")
                    throw SimError(line, "subcircuit parameters are not supported");
                def->ports.push_back(str(tokens[k].text));
            }
            open.push_back(def.get());
            if (defs.count(def->name)) {
                // Boards write the model of every part that uses it; equal copies are fine.
                def->repeat = true;
                repeats.push_back(std::move(def));
            } else {
                defs.emplace(def->name, std::move(def));
            }
            continue;
        }
        if (first == ".ends") {
            if (open.empty()) throw SimError(line, ".ends without .subckt");
            if (tokens.size() > 1 && tokens[1].text != open.back()->name)
                throw SimError(line, ".ends " + str(tokens[1].text) + " closes subcircuit " + open.back()->name);
            const SubcktDef* closed = open.back();
            if (closed->repeat && !sameDefinition(*defs.at(closed->name), *closed))
                throw SimError(closed->line, "subcircuit " + closed->name + " defined twice with different contents");
            open.pop_back();
            continue;
        }
        if (first[0] == '.') {
            if (!open.empty() && first != ".param")
                throw SimError(line, "directive " + str(first) + " is not allowed inside a subcircuit");
            addDirective(circuit, tokens, line);  // .param inside a subcircuit is global
            continue;
        }
        if (!open.empty()) {
            open.back()->body.push_back({line, tokens});
        } else if (first[0] == 'x') {
            instances.push_back({line, tokens});
        } else {
            addElement(circuit, tokens, line, top);
        }
    }
    (void)ended;  // a missing .end is accepted, as most simulators do
    if (!open.empty()) throw SimError(open.back()->line, "subcircuit " + open.back()->name + " has no .ends");

    Flattener flattener(circuit, defs);
    for (const StoredLine& instance : instances) flattener.expand(instance, top);

    if (!circuit.op && !circuit.ac) throw SimError(0, "no analysis: the netlist needs .op or .ac");

    // Duplicate names: the first element whose name an earlier one already has, found with an
    // open-addressing set of element numbers filled in netlist order.
    const uint32_t duplicate = firstDuplicateName(circuit.elements);
    if (duplicate != UINT32_MAX)
        throw SimError(circuit.elements[duplicate].line, "element name " + circuit.elements[duplicate].name.str() + " used twice");
}

}  // namespace korvex::sim
