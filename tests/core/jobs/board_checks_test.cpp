// The checks a board passes before a job: connections to ground and return
// paths of the DC circuit, parts on the board and on copper, the ports an AC
// mode needs. Expected outcomes worked out by hand from the drawn boards.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <utility>
#include <vector>

#include "jobs/board_checks.h"
#include "../board/board_fixtures.h"
#include "netlist/ac_job.h"

using namespace korvex;

using namespace testing_board;

namespace {

// 10 x 4 pixels, two layers. Layer1: a left island x 0..3 and a right island
// x 6..9 (x 4 and 5 bare); Layer2: full when asked for, else bare.
struct IslandBoard : OwnedBoard {
    explicit IslandBoard(bool layer2) : OwnedBoard(10, 4, 2, false)
    {
        for (uint32_t x = 0; x < 10; ++x)
            for (uint32_t y = 0; y < 4; ++y) {
                board.CopperMatrix[x][y][0] = (x <= 3 || x >= 6) ? 1.0f : 0.0f;
                board.CopperMatrix[x][y][1] = layer2 ? 1.0f : 0.0f;
            }
    }
    void Ground(uint32_t x, uint32_t y, uint32_t layer = 0)
    {
        Resistor r;
        r.Net1X = r.Net2X = x, r.Net1Y = r.Net2Y = y, r.Net1Z = r.Net2Z = layer;
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
        {"source across the gap", false, [](IslandBoard& b) { b.Ground(0, 0); b.Source(1, 1, 7, 1); },
         "part 2 (Current): its ends lie in different copper islands and end 2 has no path to ground"},
        {"gap bridged by a resistor", false,
         [](IslandBoard& b) { b.Ground(0, 0); b.Source(1, 1, 7, 1); b.Bridge(3, 6); }, ""},
        {"gap bridged by a series subcircuit", false,
         [](IslandBoard& b) {
             b.Ground(0, 0);
             b.Source(1, 1, 7, 1);
             SeriesSubCircuit s;
             s.Net1X = 2, s.Net2X = 8;
             AddPart(&b.board, PART_SERIESSUBCIRCUIT, &s);
         },
         ""},
        {"gap bridged through Layer2 by two vias", true,
         [](IslandBoard& b) { b.Ground(0, 0); b.Source(1, 1, 7, 1); b.ViaAt(2, 2); b.ViaAt(8, 2); }, ""},
        {"one via reaches Layer2 only from the left", true,
         [](IslandBoard& b) { b.Ground(0, 0); b.Source(1, 1, 7, 1); b.ViaAt(2, 2); },
         "part 2 (Current): its ends lie in different copper islands"},
        {"gap bridged by a named net", false,
         [](IslandBoard& b) { b.Ground(0, 0); b.Source(1, 1, 7, 1); b.Bridge(1, 1, "", "VCC"); b.Bridge(8, 8, "VCC", ""); },
         ""},
        {"both ends in the island without ground", false,
         [](IslandBoard& b) { b.Ground(9, 3); b.Source(1, 1, 2, 2); },
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
        const std::string why = korvex::CheckDcConnections(b.board);
        if (c.reason[0] == '\0')
            EXPECT_EQ(why, "") << c.name;
        else
            EXPECT_NE(why.find(c.reason), std::string::npos) << c.name << ": " << why;
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
        const Part* part = b.board.pFirstPart;
        const std::string placement = korvex::CheckPartPlacement(b.board, part);
        const std::string position = korvex::CheckPartPosition(b.board, part);
        if (c.placement[0] == '\0') EXPECT_EQ(placement, "") << c.name;
        else EXPECT_NE(placement.find(c.placement), std::string::npos) << c.name << ": " << placement;
        if (c.position[0] == '\0') EXPECT_EQ(position, "") << c.name;
        else EXPECT_NE(position.find(c.position), std::string::npos) << c.name << ": " << position;
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
    for (const auto& c : cases) {
        const std::string why = korvex::CheckAcPorts(c.board, c.mode, c.source, c.termination);
        if (c.reason[0] == '\0')
            EXPECT_EQ(why, "") << c.mode << " " << c.source << " " << c.termination;
        else
            EXPECT_NE(why.find(c.reason), std::string::npos) << c.mode << ": " << why;
    }
}

// Random copper on a 13 x 9 single-layer board: ground, source ends and the
// outcome taken from a plain flood fill written here.
TEST(BoardChecks, ReturnPathsOnRandomCopperFollowAFloodFill)
{
    constexpr uint32_t kX = 13, kY = 9;
    std::mt19937 random(7);
    int checked = 0;
    for (int round = 0; round < 400; ++round) {
        OwnedBoard random_board(kX, kY, 1, false);
        bool copper[kX][kY];
        std::vector<std::pair<uint32_t, uint32_t>> pixels;
        for (uint32_t x = 0; x < kX; ++x)
            for (uint32_t y = 0; y < kY; ++y) {
                copper[x][y] = random() % 100 < 55;
                random_board.board.CopperMatrix[x][y][0] = copper[x][y] ? 1.0f : 0.0f;
                if (copper[x][y]) pixels.push_back({x, y});
            }
        if (pixels.size() < 3) continue;
        const auto pick = [&] { return pixels[random() % pixels.size()]; };
        const auto [gx, gy] = pick();
        const auto [ax, ay] = pick();
        const auto [cx, cy] = pick();
        const auto reaches = [&](uint32_t fromX, uint32_t fromY, uint32_t toX, uint32_t toY) {
            std::vector<std::pair<uint32_t, uint32_t>> open{{fromX, fromY}};
            bool seen[kX][kY] = {};
            seen[fromX][fromY] = true;
            while (!open.empty()) {
                const auto [x, y] = open.back();
                open.pop_back();
                if (x == toX && y == toY) return true;
                const int steps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
                for (const auto& s : steps) {
                    const int nx = int(x) + s[0], ny = int(y) + s[1];
                    if (nx < 0 || ny < 0 || nx >= int(kX) || ny >= int(kY) || !copper[nx][ny] || seen[nx][ny]) continue;
                    seen[nx][ny] = true;
                    open.push_back({uint32_t(nx), uint32_t(ny)});
                }
            }
            return false;
        };
        Resistor ground;
        ground.Net1X = ground.Net2X = gx, ground.Net1Y = ground.Net2Y = gy;
        CopyName(ground.Net2Name, "0");
        AddPart(&random_board.board, PART_RESISTOR, &ground);
        Current source;
        source.Net1X = ax, source.Net1Y = ay, source.Net2X = cx, source.Net2Y = cy;
        AddPart(&random_board.board, PART_CURRENT, &source);
        const bool aGround = reaches(gx, gy, ax, ay), cGround = reaches(gx, gy, cx, cy);
        const std::string expected = aGround && cGround     ? ""
                                     : reaches(ax, ay, cx, cy) ? "its copper has no path to ground"
                                                               : "its ends lie in different copper islands";
        const std::string why = CheckDcConnections(random_board.board);
        if (expected.empty())
            EXPECT_EQ(why, "") << round;
        else
            EXPECT_NE(why.find(expected), std::string::npos) << round << ": " << why;
        ++checked;
    }
    EXPECT_GT(checked, 300);
}
