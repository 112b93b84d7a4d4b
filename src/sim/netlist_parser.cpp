// The structure pass: top-level lines, .subckt definitions and their expansion.
#include "netlist_parser.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <stop_token>
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
constexpr size_t kPrefetchDistance = 8;
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

// Below this many lines a second thread gains less than it costs to start.
constexpr size_t kReadAheadFrom = 50000;

constexpr uint32_t kNoDuplicate = UINT32_MAX;

// The element names met so far, in element order, up to the first repeat: a check that runs
// while the circuit is still being built, on the second thread once its lines are taken apart,
// and is finished by the building thread.
class ElementNameSet {
public:
    explicit ElementNameSet(size_t room) : room_(room)
    {
        size_t size = 16;
        while (size * 3 < 4 * room) size *= 2;  // at most three quarters in use
        slots_.reserve(size);
        prefaultElements(slots_, size);
        slots_.resize(size, Slot{0, UINT32_MAX});
        mask_ = size - 1;
    }
    // Adds the names of the elements from checked() to end - 1, stopping at the first one an
    // earlier element has (repeat()). False, adding nothing, when end is beyond the room.
    bool addUpTo(const Element* elements, uint32_t end)
    {
        if (end > room_) return false;
        constexpr uint32_t kAhead = 8;  // hashes taken ahead, their slots loaded meanwhile
        uint64_t hashes[kAhead];
        auto ahead = [&](uint32_t k) {
            const uint64_t hash = NameTable::hashOf(elements[k].name.view());
            __builtin_prefetch(&slots_[hash & mask_]);
            return hash;
        };
        const uint32_t from = checked_;
        for (uint32_t k = from; k < std::min(from + kAhead, end); ++k) hashes[k % kAhead] = ahead(k);
        for (; checked_ < end && repeat_ == kNoDuplicate; ++checked_) {
            const uint32_t k = checked_;
            const uint64_t hash = hashes[k % kAhead];
            if (k + kAhead < end) hashes[k % kAhead] = ahead(k + kAhead);
            const std::string_view name = elements[k].name.view();
            const uint32_t tag = static_cast<uint32_t>(hash >> 32);
            size_t s = hash & mask_;
            for (; slots_[s].element != UINT32_MAX; s = (s + 1) & mask_)
                if (slots_[s].tag == tag && elements[slots_[s].element].name.view() == name) break;
            if (slots_[s].element != UINT32_MAX) {
                repeat_ = k;
                break;
            }
            slots_[s] = {tag, k};
        }
        return true;
    }
    uint32_t checked() const { return checked_; }
    uint32_t repeat() const { return repeat_; }  // kNoDuplicate: none so far

private:
    struct Slot {
        uint32_t tag;      // upper half of the name's hash
        uint32_t element;  // UINT32_MAX: free
    };
    size_t room_;
    std::vector<Slot> slots_;
    size_t mask_ = 0;
    uint32_t checked_ = 0;  // elements whose names are in the set
    uint32_t repeat_ = kNoDuplicate;
};

// Number of the first element whose name an earlier element already has, or kNoDuplicate.
uint32_t firstDuplicateName(const std::vector<Element>& elements)
{
    ElementNameSet names(elements.size());
    names.addUpTo(elements.data(), static_cast<uint32_t>(elements.size()));
    return names.repeat();
}

// A plain element line, "r12 n1 n2 0.5": R, C, L, V or I, two nodes and a number, nothing else.
// Such lines are nearly all of a large netlist. They are taken apart ahead of the building,
// mostly on a second thread, with the hashes of their node names, so that the thread that
// builds the circuit only numbers the nodes and stores the element. Every other line goes
// through tokenize() and addElement(), and so does a plain line inside a .subckt.
struct PlainLine {
    double value;
    uint64_t nodeHash[2];   // NameTable::hashOf() of the node names
    uint16_t nodeAt[2];     // where the node names begin in the line
    uint8_t nodeLength[2];  // 0: ground ("0" or "gnd")
    uint8_t nameLength;     // 0: not a plain line
    ElementKind kind;
};

