#include "jobs/board_checks.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <vector>

#include "board/part_records.h"
#include "netlist/ac_job.h"

namespace korvex {
namespace {

struct Terminal {
    uint32_t x, y, layer;
    const char* net;  // a net name replacing the position, or empty
};

template <class T>
void TwoEnds(const T& r, std::vector<Terminal>* out)
{
    out->push_back({r.Net1X, r.Net1Y, r.Net1Z, ""});
    out->push_back({r.Net2X, r.Net2Y, r.Net2Z, ""});
}

// The terminals that must sit on copper, in the order end 1, end 2.
std::vector<Terminal> CopperTerminals(const Part* p)
{
    std::vector<Terminal> t;
    switch (p->Kind) {
    case PART_CURRENT: {
        const auto* r = PartRecord<Current>(p);
        t = {{r->Net1X, r->Net1Y, r->Net1Z, r->Net1Name}, {r->Net2X, r->Net2Y, r->Net2Z, r->Net2Name}};
        break;
    }
    case PART_RESISTOR: {
        const auto* r = PartRecord<Resistor>(p);
        t = {{r->Net1X, r->Net1Y, r->Net1Z, r->Net1Name}, {r->Net2X, r->Net2Y, r->Net2Z, r->Net2Name}};
        break;
    }
    case PART_SERIESSUBCIRCUIT: TwoEnds(*PartRecord<SeriesSubCircuit>(p), &t); break;
    case PART_PORT: {
        const auto* r = PartRecord<Port>(p);
        t = {{r->x, r->y, r->Layer, ""}};
        break;
    }
    case PART_CAP: {
        const auto* r = PartRecord<Cap>(p);
        t = {{r->x, r->y, r->Layer, ""}};
        break;
    }
    case PART_SUBCIRCUIT: {
        const auto* r = PartRecord<SubCircuit>(p);
        t = {{r->x, r->y, r->Layer, ""}};
        break;
    }
    default: break;
    }
    return t;
}

std::string At(uint32_t x, uint32_t y) { return "(" + std::to_string(x) + ", " + std::to_string(y) + ")"; }

std::string OutsideReason(const SimMatrix& b, uint32_t x, uint32_t y, uint32_t layer, bool checkLayer)
{
    if (x >= b.CountPixelX || y >= b.CountPixelY)
        return "lies off the board at " + At(x, y) + " (the board has " + std::to_string(b.CountPixelX) + " x " +
               std::to_string(b.CountPixelY) + " pixels)";
    if (checkLayer && layer >= static_cast<uint32_t>(b.LayerCount))
        return "is on layer index " + std::to_string(layer) + ", the board has layers 0 ... " +
               std::to_string(b.LayerCount - 1);
    return {};
}

// Connected copper, 4-neighbourhood within a layer. Each column of a layer is
// cut into runs of copper pixels; a run joins every run of the previous column
// that shares a row with it. Islands are numbered 0 ... Count() - 1.
class CopperIslands {
public:
    explicit CopperIslands(const SimMatrix& b)
        : nx_(b.CountPixelX), ny_(b.CountPixelY), layers_(static_cast<uint32_t>(std::max(b.LayerCount, 0)))
    {
        const int layers = static_cast<int>(layers_);
        // Columns in memory order: x, then layer; a column's runs end where the next column's begin.
        columnStart_.assign(static_cast<size_t>(layers_) * nx_ + 1, 0);
        std::vector<int> parent;
        const auto root = [&parent](int a) {
            while (parent[a] != a) a = parent[a] = parent[parent[a]];
            return a;
        };
        for (uint32_t x = 0; x < nx_; ++x)
            for (int l = 0; l < layers; ++l) {
                const size_t column = static_cast<size_t>(x) * layers_ + static_cast<size_t>(l);
                columnStart_[column] = runs_.size();
                // The previous column's runs of this layer, in row order.
                size_t previous = 0, previousEnd = 0;
                if (x > 0) {
                    previous = columnStart_[column - layers_];
                    previousEnd = columnStart_[column - layers_ + 1];
                }
                for (uint32_t y = 0; y < ny_;) {
                    if (!HasCopper(b, x, y, l)) {
                        ++y;
                        continue;
                    }
                    uint32_t last = y;
                    while (last + 1 < ny_ && HasCopper(b, x, last + 1, l)) ++last;
                    const int id = static_cast<int>(runs_.size());
                    runs_.push_back({y, last});
                    parent.push_back(id);
                    while (previous < previousEnd && runs_[previous].last < y) ++previous;
                    // Runs that share a row; the last one may reach into the next run too.
                    for (size_t p = previous; p < previousEnd && runs_[p].first <= last; ++p)
                        parent[root(id)] = root(static_cast<int>(p));
                    y = last + 1;
                }
            }
        columnStart_.back() = runs_.size();
        island_.assign(runs_.size(), -1);
        std::vector<int> number(runs_.size(), -1);
        for (size_t r = 0; r < runs_.size(); ++r) {
            int& n = number[static_cast<size_t>(root(static_cast<int>(r)))];
            if (n < 0) n = count_++;
            island_[r] = n;
        }
    }
    int Count() const { return count_; }
    // The island at a pixel, -1 without copper.
    int At(uint32_t x, uint32_t y, uint32_t layer) const
    {
        if (x >= nx_ || y >= ny_ || layer >= layers_) return -1;
        const size_t column = static_cast<size_t>(x) * layers_ + layer;
        for (size_t r = columnStart_[column]; r < columnStart_[column + 1]; ++r)
            if (runs_[r].first <= y && y <= runs_[r].last) return island_[r];
        return -1;
    }

private:
    struct Run {
        uint32_t first, last;  // rows, inclusive
    };
    uint32_t nx_, ny_, layers_;
    std::vector<Run> runs_;
    std::vector<size_t> columnStart_;
    std::vector<int> island_;
    int count_ = 0;
};

class UnionFind {
public:
    int Add()
    {
        parent_.push_back(static_cast<int>(parent_.size()));
        return parent_.back();
    }
    void Resize(int n)
    {
        while (static_cast<int>(parent_.size()) < n) Add();
    }
    int Find(int a)
    {
        while (parent_[a] != a) a = parent_[a] = parent_[parent_[a]];
        return a;
    }
    void Join(int a, int b) { parent_[Find(a)] = Find(b); }

private:
    std::vector<int> parent_;
};

bool HasPort(const SimMatrix& b, uint32_t id) { return GetPartfromID(&b, PART_PORT, id) != nullptr; }

uint32_t CountKind(const SimMatrix& b, uint32_t kind)
{
    uint32_t n = 0;
    for (const Part* p = b.pFirstPart; p != nullptr; p = p->pNext) n += p->Kind == kind;
    return n;
}

}  // namespace

std::string PartLabel(const SimMatrix& board, const Part* part)
{
    int index = 1;
    for (const Part* p = board.pFirstPart; p != nullptr && p != part; p = p->pNext) ++index;
    const char* kind = PartKindName(part->Kind);
    return "part " + std::to_string(index) + " (" + (kind ? kind : "unknown") + ")";
}

namespace {
std::string CheckPart(const SimMatrix& b, const Part* p, bool copperUnderTerminals)
{
    std::string why;
    switch (p->Kind) {
    case PART_VIA: why = OutsideReason(b, PartRecord<Via>(p)->x, PartRecord<Via>(p)->y, 0, false); break;
    case PART_HEATSOURCE:
    case PART_HEATSINK: {
        uint32_t ax, ay, az, bx, by, bz;
        if (p->Kind == PART_HEATSOURCE) {
            const auto* r = PartRecord<HeatSource>(p);
            ax = r->RectAX, ay = r->RectAY, az = r->RectAZ, bx = r->RectBX, by = r->RectBY, bz = r->RectBZ;
        } else {
            const auto* r = PartRecord<HeatSink>(p);
            ax = r->RectAX, ay = r->RectAY, az = r->RectAZ, bx = r->RectBX, by = r->RectBY, bz = r->RectBZ;
        }
        why = OutsideReason(b, ax, ay, az, true);
        if (why.empty()) why = OutsideReason(b, bx, by, bz, true);
        break;
    }
    default:
        for (const Terminal& t : CopperTerminals(p)) {
            if (t.net[0] != '\0') continue;
            why = OutsideReason(b, t.x, t.y, t.layer, true);
            if (why.empty() && copperUnderTerminals && b.CopperMatrix != nullptr && !HasCopper(b, t.x, t.y, static_cast<int>(t.layer)))
                why = "has a terminal at " + At(t.x, t.y) + " on Layer" + std::to_string(t.layer + 1) +
                      " where there is no copper";
            if (!why.empty()) break;
        }
        break;
    }
    return why.empty() ? why : PartLabel(b, p) + " " + why;
}
}  // namespace

std::string CheckPartPlacement(const SimMatrix& board, const Part* part) { return CheckPart(board, part, true); }

std::string CheckPartPosition(const SimMatrix& board, const Part* part) { return CheckPart(board, part, false); }

std::string CheckBoardParts(const SimMatrix& b)
{
    bool copper = false;
    for (uint32_t x = 0; x < b.CountPixelX && !copper; ++x)
        for (uint32_t y = 0; y < b.CountPixelY && !copper; ++y)
            for (int l = 0; l < b.LayerCount && !copper; ++l) copper = HasCopper(b, x, y, l);
    if (!copper) return "the board has no copper on any layer";
    for (const Part* p = b.pFirstPart; p != nullptr; p = p->pNext)
        if (std::string why = CheckPartPlacement(b, p); !why.empty()) return why;
    return {};
}

std::string CheckDcConnections(const SimMatrix& b)
{
    const CopperIslands islands(b);
    UnionFind groups;
    groups.Resize(islands.Count());
    std::map<std::string, int> nets;
    const auto node = [&](const Terminal& t) {
        if (t.net[0] != '\0') {
            auto [it, added] = nets.try_emplace(t.net, 0);
            if (added) it->second = groups.Add();
            return it->second;
        }
        return islands.At(t.x, t.y, t.layer);  // on copper: checked by CheckBoardParts
    };
    const int ground = node({0, 0, 0, "0"});
    for (const Part* p = b.pFirstPart; p != nullptr; p = p->pNext) {
        if (p->Kind == PART_VIA) {
            const auto* v = PartRecord<Via>(p);
            int first = -1;
            for (int l = 0; l < b.LayerCount; ++l) {
                const int island = islands.At(v->x, v->y, static_cast<uint32_t>(l));
                if (island < 0) continue;
                if (first < 0) first = island;
                groups.Join(first, island);
            }
        } else if (p->Kind == PART_RESISTOR || p->Kind == PART_SERIESSUBCIRCUIT) {
            const std::vector<Terminal> ends = CopperTerminals(p);
            const int a = node(ends[0]), c = node(ends[1]);
            if (a >= 0 && c >= 0) groups.Join(a, c);
        }
    }
    bool grounded = false;
    for (int i = 0; i < islands.Count() && !grounded; ++i) grounded = groups.Find(i) == groups.Find(ground);
    if (!grounded)
        return "the board has no connection to ground: add a resistor from the copper to net \"0\"";
    for (const Part* p = b.pFirstPart; p != nullptr; p = p->pNext) {
        if (p->Kind != PART_CURRENT) continue;
        const std::vector<Terminal> ends = CopperTerminals(p);
        const int a = node(ends[0]), c = node(ends[1]);
        if (a < 0 || c < 0) continue;
        const bool aGround = groups.Find(a) == groups.Find(ground), cGround = groups.Find(c) == groups.Find(ground);
        if (aGround && cGround) continue;
        if (groups.Find(a) == groups.Find(c))
            return PartLabel(b, p) + ": its copper has no path to ground";
        return PartLabel(b, p) + ": its ends lie in different copper islands and end " + (aGround ? "2" : "1") +
               " has no path to ground, so its current has no return path";
    }
    return {};
}

std::string CheckAcPorts(const SimMatrix& b, uint32_t mode, uint32_t source, uint32_t termination)
{
    switch (mode) {
    case AC_MODE_ZIN_OF_PORTS:
        if (CountKind(b, PART_PORT) == 0) return "the board has no port to compute Zin at";
        break;
    case AC_MODE_S21:
        if (!HasPort(b, source)) return "the board has no port " + std::to_string(source) + " to drive";
        if (!HasPort(b, termination)) return "the board has no port " + std::to_string(termination) + " to terminate";
        if (source == termination) return "source and termination must be different ports";
        break;
    case AC_MODE_NOISE_TRANSFER:
    case AC_MODE_CURRENT_NOISE_TRANSFER:
        if (!HasPort(b, source)) return "the board has no port " + std::to_string(source) + " to drive";
        if (CountKind(b, PART_PORT) < 2) return "the noise transfer needs a second port to observe";
        break;
    case AC_MODE_CURRENT_DENSITY_AT_F:
    case AC_MODE_VOLTAGE_NOISE_AT_F:
        if (!HasPort(b, 0)) return "this analysis drives the port with ID 0, and the board has none";
        break;
    case AC_MODE_CAPACITOR_SPARAMETERS:
        if (!HasPort(b, source)) return "the board has no port " + std::to_string(source) + " to drive";
        if (GetPartfromID(&b, PART_CAP, termination) == nullptr)
            return "the board has no capacitor " + std::to_string(termination) + " to terminate";
        break;
    default: break;
    }
    return {};
}

}  // namespace korvex
