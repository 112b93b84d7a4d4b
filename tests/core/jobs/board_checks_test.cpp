// The checks a board and the settings pass before a job: connections to ground and
// return paths of the DC circuit, parts on the board and on copper, the ports an AC mode
// needs, plausible settings. Expected outcomes worked out by hand from the drawn boards or
// from copper islands found by a flood fill of the tests' own; the big benchmark board is
// held to the same checks, and its vias must not short a power region to ground (the drop
// figures would be meaningless).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <numeric>
#include <random>
#include <utility>
#include <vector>

#include "jobs/board_checks.h"
#include "jobs/settings_check.h"
#include "../board/board_fixtures.h"
#include "netlist/ac_job.h"
#include "support/big_board_generator.h"

using namespace korvex;

using namespace testing_board;

namespace {

// Copper islands, 4-connected on each layer and merged through every via: a union-find
// over the pixels.
struct CopperIslands {
    explicit CopperIslands(const SimMatrix& b)
        : b_(b), parent_(size_t(b.CountPixelX) * b.CountPixelY * size_t(b.LayerCount))
    {
        std::iota(parent_.begin(), parent_.end(), size_t{0});
        for (int l = 0; l < b.LayerCount; ++l)
            for (uint32_t x = 0; x < b.CountPixelX; ++x)
                for (uint32_t y = 0; y < b.CountPixelY; ++y) {
                    if (x + 1 < b.CountPixelX) Join(x, y, l, x + 1, y, l);
                    if (y + 1 < b.CountPixelY) Join(x, y, l, x, y + 1, l);
                }
        for (const Part* p = b.pFirstPart; p != nullptr; p = p->pNext)
            if (p->Kind == PART_VIA) {
                const Via* v = PartRecord<Via>(p);
                for (int l = 0, first = -1; l < b.LayerCount; ++l)
                    if (Copper(v->x, v->y, l)) first < 0 ? void(first = l) : Join(v->x, v->y, first, v->x, v->y, l);
            }
    }

    // The island of a pixel; -1 where there is no copper.
    int Of(uint32_t x, uint32_t y, int l) { return Copper(x, y, l) ? int(Find(At(x, y, l))) : -1; }
    bool Copper(uint32_t x, uint32_t y, int l) const { return b_.CopperMatrix[x][y][l] > 0; }
    size_t At(uint32_t x, uint32_t y, int l) const
    {
        return (size_t(x) * b_.CountPixelY + y) * size_t(b_.LayerCount) + size_t(l);
    }
    size_t Find(size_t i)
    {
        for (; parent_[i] != i; i = parent_[i]) parent_[i] = parent_[parent_[i]];
        return i;
    }
    void Join(uint32_t x1, uint32_t y1, int l1, uint32_t x2, uint32_t y2, int l2)
    {
        if (Copper(x1, y1, l1) && Copper(x2, y2, l2)) parent_[Find(At(x1, y1, l1))] = Find(At(x2, y2, l2));
    }
    const SimMatrix& b_;
    std::vector<size_t> parent_;
};

// A board without copper and helpers that place the parts of a DC circuit on Layer1.
struct PartBoard : OwnedBoard {
    PartBoard(uint32_t nx, uint32_t ny, int layers) : OwnedBoard(nx, ny, layers, false) {}
    void Ground(uint32_t x, uint32_t y)
    {
        Resistor r;
        r.Net1X = r.Net2X = x, r.Net1Y = r.Net2Y = y;
        CopyName(r.Net2Name, "0");
        AddPart(&board, PART_RESISTOR, &r);
    }
    void Source(uint32_t x1, uint32_t y1, uint32_t x2, uint32_t y2, const char* net2 = "")
    {
        Current c;
        c.Net1X = x1, c.Net1Y = y1, c.Net2X = x2, c.Net2Y = y2;
        CopyName(c.Net2Name, net2);
        AddPart(&board, PART_CURRENT, &c);
    }
    void Bridge(uint32_t x1, uint32_t x2, const char* net1 = "", const char* net2 = "")
    {
        Resistor r;
        r.Net1X = x1, r.Net2X = x2, r.Net1Y = r.Net2Y = 2;
        CopyName(r.Net1Name, net1);
        CopyName(r.Net2Name, net2);
        AddPart(&board, PART_RESISTOR, &r);
    }
    void ViaAt(uint32_t x, uint32_t y)
    {
        Via v;
        v.x = x, v.y = y;
        AddPart(&board, PART_VIA, &v);
    }
};

// 10 x 4 pixels, two layers. Layer1: a left island x 0..3 and a right island
// x 6..9 (x 4 and 5 bare); Layer2: full when asked for, else bare.
struct IslandBoard : PartBoard {
    explicit IslandBoard(bool layer2) : PartBoard(10, 4, 2)
    {
        for (uint32_t x = 0; x < 10; ++x)
            for (uint32_t y = 0; y < 4; ++y) {
                board.CopperMatrix[x][y][0] = (x <= 3 || x >= 6) ? 1.0f : 0.0f;
                board.CopperMatrix[x][y][1] = layer2 ? 1.0f : 0.0f;
            }
    }
    // Ground on the left island and a source from there to the right island.
    void AcrossTheGap() { Ground(0, 0); Source(1, 1, 7, 1); }
};

}  // namespace