// Separators of tokenize() (blanks and commas), and the characters that make it group and
// join tokens ("=(){}"): a line with one of those is not plain.
constexpr std::array<uint8_t, 256> kCharClass = [] {
    std::array<uint8_t, 256> table{};
    for (unsigned char c : std::string_view(" \t\r\n\v\f,")) table[c] = 1;
    for (unsigned char c : std::string_view("=(){}")) table[c] = 2;
    return table;
}();

// Fills plain from a logical line, or marks the line as not plain. The same as addElement()
// makes of the line at the top level: four tokens, the value a number in every form
// parseSpiceNumber() reads (for a source the DC value, "dc" and "ac" not being numbers).
void takePlainLine(std::string_view text, PlainLine& plain)
{
    plain.nameLength = 0;
    if (text.size() > UINT16_MAX) return;
    switch (text.empty() ? ' ' : text[0]) {
    case 'r': plain.kind = ElementKind::Resistor; break;
    case 'c': plain.kind = ElementKind::Capacitor; break;
    case 'l': plain.kind = ElementKind::Inductor; break;
    case 'v': plain.kind = ElementKind::VoltageSource; break;
    case 'i': plain.kind = ElementKind::CurrentSource; break;
    default: return;
    }
    const char* chars = text.data();
    const size_t size = text.size();
    size_t begins[4], ends[4];
    int count = 0;
    for (size_t at = 0;;) {
        while (at < size && kCharClass[static_cast<unsigned char>(chars[at])] == 1) ++at;
        if (at == size) break;
        if (count == 4) return;
        begins[count] = at;
        while (at < size && kCharClass[static_cast<unsigned char>(chars[at])] == 0) ++at;
        if (at < size && kCharClass[static_cast<unsigned char>(chars[at])] == 2) return;
        ends[count++] = at;
    }
    if (count != 4 || ends[0] > UINT8_MAX) return;
    if (!parseSpiceNumber(text.substr(begins[3], ends[3] - begins[3]), plain.value)) return;
    for (int k = 0; k < 2; ++k) {
        const std::string_view node = text.substr(begins[k + 1], ends[k + 1] - begins[k + 1]);
        if (node.size() > UINT8_MAX) return;
        plain.nodeAt[k] = static_cast<uint16_t>(begins[k + 1]);
        if (node == "0" || node == "gnd") {
            plain.nodeLength[k] = 0;
        } else {
            plain.nodeLength[k] = static_cast<uint8_t>(node.size());
            plain.nodeHash[k] = NameTable::hashOf(node);
        }
    }
    plain.nameLength = static_cast<uint8_t>(ends[0]);
}

// What addElement() does with a plain line at the top level.
void addPlainElement(Circuit& circuit, const LogicalLine& logical, const PlainLine& plain)
{
    Element& element = circuit.elements.emplace_back();
    element.kind = plain.kind;
    element.line = logical.line;
    element.name = ElementName(logical.text.substr(0, plain.nameLength));
    for (int k = 0; k < 2; ++k)
        if (plain.nodeLength[k] != 0)
            element.nodes[k] = circuit.nodeNames.add(logical.text.substr(plain.nodeAt[k], plain.nodeLength[k]), plain.nodeHash[k]);
    element.values[kValue] = plain.value;
}

// The lines from one on taken apart in chunks, by the second thread in line order and by the
// building thread for a chunk it reaches before the second thread is done with it (so that a
// second thread that gets no core delays nothing). Either way a chunk's lines come out the
// same: the circuit does not depend on which thread took which chunk.
class LinesAhead {
public:
    static constexpr size_t kChunk = 1024;

    LinesAhead(const std::vector<LogicalLine>& lines, size_t begin)
        : lines_(lines), begin_(std::min(begin, lines.size())),
          chunks_((lines.size() - begin_ + kChunk - 1) / kChunk),
          plains_(new PlainLine[lines.size() - begin_]),  // left unwritten: each chunk fills its own
          states_(new std::atomic<uint8_t>[chunks_])
    {
        for (size_t c = 0; c < chunks_; ++c) states_[c].store(kFree, std::memory_order_relaxed);
    }

