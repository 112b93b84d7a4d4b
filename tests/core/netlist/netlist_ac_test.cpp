// The AC netlist: part lines, port lines per mode, per-node probes and
// dielectric losses, and whole small netlists against golden files.
#include <gtest/gtest.h>

#include <cmath>

#include "board/settings.h"
#include "netlist/ac_job.h"
#include "netlist/netlist_ac.h"
#include "netlist_test_board.h"
#include "util/debug_log.h"

using namespace korvex;

using namespace netlist_test;

namespace {

AcJob Job(uint32_t mode, uint32_t source = 0, uint32_t termination = 1)
{
    AcJob job;
    job.Mode = mode;
    job.SourcePort = source;
    job.TerminationPort = termination;
    return job;
}

std::string Ac(TestBoard& b, const AcJob& job, const Settings& settings = Settings{})
{
    return Written([&](korvex::NetlistWriter& out) { WriteSpiceAC(out, &b.board, &b.mesh, &settings, &job); });
}

std::vector<std::string> PartLines(TestBoard& b, const AcJob& job)
{
    return Lines(Written([&](korvex::NetlistWriter& out) {
        for (Part* p = GetFirstPart(&b.board); p != nullptr; p = GetNextPart(p))
            EXPECT_EQ(CreateSpiceACParts(&out, &b.board, &b.mesh, p, &job), 0);
    }));
}

Port MakePort(uint32_t id, uint32_t x, uint32_t layer = 0)
{
    Port p;
    p.ID = id, p.x = x, p.Layer = layer;
    return p;
}

}  // namespace

class AcNetlist : public FreshCounters {};

TEST_F(AcNetlist, PartLinesMatchGoldenFile)
{
    std::string text;
    const auto section = [&](const std::string& what, TestBoard& b, const AcJob& job) {
        text += "** " + what + "\n";
        for (const std::string& line : PartLines(b, job)) text += line + "\n";
    };
    TestBoard ports(2, 3, 1);
    ports.UniformMesh({0, 1});
    for (uint32_t id : {0u, 1u, 2u}) ports.Add(PART_PORT, MakePort(id, id));
    for (uint32_t mode : {9094u, 9093u, 9092u, 9089u, 9088u, 9087u, 9090u, 9095u})
        section("ports 0, 1, 2 in mode " + std::to_string(mode) + ", port 0 into port 1", ports, Job(mode));

    TestBoard b(2, 3, 1);
    b.UniformMesh({0, 1});
    const std::pair<const char*, const char*> names[] = {{"", ""}, {"VDD", ""}, {"", "0"}, {"VDD", "0"}};
    for (const auto& [name1, name2] : names) {
        Resistor r;
        r.Net2X = 2, r.Rser = 0.5f, r.Lser = 1e-9f, r.Cpar = 2e-12f;
        CopyName(r.Net1Name, name1);
        CopyName(r.Net2Name, name2);
        b.Add(PART_RESISTOR, r);
    }
    Cap cap;
    cap.x = 1, cap.Ref = 7, cap.Capacitance = 1e-7f, cap.ESR = 0.01f, cap.ESL = 5e-10f;
    b.Add(PART_CAP, cap);
    SubCircuit sub;
    sub.x = 2, sub.Reference = 4;
    b.Add(PART_SUBCIRCUIT, sub);
    SeriesSubCircuit series;
    series.Net2X = 1, series.Reference = 5;
    CopyName(series.Name, "Ferrite");
    CopyName(series.Netlist, "L1 A B 1u\nR1 A B 100");
    b.Add(PART_SERIESSUBCIRCUIT, series);
    section("resistors with and without net names, a capacitor, two subcircuits; mode 9094", b, Job(9094));
    section("the same in mode 9092 into capacitor 7: the capacitor becomes the 50 ohm termination", b,
            Job(9092, 0, 7));
    ExpectGolden("ac_part_lines.cir", text);
    EXPECT_EQ(CreateSpiceACParts(nullptr, &b.board, &b.mesh, nullptr, nullptr), -1);
}

TEST_F(AcNetlist, SingleFrequencyModesDriveOnlyPortZero)
{
    TestBoard b(2, 2, 1);
    b.UniformMesh({0, 1});
    b.Add(PART_PORT, MakePort(3, 0));
    b.Add(PART_PORT, MakePort(1, 1));
    for (uint32_t mode : {9087u, 9090u}) EXPECT_TRUE(PartLines(b, Job(mode, 3)).empty());  // no port 0: no source
}

