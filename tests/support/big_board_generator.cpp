#include "support/big_board_generator.h"

#include <algorithm>
#include <array>
#include <vector>

#include "board/part_list.h"
#include "board/sim_matrix.h"
#include "support/generator_tools.h"

namespace korvex {

namespace {

using generator::Dice;
using generator::U;
using Copper = generator::CopperPaint;

constexpr int kTop = 0, kGroundA = 1, kInner1 = 2, kPowerA = 3, kPowerB = 4, kGroundB = 5, kInner2 = 6, kBottom = 7;
constexpr std::array<int, 4> kPlanes = {kGroundA, kPowerA, kPowerB, kGroundB};

// 4-connected copper islands of the four plane layers, joined through vias
// and ground connections. Only these layers count, so "grounded" here never
// claims more than the board's full connectivity gives.
class PlaneIslands {
public:
    explicit PlaneIslands(const Copper& c) : c_(c), label_(size_t(c.nx) * c.nx * kPlanes.size(), -1)
    {
        std::vector<int64_t> stack;
        for (size_t p = 0; p < kPlanes.size(); ++p)
            for (int64_t x = 0; x < c.nx; ++x)
                for (int64_t y = 0; y < c.nx; ++y) {
                    if (!c.At(x, y, kPlanes[p]) || label_[Index(x, y, p)] >= 0) continue;
                    const int island = static_cast<int>(parent_.size());
                    parent_.push_back(island);
                    size_.push_back(0);
                    label_[Index(x, y, p)] = island;
                    stack.push_back(x * c.nx + y);
                    while (!stack.empty()) {
                        const int64_t px = stack.back() / c.nx, py = stack.back() % c.nx;
                        stack.pop_back();
                        ++size_[island];
                        const auto visit = [&](int64_t vx, int64_t vy) {
                            if (vx < 0 || vy < 0 || vx >= c.nx || vy >= c.nx || !c.At(vx, vy, kPlanes[p])) return;
                            if (label_[Index(vx, vy, p)] >= 0) return;
                            label_[Index(vx, vy, p)] = island;
                            stack.push_back(vx * c.nx + vy);
                        };
                        visit(px + 1, py), visit(px - 1, py), visit(px, py + 1), visit(px, py - 1);
                    }
                }
        grounded_.assign(parent_.size(), false);
    }
    // -1 without copper.
    int At(int64_t x, int64_t y, int layer) const
    {
        const auto p = std::find(kPlanes.begin(), kPlanes.end(), layer) - kPlanes.begin();
        return label_[Index(x, y, size_t(p))];
    }
    int64_t Size(int island) const { return size_[island]; }
    void JoinVia(int64_t x, int64_t y)
    {
        int first = -1;
        for (int layer : kPlanes) {
            const int island = At(x, y, layer);
            if (island < 0) continue;
            if (first < 0) first = island;
            const int a = Find(first), b = Find(island);
            parent_[b] = a;
            grounded_[a] = grounded_[a] || grounded_[b];
        }
    }
    void Ground(int island) { grounded_[Find(island)] = true; }
    bool Grounded(int island) { return island >= 0 && grounded_[Find(island)]; }

private:
    size_t Index(int64_t x, int64_t y, size_t p) const { return (size_t(x) * c_.nx + y) * kPlanes.size() + p; }
    int Find(int i)
    {
        while (parent_[i] != i) i = parent_[i] = parent_[parent_[i]];
        return i;
    }
    const Copper& c_;
    std::vector<int> label_, parent_;
    std::vector<int64_t> size_;
    std::vector<bool> grounded_;
};

void DrawPlanes(Copper& c, Dice& dice)
{
    const int64_t n = c.nx, margin = n / 200, gap = 8;
    for (int layer : kPlanes) c.Fill(margin, margin, n - 1 - margin, n - 1 - margin, layer, 1.0f);
    // Power A: a vertical split, its right part split again across; power B the other way round.
    const int64_t ax = dice.Range(3 * n / 10, 6 * n / 10), ay = dice.Range(3 * n / 10, 7 * n / 10);
    c.Fill(ax, 0, ax + gap - 1, n - 1, kPowerA, 0.0f);
    c.Fill(ax, ay, n - 1, ay + gap - 1, kPowerA, 0.0f);
    const int64_t by = dice.Range(3 * n / 10, 6 * n / 10), bx = dice.Range(3 * n / 10, 7 * n / 10);
    c.Fill(0, by, n - 1, by + gap - 1, kPowerB, 0.0f);
    c.Fill(bx, 0, bx + gap - 1, by, kPowerB, 0.0f);
    // A small island region on power B: an L-shaped split out of its lower part.
    const int64_t ix = dice.Range(n / 10, n / 2), iy = dice.Range(by + n / 10, 8 * n / 10);
    c.Fill(ix, iy, ix + n / 4, iy + gap - 1, kPowerB, 0.0f);
    c.Fill(ix + n / 4, iy, ix + n / 4 + gap - 1, n - 1, kPowerB, 0.0f);
    // Cut-outs: slots, connector keep-outs and mounting holes.
    const int64_t area = n * n;
    for (int64_t i = 0; i < std::max<int64_t>(8, area / 60000); ++i) {
        const int layer = kPlanes[size_t(dice.Range(0, 3))];
        const int64_t x = dice.Range(0, n - 1), y = dice.Range(0, n - 1);
        const int64_t kind = dice.Range(0, 9);
        if (kind < 6)
            c.Fill(x, y, x + dice.Range(20, 200), y + dice.Range(3, 10), layer, 0.0f);
        else if (kind < 9)
            c.Fill(x, y, x + dice.Range(40, 160), y + dice.Range(40, 160), layer, 0.0f);
        else
            for (int l : kPlanes) c.Disc(x, y, 30, l, 0.0f);
    }
}

void DrawSignals(Copper& c, Dice& dice)
{
    const int64_t n = c.nx, area = n * n;
    // ICs on the outer layers: pad rows around a body.
    for (int64_t i = 0; i < std::max<int64_t>(2, area / 150000); ++i) {
        const int64_t w = dice.Range(60, 200), h = dice.Range(60, 200);
        const int64_t x0 = dice.Range(12, n - w - 12), y0 = dice.Range(12, n - h - 12);
        const int layer = dice.Chance(75) ? kTop : kBottom;
        c.PadRing(x0, y0, w, h, 10, layer);
    }
    // Traces of one to four segments, now and then ending in a pour.
    constexpr std::array<int, 4> kSignals = {kTop, kInner1, kInner2, kBottom};
    for (int64_t i = 0; i < area / 2500; ++i) {
        const int layer = kSignals[size_t(dice.Range(0, 3))];
        const int64_t width = dice.Chance(85) ? dice.Range(2, 4) : dice.Range(8, 24);
        int64_t x = dice.Range(0, n - 1), y = dice.Range(0, n - 1);
        c.Trace(dice, x, y, width, int(dice.Range(1, 4)), 300, layer);  // runs up to 15 mm at 50 um
        if (dice.Chance(4)) c.Fill(x, y, x + dice.Range(30, 150), y + dice.Range(30, 150), layer, 1.0f);
    }
}

// Vias at least 12 pixels apart; each belongs to ground (both ground planes)
// or to one power plane and is cleared on every other layer. Pads on the outer
// layers are isolated from the traces there, so no via shorts two nets.
int PlaceVias(SimMatrix* board, Copper& c, Dice& dice)
{
    const int64_t n = c.nx, cell = 16, cells = (n + cell - 1) / cell;
    std::vector<std::vector<std::pair<int64_t, int64_t>>> grid(size_t(cells * cells));
    const auto clear = [&](int64_t x, int64_t y) {
        for (int64_t gx = std::max<int64_t>(0, x / cell - 1); gx <= std::min(cells - 1, x / cell + 1); ++gx)
            for (int64_t gy = std::max<int64_t>(0, y / cell - 1); gy <= std::min(cells - 1, y / cell + 1); ++gy)
                for (const auto& [vx, vy] : grid[size_t(gx * cells + gy)])
                    if ((vx - x) * (vx - x) + (vy - y) * (vy - y) < 144) return false;
        return true;
    };
    int placed = 0;
    for (int64_t i = 0; i < n * n / 5000; ++i) {
        const int64_t x = dice.Range(6, n - 7), y = dice.Range(6, n - 7);
        const int64_t net = dice.Range(0, 2);  // ground, power A, power B
        std::array<bool, 8> own = {};
        if (net == 0) own[kGroundA] = own[kGroundB] = true;
        else own[net == 1 ? kPowerA : kPowerB] = true;
        if (!clear(x, y) || (net != 0 && !c.At(x, y, net == 1 ? kPowerA : kPowerB))) continue;
        for (int l = 0; l < 8; ++l) {
            if (own[l]) continue;
            c.Disc(x, y, 4, l, 0.0f);
            if (l == kTop || l == kBottom) c.Disc(x, y, 2, l, 1.0f);  // the isolated outer pad
        }
        Via via;
        via.x = U(x), via.y = U(y);
        AddPart(board, PART_VIA, &via);
        grid[size_t(x / cell * cells + y / cell)].push_back({x, y});
        ++placed;
    }
    return placed;
}

void AddGroundConnection(SimMatrix* board, int64_t x, int64_t y, int layer)
{
    Resistor r;
    r.Net1X = U(x), r.Net1Y = U(y), r.Net1Z = U(layer);
    r.Net2X = U(x), r.Net2Y = U(y), r.Net2Z = U(layer);
    CopyName(r.Net2Name, "0");
    r.Rser = 1e-6f;
    AddPart(board, PART_RESISTOR, &r);
}

// A pixel of `layer` in island `island` (or any copper when island < 0), found by random tries.
bool FindCopper(const Copper& c, PlaneIslands& islands, Dice& dice, int layer, int island, int64_t& x, int64_t& y)
{
    for (int tries = 0; tries < 20000; ++tries) {
        x = dice.Range(1, c.nx - 2), y = dice.Range(1, c.nx - 2);
        if (c.At(x, y, layer) && (island < 0 || islands.At(x, y, layer) == island)) return true;
    }
    return false;
}
}  // namespace

int GenerateBigBoard(SimMatrix* board, uint32_t pixels, uint32_t seed, BigBoardCounts* counts)
{
    if (pixels < 256 || generator::PrepareBoard(board, pixels, pixels, 8, 5e-5f) != 0) return -1;
    Dice dice(seed);
    Copper c{board, pixels, pixels};
    BigBoardCounts placed;
    DrawPlanes(c, dice);
    DrawSignals(c, dice);
    placed.Vias = PlaceVias(board, c, dice);

    PlaneIslands islands(c);
    for (const Part* p = board->pFirstPart; p != nullptr; p = p->pNext)
        if (p->Kind == PART_VIA) islands.JoinVia(PartRecord<Via>(p)->x, PartRecord<Via>(p)->y);
    // A regulator on every power region of at least 2 % of the board, with a
    // ground return beside it; two more returns on the ground planes.
    const int64_t area = int64_t(pixels) * pixels;
    for (int layer : {kPowerA, kPowerB}) {
        std::vector<int> regions;
        for (int64_t x = 0; x < c.nx; x += 16)
            for (int64_t y = 0; y < c.nx; y += 16) {
                const int island = islands.At(x, y, layer);
                if (island >= 0 && islands.Size(island) >= area / 50 &&
                    std::find(regions.begin(), regions.end(), island) == regions.end())
                    regions.push_back(island);
            }
        for (int island : regions) {
            int64_t x = 0, y = 0;
            if (!FindCopper(c, islands, dice, layer, island, x, y)) continue;
            AddGroundConnection(board, x, y, layer);
            islands.Ground(island);
            ++placed.PowerRegions;
            ++placed.GroundConnections;
            for (int ground : {kGroundA, kGroundB})
                if (c.At(x, y, ground)) {
                    AddGroundConnection(board, x, y, ground);
                    islands.Ground(islands.At(x, y, ground));
                    ++placed.GroundConnections;
                    break;
                }
        }
    }
    for (int ground : {kGroundA, kGroundB}) {
        int64_t x = 0, y = 0;
        if (!FindCopper(c, islands, dice, ground, -1, x, y)) continue;
        AddGroundConnection(board, x, y, ground);
        islands.Ground(islands.At(x, y, ground));
        ++placed.GroundConnections;
    }
    // Loads: 10 to 200 mA from a power pixel into ground copper close by.
    const int64_t wanted = std::max<int64_t>(20, area / 16000);
    for (int64_t tries = 0; tries < 50 * wanted && placed.Loads < wanted; ++tries) {
        const int power = dice.Chance(50) ? kPowerA : kPowerB, ground = dice.Chance(50) ? kGroundA : kGroundB;
        const int64_t x = dice.Range(40, c.nx - 41), y = dice.Range(40, c.nx - 41);
        const int64_t gx = x + dice.Range(-30, 30), gy = y + dice.Range(-30, 30);
        if (!islands.Grounded(islands.At(x, y, power)) || !islands.Grounded(islands.At(gx, gy, ground))) continue;
        Current load;
        load.Net1X = U(gx), load.Net1Y = U(gy), load.Net1Z = U(ground);  // the current leaves the source here
        load.Net2X = U(x), load.Net2Y = U(y), load.Net2Z = U(power);
        load.Current = 0.01 * double(dice.Range(1, 20));
        AddPart(board, PART_CURRENT, &load);
        ++placed.Loads;
    }
    if (counts != nullptr) *counts = placed;
    return 0;
}

}  // namespace korvex