TEST(BoardChecks, DcGroundAndReturnPaths)
{
    const struct {
        const char* name;
        bool layer2;
        std::function<void(IslandBoard&)> parts;
        const char* reason;  // "" when the board passes
    } cases[] = {
        {"no parts at all", false, [](IslandBoard&) {}, "no connection to ground"},
        {"ground only", false, [](IslandBoard& b) { b.Ground(0, 0); }, ""},
        {"ground on the bare layer's net only", false, [](IslandBoard& b) { b.Source(1, 1, 2, 2, "0"); },
         "no connection to ground"},
        {"source across the gap", false, [](IslandBoard& b) { b.AcrossTheGap(); },
         "part 2 (Current): its ends lie in different copper islands and end 2 has no path to ground"},
        {"gap bridged by a resistor", false, [](IslandBoard& b) { b.AcrossTheGap(); b.Bridge(3, 6); }, ""},
        {"gap bridged by a series subcircuit", false, [](IslandBoard& b) {
             b.AcrossTheGap();
             SeriesSubCircuit s;
             s.Net1X = 2, s.Net2X = 8;
             AddPart(&b.board, PART_SERIESSUBCIRCUIT, &s); }, ""},
        {"gap bridged through Layer2 by two vias", true,
         [](IslandBoard& b) { b.AcrossTheGap(); b.ViaAt(2, 2); b.ViaAt(8, 2); }, ""},
        {"one via reaches Layer2 only from the left", true, [](IslandBoard& b) { b.AcrossTheGap(); b.ViaAt(2, 2); },
         "part 2 (Current): its ends lie in different copper islands"},
        {"gap bridged by a named net", false,
         [](IslandBoard& b) { b.AcrossTheGap(); b.Bridge(1, 1, "", "VCC"); b.Bridge(8, 8, "VCC"); }, ""},
        {"both ends in the island without ground", false, [](IslandBoard& b) { b.Ground(9, 3); b.Source(1, 1, 2, 2); },
         "part 2 (Current): its copper has no path to ground"},
        {"source into net 0 from an island without ground", false,
         [](IslandBoard& b) { b.Ground(9, 3); b.Source(1, 1, 0, 0, "0"); },
         "part 2 (Current): its ends lie in different copper islands and end 1 has no path to ground"},
        {"source into net 0 from the grounded island", false,
         [](IslandBoard& b) { b.Ground(0, 3); b.Source(1, 1, 0, 0, "0"); }, ""},
    };
    for (const auto& c : cases) {
        IslandBoard b(c.layer2);
        c.parts(b);
        ExpectReason(korvex::CheckDcConnections(b.board), c.reason, c.name);
    }
}