TEST_F(AcNetlist, ViaConnectsItsSignalLayerToTheReferenceBelow)
{
    // (The 2-layer via line, on layer 0, is in the 2-layer golden netlist.)
    const double area = 3.1415 * (std::pow(0.25e-3 + 7e-5, 2) - std::pow(0.25e-3, 2)) / 4;
    TestBoard b(4, 2, 1);
    b.board.ElectricalConductivity = 1000.0f;
    b.board.SizeZ[1] = 2e-4f, b.board.SizeZ[2] = 4e-4f;
    b.Node(0, 0, 1, 1, {0, 1, 2, 3});
    b.Node(1, 0, 1, 1, {0, 1, 3});
    b.Link();
    Via via;
    b.Add(PART_VIA, via);
    via.x = 1;
    b.Add(PART_VIA, via);
    const auto lines = PartLines(b, Job(9095));
    ASSERT_EQ(lines.size(), 4u);
    // Copper on layer 2: one layer spacing to the bottom plane; only on layer 1: two.
    EXPECT_EQ(lines[1].substr(0, 21), "RV1_2 N_L2_N000001 0 ");
    EXPECT_NEAR(Field(lines[1], 3) / (4e-4 / (1000 * area)), 1, 1e-5);
    EXPECT_EQ(lines[3].substr(0, 21), "RV2_1 N_L1_N000002 0 ");
    EXPECT_NEAR(Field(lines[3], 3) / (6e-4 / (1000 * area)), 1, 1e-5);
    EXPECT_EQ(lines[3].back(), ' ');
}

TEST_F(AcNetlist, ImpedanceProbesAndDielectricLossPerPlanePair)
{
    TestBoard two(2, 1, 1);
    two.UniformMesh({0, 1});
    const std::string zAtF = Ac(two, Job(9095));
    EXPECT_EQ(LinesStarting(zAtF, "I_L"), std::vector<std::string>{"I_L0_N000001 N_L0_N000001 0 AC 0"});
    EXPECT_EQ(LinesStarting(zAtF, ".net"), std::vector<std::string>{".net I_L0_N000001"});
    EXPECT_EQ(LinesStarting(zAtF, ".save"), std::vector<std::string>{".save Zin(I_L0_N000001)"});
    // Z of ports: no probes. C = 4.1 * 8.852e-12 * 1 mm^2 / 0.1 mm; R = 1 / (2 pi C 0.02).
    const std::string zin = Ac(two, Job(9094));
    EXPECT_TRUE(LinesStarting(zin, "I_L").empty());
    const double c = 4.1 * 8.852e-12 * 1e-6 / 1e-4;
    const double r = 1 / (2 * M_PI * c * 0.02);
    const auto comments = LinesStarting(zin, "*Dielectric");
    ASSERT_EQ(comments.size(), 1u);
    EXPECT_NEAR(Field(comments[0].substr(comments[0].find("C=") + 2), 0) / c, 1, 1e-6);
    EXPECT_NEAR(std::strtod(comments[0].c_str() + comments[0].find(")=") + 2, nullptr) / r, 1, 1e-6);
    const auto loss = LinesStarting(zin, "R_L1_N000001_loss");
    ASSERT_EQ(loss.size(), 1u);
    EXPECT_EQ(loss[0].substr(0, 33), "R_L1_N000001_loss N_L0_N000001 0 ");

    // (The probes of 4-layer boards, on layers 1 and 2, are in the 4-layer golden netlist.)
    TestBoard four(4, 1, 1);
    four.UniformMesh({0, 1, 2, 3});
    EXPECT_EQ(LinesStarting(Ac(four, Job(9090)), ".save V("),
              (std::vector<std::string>{".save V(N_L1_N000001)", ".save V(N_L2_N000001)"}));
    std::vector<std::string> heads;
    for (const std::string& line : LinesStarting(Ac(four, Job(9094)), "R_L"))
        if (line.find("_loss") != std::string::npos) heads.push_back(line.substr(0, line.find(" {")));
    EXPECT_EQ(heads, (std::vector<std::string>{"R_L0_N000001_loss N_L1_N000001 0",
                                               "R_L1_N000001_loss N_L1_N000001 N_L2_N000001",
                                               "R_L3_N000001_loss N_L2_N000001 0"}));

    // Copper only on the two reference planes: no dielectric, no probe, no loss.
    TestBoard outer(4, 1, 1);
    outer.UniformMesh({0, 3});
    const std::string text = Ac(outer, Job(9095));
    EXPECT_TRUE(LinesStarting(text, "I_L").empty());
    EXPECT_TRUE(LinesStarting(text, "*Dielectric").empty());
    EXPECT_TRUE(LinesStarting(text, "T_L").empty());

    two.board.Df[0] = 0;  // a lossless dielectric: the comment stays, no "inf" resistor
    const std::string lossless = Ac(two, Job(9094));
    EXPECT_EQ(LinesStarting(lossless, "*Dielectric").size(), 1u);
    EXPECT_TRUE(LinesStarting(lossless, "R_L1_N000001_loss").empty());
}

