// The flattened circuit: nodes, elements with their values, parameters, analyses and outputs.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <string>
#include <unordered_map>
#include <vector>

#include "expression.h"
#include "name_table.h"

namespace korvex::sim {

enum class ElementKind : uint8_t { Resistor, Capacitor, Inductor, VoltageSource, CurrentSource, TLine };

// Value slots of an element, by kind.
enum ValueSlot : uint8_t {
    kValue = 0,  // R: ohms; C: farads; L: henries
    kRser = 1,   // C, L: series resistance
    kLser = 2,   // C: series inductance
    kCpar = 3,   // C, L: parallel capacitance
    kRpar = 4,   // C, L: parallel resistance (0: none)
    kDc = 0,     // V, I: DC value
    kAcMag = 1,  // V, I: AC amplitude
    kAcPhase = 2,  // V, I: AC phase in degrees
    kSrcRser = 3,  // V: series resistance (0: ideal)
    kTd = 0,       // T: delay in seconds
    kZ0 = 1,       // T: characteristic impedance
};
constexpr int kValueSlots = 5;

// The value slots of an element, all 0 until set: the first inline, the others in a block
// made when one of them is first set. Resistors, most elements of a mesh, never make one.
class ElementValues {
public:
    ElementValues() = default;
    ElementValues(const ElementValues& other) { *this = other; }
    ElementValues(ElementValues&&) noexcept = default;
    ElementValues& operator=(const ElementValues& other)
    {
        first_ = other.first_;
        rest_.reset();
        if (other.rest_) {
            rest_ = std::make_unique<double[]>(kValueSlots - 1);
            std::copy(other.rest_.get(), other.rest_.get() + kValueSlots - 1, rest_.get());
        }
        return *this;
    }
    ElementValues& operator=(ElementValues&&) noexcept = default;

    double operator[](int slot) const { return slot == 0 ? first_ : rest_ ? rest_[slot - 1] : 0.0; }
    double& operator[](int slot)
    {
        if (slot == 0) return first_;
        if (!rest_) rest_ = std::make_unique<double[]>(kValueSlots - 1);  // zeroed
        return rest_[slot - 1];
    }

private:
    double first_ = 0;
    std::unique_ptr<double[]> rest_;
};

// An element name in 16 bytes: up to 15 characters inline (the length in the last byte), longer
// names on the heap. A mesh has millions of elements with names of a dozen characters.
class ElementName {
public:
    ElementName() { bytes_[kTag] = 0; }
    ElementName(std::string_view text) { assign(text); }
    ElementName(const ElementName& other) { assign(other.view()); }
    ElementName(ElementName&& other) noexcept
    {
        std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        other.bytes_[kTag] = 0;
    }
    ElementName& operator=(const ElementName& other)
    {
        if (this != &other) {
            const std::string copy(other.view());
            release();
            assign(copy);
        }
        return *this;
    }
    ElementName& operator=(ElementName&& other) noexcept
    {
        if (this != &other) {
            release();
            std::memcpy(bytes_, other.bytes_, sizeof bytes_);
            other.bytes_[kTag] = 0;
        }
        return *this;
    }
    ~ElementName() { release(); }

