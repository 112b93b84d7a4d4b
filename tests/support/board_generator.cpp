#include "support/board_generator.h"

#include <algorithm>
#include <cstdlib>
#include <random>

#include "board/part_list.h"
#include "board/sim_matrix.h"

namespace korvex {

namespace {
// Same numbers on every platform (the standard distributions are not).
class Dice {
public:
    explicit Dice(uint32_t seed) : engine_(seed) {}
    // Uniform in [lo, hi].
    int64_t Range(int64_t lo, int64_t hi) { return lo + static_cast<int64_t>(engine_() % uint64_t(hi - lo + 1)); }
    bool Chance(int percent) { return Range(0, 99) < percent; }

private:
    std::mt19937_64 engine_;
};

struct Board {
    SimMatrix* b;
    int64_t nx, ny;
    void Fill(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int layer, float value)
    {
        for (int64_t x = std::max<int64_t>(x0, 0); x <= std::min(x1, nx - 1); ++x)
            for (int64_t y = std::max<int64_t>(y0, 0); y <= std::min(y1, ny - 1); ++y)
                b->CopperMatrix[x][y][layer] = value;
    }
    // A disc of radius r around (cx, cy).
    void Disc(int64_t cx, int64_t cy, int64_t r, int layer, float value)
    {
        for (int64_t x = cx - r; x <= cx + r; ++x)
            for (int64_t y = cy - r; y <= cy + r; ++y)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) Fill(x, y, x, y, layer, value);
    }
    bool Copper(int64_t x, int64_t y, int layer) const { return b->CopperMatrix[x][y][layer] > 0.0f; }
};

int PrepareBoard(SimMatrix* board, uint32_t countX, uint32_t countY, int layers, float pitch)
{
    if (board == nullptr || countX == 0 || countY == 0 || layers < 1 || layers > kMaxLayers) return -1;
    InitSimulationMatrix(board);  // layer stack and material defaults of a new board
    if (SetLayerCount(board, layers) != 0) return -1;
    SetSize(board, pitch * static_cast<float>(countX), pitch * static_cast<float>(countY), countX, countY, nullptr,
            nullptr);
    return MallocAllMatrices(board);
}

uint32_t U(int64_t v)
{
    return static_cast<uint32_t>(v);
}

// A part with two terminals: the first anywhere, the second next to it.
template <class Record>
void AddTwoTerminalPart(SimMatrix* board, uint32_t kind, const auto& px, const auto& py, const auto& pz,
                        const auto& near, const Board& g)
{
    Record r;
    r.Net1X = px(), r.Net1Y = py(), r.Net1Z = pz();
    r.Net2X = near(r.Net1X, g.nx), r.Net2Y = near(r.Net1Y, g.ny), r.Net2Z = pz();
    AddPart(board, kind, &r);
}
}  // namespace

int GenerateRandomBoard(SimMatrix* board, uint32_t seed, uint32_t countX, uint32_t countY, int layers,
                        int partCount)
{
    if (PrepareBoard(board, countX, countY, layers, 1e-4f) != 0) return -1;
    Dice dice(seed);
    Board g{board, countX, countY};
    for (int l = 0; l < layers; ++l) {
        if (dice.Chance(30)) g.Fill(0, 0, g.nx - 1, g.ny - 1, l, 1.0f);
        const int rects = static_cast<int>(dice.Range(0, 6));
        for (int i = 0; i < rects; ++i) {
            const int64_t x = dice.Range(0, g.nx - 1), y = dice.Range(0, g.ny - 1);
            const float value = dice.Chance(25) ? 0.0f : (dice.Chance(80) ? 1.0f : 0.5f);
            g.Fill(x, y, x + dice.Range(0, g.nx / 2), y + dice.Range(0, g.ny / 2), l, value);
        }
        const int specks = static_cast<int>(dice.Range(0, 4));
        for (int i = 0; i < specks; ++i) {
            const int64_t x = dice.Range(0, g.nx - 1), y = dice.Range(0, g.ny - 1);
            g.Fill(x, y, x, y, l, dice.Chance(50) ? 1.0f : 0.0f);
        }
    }
    for (uint32_t x = 0; x < countX; ++x)
        for (uint32_t y = 0; y < countY; ++y)
            for (int l = 0; l < layers; ++l) board->TemperatureMatrix[x][y][l] = 25.0f + float(dice.Range(0, 50));

    const auto px = [&] { return U(dice.Range(0, g.nx - 1)); };
    const auto py = [&] { return U(dice.Range(0, g.ny - 1)); };
    const auto pz = [&] { return U(dice.Range(0, layers - 1)); };
    for (int i = 0; i < partCount; ++i) {
        // Second terminals often right next to the first one.
        const auto near = [&](uint32_t v, int64_t n) {
            return dice.Chance(50) ? U(std::clamp<int64_t>(int64_t(v) + dice.Range(-1, 1), 0, n - 1)) : U(dice.Range(0, n - 1));
        };
        switch (dice.Range(0, 8)) {
        case 0: AddTwoTerminalPart<Current>(board, PART_CURRENT, px, py, pz, near, g); break;
        case 1: AddTwoTerminalPart<Resistor>(board, PART_RESISTOR, px, py, pz, near, g); break;
        case 2: AddTwoTerminalPart<SeriesSubCircuit>(board, PART_SERIESSUBCIRCUIT, px, py, pz, near, g); break;
        case 3: {
            Via r;
            r.x = px(), r.y = py();
            AddPart(board, PART_VIA, &r);
            break;
        }
        case 4:
        case 5: {
            // Heat rectangles, corners in either order.
            const uint32_t ax = px(), ay = py(), bx = px(), by = py();
            if (dice.Chance(50)) {
                HeatSource r;
                r.RectAX = ax, r.RectAY = ay, r.RectBX = bx, r.RectBY = by;
                AddPart(board, PART_HEATSOURCE, &r);
            } else {
                HeatSink r;
                r.RectAX = std::min(ax, bx), r.RectAY = std::min(ay, by);
                r.RectBX = std::max(ax, bx), r.RectBY = std::max(ay, by);
                AddPart(board, PART_HEATSINK, &r);
            }
            break;
        }
        case 6: {
            Port r;
            r.x = px(), r.y = py(), r.Layer = pz(), r.ID = U(i);
            AddPart(board, PART_PORT, &r);
            break;
        }
        case 7: {
            Cap r;
            r.x = px(), r.y = py(), r.Layer = pz(), r.Ref = U(i);
            AddPart(board, PART_CAP, &r);
            break;
        }
        default: {
            SubCircuit r;
            r.x = px(), r.y = py(), r.Layer = pz(), r.Reference = U(i);
            AddPart(board, PART_SUBCIRCUIT, &r);
            break;
        }
        }
    }
    return 0;
}

