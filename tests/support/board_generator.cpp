#include "support/board_generator.h"

#include <algorithm>

#include "board/part_list.h"
#include "board/sim_matrix.h"
#include "support/generator_tools.h"

namespace korvex {

namespace {
using generator::CopperPaint;
using generator::Dice;
using generator::PrepareBoard;
using generator::U;

// A part with two terminals: the first anywhere, the second next to it.
template <class Record>
void AddTwoTerminalPart(SimMatrix* board, uint32_t kind, const auto& px, const auto& py, const auto& pz,
                        const auto& near, const CopperPaint& g)
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
    CopperPaint g{board, countX, countY};
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
    CopperPaint g{board, n, n};
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
        g.PadRing(ic.x, ic.y, ic.w, ic.h, 8, layer);
        g.Fill(ic.x + ic.w / 4, ic.y + ic.h / 4, ic.x + 3 * ic.w / 4, ic.y + 3 * ic.h / 4, layer, 1.0f);
    }
    const int64_t traces = area / 2500;
    for (int64_t i = 0; i < traces; ++i) {
        const int layer = dice.Chance(55) ? kTop : kBottom;
        const int64_t width = dice.Chance(80) ? dice.Range(2, 4) : dice.Range(8, 24);
        int64_t x = dice.Range(0, n - 1), y = dice.Range(0, n - 1);
        g.Trace(dice, x, y, width, static_cast<int>(dice.Range(1, 4)), n / 4, layer);
        // Pour islands now and then.
        if (dice.Chance(5)) g.Fill(x, y, x + dice.Range(30, 150), y + dice.Range(30, 150), layer, 1.0f);
    }

    // Parts. Vias get a pad on both signal layers and a clearance hole in one plane.
    const int64_t partCount = std::max<int64_t>(20, area / 10000);
    const auto onCopper = [&](int layer, int64_t& x, int64_t& y) {
        for (int tries = 0; tries < 200; ++tries) {
            x = dice.Range(1, n - 2), y = dice.Range(1, n - 2);
            if (g.At(x, y, layer)) return;
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
    return 0;
}

}  // namespace korvex