    std::string_view view() const
    {
        if (!onHeap()) return std::string_view(bytes_, static_cast<unsigned char>(bytes_[kTag]));
        char* data;
        uint32_t size;
        std::memcpy(&data, bytes_, sizeof data);
        std::memcpy(&size, bytes_ + sizeof data, sizeof size);
        return std::string_view(data, size);
    }
    operator std::string_view() const { return view(); }
    std::string str() const { return std::string(view()); }
    bool operator==(const ElementName& other) const { return view() == other.view(); }

private:
    static constexpr int kTag = 15;
    static constexpr unsigned char kHeap = 0xff;
    bool onHeap() const { return static_cast<unsigned char>(bytes_[kTag]) == kHeap; }
    void assign(std::string_view text)
    {
        if (text.size() <= kTag) {  // bytes 0 ... 14 hold the characters
            std::memcpy(bytes_, text.data(), text.size());
            bytes_[kTag] = static_cast<char>(text.size());
            return;
        }
        char* data = new char[text.size()];
        std::memcpy(data, text.data(), text.size());
        const uint32_t size = static_cast<uint32_t>(text.size());
        std::memcpy(bytes_, &data, sizeof data);
        std::memcpy(bytes_ + sizeof data, &size, sizeof size);
        bytes_[kTag] = static_cast<char>(kHeap);
    }
    void release()
    {
        if (onHeap()) delete[] view().data();
        bytes_[kTag] = 0;
    }
    char bytes_[16];
};

struct Element {
    ElementKind kind = ElementKind::Resistor;
    int nodes[4] = {0, 0, 0, 0};  // circuit node indices; 0 is ground
    int line = 0;                 // netlist line
    ElementValues values;         // by ValueSlot
    ElementName name;             // lower case; flattened names carry the instance path
    int nodeCount() const { return kind == ElementKind::TLine ? 4 : 2; }
};

// An element value given as an expression, re-evaluated at every step.
struct DeferredValue {
    uint32_t element;
    uint8_t slot;
    uint32_t expr;
};

struct ExprTable {
    std::vector<ExprPtr> exprs;
    std::vector<int> lines;  // line of the first use
    std::unordered_map<std::string, uint32_t> byText;
    uint32_t intern(std::string_view text, int line);
};

struct ParamDef {
    uint32_t expr;
    int line;
};

// .step param NAME START STOP INCR, or .step param NAME list V1 V2 ...; arguments are expressions.
struct StepSpec {
    bool active = false;
    bool list = false;
    std::string param;
    std::vector<uint32_t> args;
    int line = 0;
};

struct AcSpec {
    enum class Sweep { Dec, Oct, Lin, List } sweep = Sweep::Dec;
    std::vector<uint32_t> args;  // expressions: points, start, stop; or the list of frequencies
    int line = 0;
};

// .net directive: one port (source only) or two ports (output resistor and source).
struct NetSpec {
    std::string source;  // element name of the driving source
    std::string output;  // two-port: the terminating resistor; empty for one port
    int line = 0;
    double rin = 0;      // reference impedances given on the line (0: from the elements)
    double rout = 0;
};

struct SaveSpec {
    enum class Kind { Voltage, Current, Network } kind = Kind::Voltage;
    std::string target;    // node, element or .net source (lower case)
    std::string quantity;  // network: "zin", "s11", "s21", "s12", "s22"
    int line = 0;
};

struct Options {
    double gshunt = 0.0;
    int numdgt = 6;
};

struct Circuit {
    Circuit() { nodeNames.add("0"); }
    std::string title;
    NameTable nodeNames;  // index 0 is ground ("0" and "gnd")
    std::vector<Element> elements;
    std::unordered_map<std::string, uint32_t> elementIndex;  // filled by indexElements()
    std::vector<DeferredValue> deferred;
    ExprTable exprTable;
    std::unordered_map<std::string, ParamDef> params;
    StepSpec step;
    bool op = false;
    int opLine = 0;
    bool ac = false;
    AcSpec acSpec;
    std::vector<NetSpec> nets;
    std::vector<SaveSpec> saves;
    Options options;

    // Index of a node, added when new.
    int node(std::string_view name);
    // Index of an existing node, or -1.
    int findNode(std::string_view name) const;
    // After the last lookup of a node by name: frees the index of the names (the names stay).
    void releaseNodeIndex() { nodeNames.releaseIndex(); }
    // Builds elementIndex when first needed (.save of currents, .net): large DC netlists
    // without such lines skip the cost.
    void indexElements();
    int nodeCount() const { return static_cast<int>(nodeNames.size()); }
};

// Name of an element as it appears in the RAW file: first letter upper case, rest lower case.
std::string rawElementName(std::string_view name);

}  // namespace korvex::sim