TEST(BoardChecks, PartsOnTheBoardAndOnCopper)
{
    const struct {
        const char* name;
        std::function<void(SimMatrix*)> add;
        const char* placement;  // CheckPartPlacement ("" passes)
        const char* position;   // CheckPartPosition
    } cases[] = {
        {"port off the board", [](SimMatrix* b) { Port p; p.x = 10; AddPart(b, PART_PORT, &p); },
         "part 1 (Port) lies off the board at (10, 0) (the board has 10 x 4 pixels)", "lies off the board"},
        {"capacitor on the bare gap", [](SimMatrix* b) { Cap c; c.x = 4, c.y = 1; AddPart(b, PART_CAP, &c); },
         "part 1 (Cap) has a terminal at (4, 1) on Layer1 where there is no copper", ""},
        {"port on the bare Layer2", [](SimMatrix* b) { Port p; p.Layer = 1; AddPart(b, PART_PORT, &p); },
         "on Layer2 where there is no copper", ""},
        {"subcircuit on a missing layer", [](SimMatrix* b) { SubCircuit s; s.Layer = 2; AddPart(b, PART_SUBCIRCUIT, &s); },
         "is on layer index 2, the board has layers 0 ... 1", "layer index 2"},
        {"via in the gap", [](SimMatrix* b) { Via v; v.x = 4; AddPart(b, PART_VIA, &v); }, "", ""},
        {"via off the board", [](SimMatrix* b) { Via v; v.y = 4; AddPart(b, PART_VIA, &v); }, "lies off the board at (0, 4)",
         "lies off the board"},
        {"named end replaces a bare position", [](SimMatrix* b) {
             Current c; c.Net1X = 5; CopyName(c.Net1Name, "VIN"); AddPart(b, PART_CURRENT, &c); }, "", ""},
        {"resistor's second end in the gap", [](SimMatrix* b) {
             Resistor r; r.Net2X = 5, r.Net2Y = 3; AddPart(b, PART_RESISTOR, &r); }, "terminal at (5, 3) on Layer1", ""},
        {"heat sink reaching past the edge", [](SimMatrix* b) {
             HeatSink h; h.RectBX = 12; AddPart(b, PART_HEATSINK, &h); }, "lies off the board at (12, 1)", "lies off the board"},
        {"heat source in the gap", [](SimMatrix* b) {
             HeatSource h; h.RectAX = 4, h.RectBX = 5; AddPart(b, PART_HEATSOURCE, &h); }, "", ""},
    };
    for (const auto& c : cases) {
        IslandBoard b(false);
        c.add(&b.board);
        const std::string placement = korvex::CheckPartPlacement(b.board, b.board.pFirstPart);
        ExpectReason(placement, c.placement, c.name);
        ExpectReason(korvex::CheckPartPosition(b.board, b.board.pFirstPart), c.position, c.name);
        EXPECT_EQ(korvex::CheckBoardParts(b.board), placement) << c.name;
    }
    OwnedBoard bare(4, 4, 2, false);
    EXPECT_EQ(korvex::CheckBoardParts(bare.board), "the board has no copper on any layer");
}