    // The second thread: every chunk not yet claimed, in order, then the names of the elements
    // built so far (see built()), until asked to stop. First it maps in the block the elements
    // are about to be written to (which the building thread would otherwise wait for) and its
    // own. The elements stay where they are while the lines are read: a line makes one element
    // at most, and the block has room for one per line.
    void run(const std::stop_token& stop, const Element* elements, size_t room)
    {
        prefaultForWriting(elements, room * sizeof(Element));
        prefaultForWriting(plains_.get(), (lines_.size() - begin_) * sizeof(PlainLine));
        for (size_t c = 0; c < chunks_ && !stop.stop_requested(); ++c) {
            uint8_t expected = kFree;
            if (!states_[c].compare_exchange_strong(expected, kTaken, std::memory_order_acquire)) continue;
            take(c, plains_.get() + c * kChunk);
            states_[c].store(kDone, std::memory_order_release);
        }
        if (stop.stop_requested()) return;
        names_.emplace(room);
        while (!stop.stop_requested() && names_->repeat() == kNoDuplicate) {
            const uint32_t built = built_.load(std::memory_order_acquire);
            if (built > names_->checked()) names_->addUpTo(elements, built);
            else std::this_thread::yield();
        }
    }
    // The building thread: the first `count` elements are complete.
    void built(size_t count) { built_.store(static_cast<uint32_t>(count), std::memory_order_release); }
    // The names the second thread has checked, once it has stopped; empty if it got no further
    // than the lines.
    std::optional<ElementNameSet>& names() { return names_; }
    // The plain lines of the chunk of line `at` (>= begin()): the second thread's when it has
    // finished them, else taken here (into `own` when the second thread is still at them, which
    // happens only when it got no core for a while); its first line is at *first, the line after
    // its last at *end.
    const PlainLine* chunkOf(size_t at, std::vector<PlainLine>& own, size_t& first, size_t& end)
    {
        const size_t c = (at - begin_) / kChunk;
        first = begin_ + c * kChunk;
        end = std::min(first + kChunk, lines_.size());
        // Claimed here (the second thread then skips it) unless the second thread has it.
        uint8_t state = kFree;
        if (states_[c].compare_exchange_strong(state, kTaken, std::memory_order_acquire) || state != kDone) {
            take(c, own.data());
            return own.data();
        }
        return plains_.get() + (first - begin_);
    }

private:
    static constexpr uint8_t kFree = 0, kTaken = 1, kDone = 2;
    void take(size_t c, PlainLine* plains) const
    {
        const size_t first = begin_ + c * kChunk, end = std::min(first + kChunk, lines_.size());
        for (size_t at = first; at < end; ++at) takePlainLine(lines_[at].text, plains[at - first]);
    }

    const std::vector<LogicalLine>& lines_;
    size_t begin_;
    size_t chunks_;
    std::unique_ptr<PlainLine[]> plains_;
    std::unique_ptr<std::atomic<uint8_t>[]> states_;
    std::atomic<uint32_t> built_{0};
    std::optional<ElementNameSet> names_;
};

}  // namespace