int GenerateBenchmarkBoard(SimMatrix* board, uint32_t pixels, uint32_t seed)
{
    constexpr int kTop = 0, kGround = 1, kPower = 2, kBottom = 3;
    if (pixels < 64 || PrepareBoard(board, pixels, pixels, 4, 1e-4f) != 0) return -1;
    Dice dice(seed);
    const int64_t n = pixels;
    Board g{board, n, n};
    const int64_t area = n * n;

    // Planes: ground everywhere, power split into a few regions by 6-pixel gaps.
    g.Fill(0, 0, n - 1, n - 1, kGround, 1.0f);
    g.Fill(0, 0, n - 1, n - 1, kPower, 1.0f);
    const int splits = 2 + static_cast<int>(n / 500);
    for (int i = 0; i < splits; ++i) {
        if (dice.Chance(50)) {
            const int64_t x = dice.Range(n / 8, n - n / 8);
            const int64_t y0 = dice.Range(0, n / 2);
            g.Fill(x, y0, x + 5, y0 + dice.Range(n / 4, n), kPower, 0.0f);
        } else {
            const int64_t y = dice.Range(n / 8, n - n / 8);
            const int64_t x0 = dice.Range(0, n / 2);
            g.Fill(x0, y, x0 + dice.Range(n / 4, n), y + 5, kPower, 0.0f);
        }
    }
    // Plane cut-outs: slots and connector keep-outs.
    for (int64_t i = 0; i < std::max<int64_t>(4, area / 100000); ++i) {
        const int layer = dice.Chance(50) ? kGround : kPower;
        const int64_t x = dice.Range(0, n - 1), y = dice.Range(0, n - 1);
        if (dice.Chance(60))
            g.Fill(x, y, x + dice.Range(20, 120), y + dice.Range(3, 8), layer, 0.0f);
        else
            g.Fill(x, y, x + dice.Range(20, 60), y + dice.Range(20, 60), layer, 0.0f);
    }

    // Signal layers: ICs (pad rows around a body), traces between random points.
    struct Ic {
        int64_t x, y, w, h;
    };
    std::vector<Ic> ics;
    const int64_t icCount = std::max<int64_t>(2, area / 150000);
    for (int64_t i = 0; i < icCount; ++i) {
        const int64_t w = dice.Range(40, 120), h = dice.Range(40, 120);
        const Ic ic{dice.Range(10, n - w - 10), dice.Range(10, n - h - 10), w, h};
        ics.push_back(ic);
        const int layer = dice.Chance(80) ? kTop : kBottom;
        for (int64_t x = ic.x + 2; x + 3 < ic.x + ic.w; x += 6) {
            g.Fill(x, ic.y - 8, x + 3, ic.y - 2, layer, 1.0f);
            g.Fill(x, ic.y + ic.h + 2, x + 3, ic.y + ic.h + 8, layer, 1.0f);
        }
        for (int64_t y = ic.y + 2; y + 3 < ic.y + ic.h; y += 6) {
            g.Fill(ic.x - 8, y, ic.x - 2, y + 3, layer, 1.0f);
            g.Fill(ic.x + ic.w + 2, y, ic.x + ic.w + 8, y + 3, layer, 1.0f);
        }
        g.Fill(ic.x + ic.w / 4, ic.y + ic.h / 4, ic.x + 3 * ic.w / 4, ic.y + 3 * ic.h / 4, layer, 1.0f);
    }
    const int64_t traces = area / 2500;
    for (int64_t i = 0; i < traces; ++i) {
        const int layer = dice.Chance(55) ? kTop : kBottom;
        const int64_t width = dice.Chance(80) ? dice.Range(2, 4) : dice.Range(8, 24);
        int64_t x = dice.Range(0, n - 1), y = dice.Range(0, n - 1);
        const int segments = static_cast<int>(dice.Range(1, 4));
        for (int s = 0; s < segments; ++s) {
            const int64_t length = dice.Range(20, n / 4);
            if (dice.Chance(50)) {
                const int64_t to = std::clamp<int64_t>(x + (dice.Chance(50) ? length : -length), 0, n - 1);
                g.Fill(std::min(x, to), y, std::max(x, to), y + width - 1, layer, 1.0f);
                x = to;
            } else {
                const int64_t to = std::clamp<int64_t>(y + (dice.Chance(50) ? length : -length), 0, n - 1);
                g.Fill(x, std::min(y, to), x + width - 1, std::max(y, to), layer, 1.0f);
                y = to;
            }
        }
        // Pour islands now and then.
        if (dice.Chance(5)) g.Fill(x, y, x + dice.Range(30, 150), y + dice.Range(30, 150), layer, 1.0f);
    }

    // Parts. Vias get a pad on both signal layers and a clearance hole in one plane.
    const int64_t partCount = std::max<int64_t>(20, area / 10000);
    const auto onCopper = [&](int layer, int64_t& x, int64_t& y) {
        for (int tries = 0; tries < 200; ++tries) {
            x = dice.Range(1, n - 2), y = dice.Range(1, n - 2);
            if (g.Copper(x, y, layer)) return;
        }
    };
    for (int64_t i = 0; i < partCount; ++i) {
        const int64_t kind = dice.Range(0, 99);
        int64_t x = 0, y = 0;
        if (kind < 55) {
            x = dice.Range(3, n - 4), y = dice.Range(3, n - 4);
            g.Disc(x, y, 2, kTop, 1.0f);
            g.Disc(x, y, 2, kBottom, 1.0f);
            const int clearance = dice.Chance(50) ? kPower : kGround;
            g.Disc(x, y, 4, clearance, 0.0f);
            g.Disc(x, y, 2, clearance, 1.0f);  // the via's own ring stays connected
            Via via;
            via.x = U(x), via.y = U(y);
            AddPart(board, PART_VIA, &via);
        } else if (kind < 70) {
            Current load;
            onCopper(kPower, x, y);
            load.Net1X = U(x), load.Net1Y = U(y), load.Net1Z = kPower;
            onCopper(kGround, x, y);
            load.Net2X = U(x), load.Net2Y = U(y), load.Net2Z = kGround;
            load.Current = 0.1 * double(dice.Range(1, 20));
            AddPart(board, PART_CURRENT, &load);
        } else if (kind < 78) {
            Resistor ground;
            onCopper(kGround, x, y);
            ground.Net1X = U(x), ground.Net1Y = U(y), ground.Net1Z = kGround;
            ground.Net2X = U(x), ground.Net2Y = U(y), ground.Net2Z = kGround;
            CopyName(ground.Net2Name, "0");
            ground.Rser = 1e-6f;
            AddPart(board, PART_RESISTOR, &ground);
        } else if (kind < 93) {
            Cap cap;
            onCopper(kTop, x, y);
            cap.x = U(x), cap.y = U(y), cap.Layer = kTop, cap.Ref = U(i % 200);
            AddPart(board, PART_CAP, &cap);
        } else if (kind < 96) {
            Port port;
            onCopper(kTop, x, y);
            port.x = U(x), port.y = U(y), port.Layer = kTop, port.ID = U(i % 200);
            AddPart(board, PART_PORT, &port);
        } else {
            SubCircuit sub;
            onCopper(kTop, x, y);
            sub.x = U(x), sub.y = U(y), sub.Layer = kTop, sub.Reference = U(i % 200);
            AddPart(board, PART_SUBCIRCUIT, &sub);
        }
    }
    for (size_t i = 0; i < ics.size(); ++i) {
        const Ic& ic = ics[i];
        HeatSource heat;
        heat.RectAX = U(ic.x), heat.RectAY = U(ic.y);
        heat.RectBX = U(ic.x + ic.w - 1), heat.RectBY = U(ic.y + ic.h - 1);
        heat.Power = 0.5 * double(dice.Range(1, 6));
        AddPart(board, PART_HEATSOURCE, &heat);
    }
    HeatSink sink;
    sink.RectAX = U(n / 3), sink.RectAY = U(n / 3);
    sink.RectBX = U(n / 3 + n / 5), sink.RectBY = U(n / 3 + n / 10);
    AddPart(board, PART_HEATSINK, &sink);
    for (int64_t x = 0; x < n; ++x)
        for (int64_t y = 0; y < n; ++y)
            for (int l = 0; l < 4; ++l) board->TemperatureMatrix[x][y][l] = board->TAmbient;
    return 0;
}

}  // namespace korvex