TEST(BoardChecks, PortsAnAcModeNeeds)
{
    IslandBoard none(false), one(false), two(false);
    Port p;
    p.ID = 1;
    AddPart(&one.board, PART_PORT, &p);
    AddPart(&two.board, PART_PORT, &p);
    p.ID = 0;
    AddPart(&two.board, PART_PORT, &p);
    Cap cap;
    cap.Ref = 4;
    AddPart(&two.board, PART_CAP, &cap);
    const struct {
        const SimMatrix& board;
        uint32_t mode, source, termination;
        const char* reason;
    } cases[] = {
        {none.board, AC_MODE_ZIN_OF_PORTS, 0, 1, "no port to compute Zin at"},
        {one.board, AC_MODE_ZIN_OF_PORTS, 0, 1, ""},
        {two.board, AC_MODE_S21, 0, 1, ""},
        {two.board, AC_MODE_S21, 1, 0, ""},
        {one.board, AC_MODE_S21, 1, 0, "no port 0 to terminate"},
        {two.board, AC_MODE_S21, 0, 2, "no port 2 to terminate"},
        {two.board, AC_MODE_S21, 5, 1, "no port 5 to drive"},
        {two.board, AC_MODE_S21, 1, 1, "source and termination must be different ports"},
        {two.board, AC_MODE_NOISE_TRANSFER, 0, 9, ""},
        {one.board, AC_MODE_NOISE_TRANSFER, 1, 0, "needs a second port"},
        {two.board, AC_MODE_CURRENT_NOISE_TRANSFER, 5, 0, "no port 5 to drive"},
        {one.board, AC_MODE_CURRENT_DENSITY_AT_F, 1, 0, "port with ID 0"},
        {two.board, AC_MODE_VOLTAGE_NOISE_AT_F, 1, 0, ""},
        {none.board, AC_MODE_Z_AT_F, 0, 0, ""},
        {two.board, AC_MODE_CAPACITOR_SPARAMETERS, 0, 4, ""},
        {two.board, AC_MODE_CAPACITOR_SPARAMETERS, 0, 3, "no capacitor 3"},
    };
    for (const auto& c : cases)
        ExpectReason(korvex::CheckAcPorts(c.board, c.mode, c.source, c.termination), c.reason,
                     "mode " + std::to_string(c.mode) + " " + std::to_string(c.source) + " " +
                         std::to_string(c.termination));
}

// Random copper on a 13 x 9 single-layer board, a ground and a source at random copper pixels:
// the outcome follows the islands of the flood fill written for the tests.
TEST(BoardChecks, ReturnPathsOnRandomCopperFollowAFloodFill)
{
    constexpr uint32_t kX = 13, kY = 9;
    std::mt19937 random(7);
    int checked = 0;
    for (int round = 0; round < 400; ++round) {
        PartBoard b(kX, kY, 1);
        std::vector<std::pair<uint32_t, uint32_t>> pixels;
        for (uint32_t x = 0; x < kX; ++x)
            for (uint32_t y = 0; y < kY; ++y)
                if (random() % 100 < 55) {
                    b.board.CopperMatrix[x][y][0] = 1.0f;
                    pixels.push_back({x, y});
                }
        if (pixels.size() < 3) continue;
        const auto pick = [&] { return pixels[random() % pixels.size()]; };
        const auto [gx, gy] = pick();
        const auto [ax, ay] = pick();
        const auto [cx, cy] = pick();
        b.Ground(gx, gy);
        b.Source(ax, ay, cx, cy);
        CopperIslands islands(b.board);
        const int g = islands.Of(gx, gy, 0), a = islands.Of(ax, ay, 0), c = islands.Of(cx, cy, 0);
        const char* expected = a == g && c == g ? ""
                               : a == c         ? "its copper has no path to ground"
                                                : "its ends lie in different copper islands";
        ExpectReason(CheckDcConnections(b.board), expected, "round " + std::to_string(round));
        ++checked;
    }
    EXPECT_GT(checked, 300);
}

TEST(BigBoard, IsAWellPosedDcProblemWithoutShortsBetweenPowerAndGround)
{
    for (uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        SimMatrix board;
        BigBoardCounts counts;
        ASSERT_EQ(GenerateBigBoard(&board, 320, seed, &counts), 0);
        EXPECT_EQ(board.LayerCount, 8);
        EXPECT_EQ(CheckBoardParts(board), "");
        EXPECT_EQ(CheckDcConnections(board), "");
        EXPECT_GE(counts.PowerRegions, 4);  // both power planes are split
        EXPECT_GE(counts.Loads, 20);
        EXPECT_GE(counts.Vias, 15);
        // The island of every load's power end differs from every ground island.
        CopperIslands islands(board);
        std::vector<int> groundNets, powerNets;
        for (const Part* p = board.pFirstPart; p != nullptr; p = p->pNext)
            if (p->Kind == PART_CURRENT) {
                const Current* c = PartRecord<Current>(p);
                groundNets.push_back(islands.Of(c->Net1X, c->Net1Y, int(c->Net1Z)));
                powerNets.push_back(islands.Of(c->Net2X, c->Net2Y, int(c->Net2Z)));
            }
        for (int power : powerNets)
            for (int ground : groundNets) ASSERT_NE(power, ground);
        freeSimulationMatrix(&board);
    }
}