void parseNetlist(const NetlistText& text, Circuit& circuit)
{
    const size_t count = text.lines().size();
    // The building thread takes its first lines apart itself while the second thread starts
    // ahead of it; later it only builds, from the second thread's chunks.
    parseNetlistSplitAt(text, circuit, count >= kReadAheadFrom ? count / 5 : count);
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
    const std::vector<LogicalLine>& lines = text.lines();
    // Room for an element per line: the elements stay in place while the lines are read.
    const size_t elementRoom = circuit.elements.size() + lines.size();
    circuit.elements.reserve(elementRoom);
    // A mesh has about one node for two elements, of a dozen characters or so.
    const size_t nodesExpected = lines.size() * 9 / 16 + 16;
    circuit.nodeNames.reserve(nodesExpected, nodesExpected * 12);
    bool ended = false;

    // The lines from `split` on are taken apart by a second thread, those before it here, a
    // chunk at a time.
    std::optional<LinesAhead> ahead;
    std::jthread aheadThread;  // stopped and joined before anything leaves this function
    if (split < lines.size()) {
        ahead.emplace(lines, split);
        aheadThread = std::jthread([&ahead, data = circuit.elements.data(), elementRoom](std::stop_token stop) {
            ahead->run(stop, data, elementRoom);
        });
    } else {
        prefaultElements(circuit.elements, elementRoom);
    }
    std::vector<PlainLine> own(LinesAhead::kChunk);
    const PlainLine* plains = nullptr;  // of the lines chunkFirst ... chunkEnd - 1
    size_t chunkFirst = 0, chunkEnd = 0;
    for (size_t at = 0; at < lines.size(); ++at) {
        if (at == chunkEnd) {
            if (at < split) {
                chunkFirst = at;
                chunkEnd = std::min({at + LinesAhead::kChunk, split, lines.size()});
                for (size_t k = at; k < chunkEnd; ++k) takePlainLine(lines[k].text, own[k - at]);
                plains = own.data();
            } else {
                plains = ahead->chunkOf(at, own, chunkFirst, chunkEnd);
            }
            if (ahead) ahead->built(circuit.elements.size());
        }
        const LogicalLine& logical = lines[at];
        // The index slots of the node names a few lines ahead: their lookups then find them in cache.
        if (at + 2 * kPrefetchDistance < chunkEnd) {
            const PlainLine& next = plains[at + 2 * kPrefetchDistance - chunkFirst];
            if (next.nameLength == 0) prefetchNodes(circuit, lines[at + 2 * kPrefetchDistance].text);
            else
                for (int k = 0; k < 2; ++k)
                    if (next.nodeLength[k] != 0) circuit.nodeNames.prefetchHash(next.nodeHash[k]);
        }
        // Their slots loaded by now, the characters of the names in them are loaded too.
        if (at + kPrefetchDistance < chunkEnd) {
            const PlainLine& next = plains[at + kPrefetchDistance - chunkFirst];
            if (next.nameLength != 0)
                for (int k = 0; k < 2; ++k)
                    if (next.nodeLength[k] != 0) circuit.nodeNames.prefetchCharacters(next.nodeHash[k]);
        }
        const PlainLine& plain = plains[at - chunkFirst];
        if (plain.nameLength != 0 && open.empty()) {
            addPlainElement(circuit, logical, plain);
            continue;
        }
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
    if (aheadThread.joinable()) {  // after .end the lines left are not needed
        aheadThread.request_stop();
        aheadThread.join();
    }
    (void)ended;  // a missing .end is accepted, as most simulators do
    if (!open.empty()) throw SimError(open.back()->line, "subcircuit " + open.back()->name + " has no .ends");

    Flattener flattener(circuit, defs);
    for (const StoredLine& instance : instances) flattener.expand(instance, top);

    if (!circuit.op && !circuit.ac) throw SimError(0, "no analysis: the netlist needs .op or .ac");

    // Duplicate names: the first element whose name an earlier one already has, found with an
    // open-addressing set of element numbers filled in netlist order.
    // The check the second thread began goes on from where it stopped, if the set has room.
    ElementNameSet* names = ahead && ahead->names() ? &*ahead->names() : nullptr;
    const uint32_t elementCount = static_cast<uint32_t>(circuit.elements.size());
    const uint32_t duplicate = names && names->addUpTo(circuit.elements.data(), elementCount)
                                   ? names->repeat()
                                   : firstDuplicateName(circuit.elements);
    if (duplicate != kNoDuplicate)
        throw SimError(circuit.elements[duplicate].line, "element name " + circuit.elements[duplicate].name.str() + " used twice");
}

}  // namespace korvex::sim