TEST_F(AcNetlist, RefusesBadPlansAndUnwritableFilesWithTheReason)
{
    TestBoard b(2, 1, 1);
    b.UniformMesh({0, 1});
    Settings noSteps;
    noSteps.Steps = 0;
    struct Case {
        const char* path;
        const Settings* settings;
        uint32_t mode;
        const char* reason;
    };
    const Case cases[] = {
        {"/tmp/korvex_never_written.cir", &noSteps, 9094, "AC netlist: the sweep needs at least one step"},
        {"/nonexistent-korvex/spice_ac.cir", &gSettings, 9094, "Netlist /nonexistent-korvex/spice_ac.cir could not be written: "},
        {"/tmp/korvex_never_written.cir", &gSettings, 1234, "AC netlist: unknown analysis mode 1234"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        const AcJob job = Job(c.mode);
        DebugCapture log;
        const Status written = WriteAcNetlist(c.path, &b.board, &b.mesh, c.settings, &job);
        EXPECT_EQ(written.Reason().rfind(c.reason, 0), 0u) << written.Reason();
        EXPECT_TRUE(log.Contains(c.reason));  // the log keeps saying it too
        EXPECT_EQ(CreateSpiceAC(c.path, &b.board, &b.mesh, c.settings, &job), -1);
        EXPECT_FALSE(std::filesystem::exists(c.path));
    }
}

TEST_F(AcNetlist, TwoLayerBoardMatchesGoldenFile)
{
    // 4 x 2 pixels: a 2x2 node and four 1x1 nodes, one without the top plane;
    // a port, a capacitor, a via and a subcircuit; stray correction on.
    TestBoard b(2, 4, 2);
    b.Copper(0, 0, 0, 2, 1);
    b.Copper(0, 3, 1, 3, 1);
    b.FillCopper(1);
    b.Node(0, 0, 2, 2, {0, 1});
    b.Node(2, 0, 1, 1, {0, 1});
    b.Node(3, 0, 1, 1, {1});
    b.Node(2, 1, 1, 1, {0, 1});
    b.Node(3, 1, 1, 1, {0, 1});
    b.Link();
    b.Add(PART_PORT, MakePort(0, 0));
    Cap cap;
    cap.x = 3, cap.y = 1, cap.Ref = 1;
    b.Add(PART_CAP, cap);
    Via via;
    via.x = 2;
    b.Add(PART_VIA, via);
    SubCircuit sub;
    sub.x = 2, sub.y = 1, sub.Reference = 2;
    b.Add(PART_SUBCIRCUIT, sub);
    Settings settings;
    settings.ComputeStrayCapacitance = 1;
    const AcJob job = Job(9094);
    ExpectGolden("ac_2layer_zin.cir", WrittenFile([&](const char* path) {
                     return CreateSpiceAC(path, &b.board, &b.mesh, &settings, &job);
                 }));
}

TEST_F(AcNetlist, FourLayerBoardMatchesGoldenFile)
{
    TestBoard b(4, 2, 2);
    for (int l = 0; l < 4; ++l) b.FillCopper(l);
    b.board.SizeZ[1] = 2e-4f;
    b.Node(0, 0, 1, 1, {0, 1, 2, 3});
    b.Node(1, 0, 1, 1, {0, 1, 3});
    b.Node(0, 1, 1, 1, {0, 2, 3});
    b.Node(1, 1, 1, 1, {0, 1, 2, 3});
    b.Link();
    b.Add(PART_PORT, MakePort(0, 1, 1));
    Settings settings;
    settings.ZinDistributionFrequency = 2.5e8;
    ExpectGolden("ac_4layer_z_at_f.cir", Ac(b, Job(9095), settings));
}