TEST(BigBoard, SameSeedSameBoardAndTooSmallRefused)
{
    const auto copper = [](uint32_t seed) {
        SimMatrix board;
        EXPECT_EQ(GenerateBigBoard(&board, 256, seed), 0);
        std::vector<float> all;
        for (uint32_t x = 0; x < 256; ++x)
            for (uint32_t y = 0; y < 256; ++y)
                for (int l = 0; l < 8; ++l) all.push_back(board.CopperMatrix[x][y][l]);
        for (const Part* p = board.pFirstPart; p != nullptr; p = p->pNext) all.push_back(float(p->Kind));
        freeSimulationMatrix(&board);
        return all;
    };
    EXPECT_EQ(copper(7), copper(7));
    EXPECT_NE(copper(7), copper(8));
    SimMatrix board;
    EXPECT_EQ(GenerateBigBoard(&board, 255), -1);
}

TEST(SettingsCheck, RefusesImplausibleFieldsOneAtATime)
{
    EXPECT_EQ(korvex::CheckSettings(Settings{}), "");
    const struct {
        const char* reason;
        std::function<void(Settings&)> spoil;
    } cases[] = {
        {"BatchMode is 2, not 0 or 1", [](Settings& s) { s.BatchMode = 2; }},
        {"AutoMinMax is 7, not 0 or 1", [](Settings& s) { s.AutoMinMax = 7; }},
        {"MaxMeshOrder is 31, at most 30", [](Settings& s) { s.MaxMeshOrder = 31; }},
        {"StartFrequency must lie between 0 and 1PHz", [](Settings& s) { s.StartFrequency = 0; }},
        {"StartFrequency must lie between 0 and 1PHz", [](Settings& s) { s.StartFrequency = NAN; }},
        {"StopFrequency must lie between 0 and 1PHz", [](Settings& s) { s.StopFrequency = 1e300; }},
        {"StartFrequency must lie below StopFrequency", [](Settings& s) { s.StartFrequency = 2e9; }},
        {"ZinDistributionFrequency must lie between 0 and 1PHz", [](Settings& s) { s.ZinDistributionFrequency = -1; }},
        {"NumberOfPoints must lie in 1 ... 100000", [](Settings& s) { s.NumberOfPoints = 0; }},
        {"Steps must lie in 1 ... 10000", [](Settings& s) { s.Steps = 4000000000u; }},
        {"YAxisMode must be 0", [](Settings& s) { s.YAxisMode = 3; }},
        {"DiagramClickMode must be 0, 1 or 2", [](Settings& s) { s.DiagramClickMode = 3; }},
        {"MinValue and MaxValue must be finite", [](Settings& s) { s.MaxValue = INFINITY; }},
        {"LTspicePath is not terminated", [](Settings& s) { std::memset(s.LTspicePath, 'x', sizeof s.LTspicePath); }},
    };
    for (const auto& c : cases) {
        Settings s;
        c.spoil(s);
        const std::string why = korvex::CheckSettings(s);
        EXPECT_EQ(why.rfind(c.reason, 0), 0u) << c.reason << " / " << why;
    }
    Settings edge;  // the limits themselves are plausible
    edge.MaxMeshOrder = 30, edge.YAxisMode = 2, edge.DiagramClickMode = 2, edge.NumberOfPoints = 1;
    EXPECT_EQ(korvex::CheckSettings(edge), "");
}
