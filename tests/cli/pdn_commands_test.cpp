// The headless PDN commands on the example board with the real simulator:
// what they compute against the plain Zin sweep, and that refusals come before
// any simulator run and change nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "job_bench.h"
#include "jobs/pdn_commands.h"
#include "pdn/opti_cap.h"
#include "pdn/port_zin_curve.h"
#include "pdn/voltage_noise_time.h"

using namespace korvex;

namespace fs = std::filesystem;

namespace {

std::vector<DComplex> CurveValues(const Diagram& d, int slot)
{
    std::vector<DComplex> values;
    for (int k = 0; k < d.Curve[slot].PointCount; ++k) values.push_back(Complex(d.Curve[slot].pY[k], d.Curve[slot].pZ[k]));
    return values;
}

void ExpectSameImpedance(const std::vector<DComplex>& a, const std::vector<DComplex>& b, const char* what)
{
    ASSERT_EQ(a.size(), b.size()) << what;
    ASSERT_FALSE(a.empty()) << what;
    for (size_t k = 0; k < a.size(); ++k)
        EXPECT_NEAR(Cabs(Csub(a[k], b[k])) / Cabs(b[k]), 0.0, 1e-3) << what << " point " << k;
}

}  // namespace

// Z11c with the capacitor's own or new values against the Zin of the board with
// them: tests/cli/pdn_cli_test.cpp (cap-sim). Here the open end.
TEST(PdnCommands, Z11cOfAnOpenEndIsThePortZinWithoutTheCapacitor)
{
    JobBench t;
    JobOutcome out = CommandSimulateSCapacitor(t.Env(), 0, 2);
    ASSERT_TRUE(out.Success) << out.Reason << out.LogTail;
    EXPECT_EQ(t.sparams.SelectedPort, 0u);
    EXPECT_EQ(t.sparams.SelectedCap, 2u);
    // Capacitance 0 is an open end: the port then sees the board without C2.
    Cap open = *PartRecord<Cap>(GetPartfromID(&t.board, PART_CAP, 2));
    open.Capacitance = 0;
    ASSERT_EQ(DrawSimulateSCapacitor(t.Env(), open), 0);
    EXPECT_STREQ(t.diagram.Curve[0].szName, "Z11c");
    const std::vector<DComplex> openEnd = CurveValues(t.diagram, 0);
    DeletePart(&t.board, GetPartfromID(&t.board, PART_CAP, 2));
    int slot = -1;
    out = CommandSimulatePortZin(t.Env(), 0, &slot);
    ASSERT_TRUE(out.Success) << out.Reason << out.LogTail;
    ASSERT_EQ(slot, FindPortZinCurve(&t.diagram, 0));
    ExpectSameImpedance(openEnd, CurveValues(t.diagram, slot), "open end");
}

TEST(PdnCommands, NoiseSweepLandsOnTheHarmonicsAndGivesTheResponse)
{
    JobBench t;
    VoltageNoiseTimeParam p;
    p.nHarmonics = 6;
    p.Datapoints = 30;
    Diagram time;
    const JobOutcome out = CommandVoltageNoiseTime(t.Env(), &p, 0, &time);
    ASSERT_TRUE(out.Success) << out.Reason << out.LogTail;
    EXPECT_EQ(t.settings.Steps, 1u);
    const DiagramCurve& zin = t.diagram.Curve[p.ZinCurve];
    ASSERT_EQ(zin.PointCount, p.nHarmonics);
    for (int k = 0; k < zin.PointCount; ++k) EXPECT_NEAR(zin.pX[k] * p.T, k + 1.0, 1e-4) << k;
    EXPECT_EQ(time.Curve[kTimeVoltageCurve].PointCount, 30);  // its values: pdn_cli_test.cpp (noise-time)
}

TEST(PdnCommands, RefusalsComeBeforeTheSimulatorAndChangeNothing)
{
    JobBench t;
    t.simulator = t.folder.Script("marks.sh", "touch '" + t.folder.Path("ran") + "'; exit 1");
    const uint32_t parts = CountParts(&t.board);
    const double start = t.settings.StartFrequency;
    CapDatabase catalogue, empty, tooLong;
    InitCapDatabase(&catalogue);
    CapRecord branch;
    branch.Capacitance = 1e-6f;
    for (int i = 0; i < 101; ++i) AddCap(&tooLong, 0, &branch);

    OptiCapParam noCaps, noPort;
    noCaps.MaxCapacitors = 0;
    noPort.TargetPort = 7;
    VoltageNoiseTimeParam noPeriod, noDrive;
    noPeriod.T = 0;
    noDrive.Source = 1;
    Diagram time;
    const std::vector<std::pair<JobOutcome, const char*>> refusals{
        {CommandOptimizeCaps(t.Env(), noCaps, catalogue, nullptr), "Max. No of Capacitors"},
        {CommandOptimizeCaps(t.Env(), noPort, catalogue, nullptr), "no port 7"},
        {CommandOptimizeCaps(t.Env(), OptiCapParam{}, empty, nullptr), "catalogue is empty"},
        {CommandFitSpiceCircuit(t.Env(), &empty, 1, nullptr), "(has 0)"},
        {CommandFitSpiceCircuit(t.Env(), &tooLong, 1, nullptr), "(has 101)"},
        {CommandFitSpiceCircuit(t.Env(), &catalogue, 3, nullptr), "sensitivity 3"},
        {CommandVoltageNoiseTime(t.Env(), &noPeriod, 0, &time), "period T"},
        {CommandVoltageNoiseTime(t.Env(), &noDrive, 5, &time), "no port 5"},
        {CommandSimulateSCapacitor(t.Env(), 3, 1), "Port 3"},
        {CommandSimulatePortZin(t.Env(), 2, nullptr), "no port 2"},
    };
    for (const auto& [outcome, why] : refusals) {
        EXPECT_FALSE(outcome.Success) << why;
        EXPECT_NE(outcome.Reason.find(why), std::string::npos) << outcome.Reason;
    }
    EXPECT_FALSE(fs::exists(t.folder.Path("ran")));
    EXPECT_EQ(CountParts(&t.board), parts);
    EXPECT_EQ(t.settings.StartFrequency, start);
    EXPECT_EQ(catalogue.Count, n_E6Init);
    EXPECT_EQ(DrawSimulateSCapacitor(t.Env(), Cap{}), -1);  // no run yet
    for (CapDatabase* db : {&catalogue, &empty, &tooLong}) FreeCapDatabase(db);
}

TEST(PdnCommands, CatalogueBuiltInWithoutAFileAndRefusedWhenItDoesNotRead)
{
    TempFolder t;
    const std::string folder = t.dir.string();
    const fs::path file = t.dir / kCapCatalogueFileName;
    CapDatabase db;
    std::string reason;
    EXPECT_EQ(LoadWorkFolderCatalogue(folder, &db, &reason), 0);
    EXPECT_EQ(db.Count, n_E6Init);
    EXPECT_FALSE(fs::exists(file));  // the built-in table is not written out

    // A readable file in the folder is taken: pdn_cli_test.cpp (optimize-caps picks only from it).
    for (const char* text : {"", "Capacitance;ESR;ESL\nno;numbers;here\n"}) {
        std::ofstream(file, std::ios::trunc) << text;
        reason.clear();
        EXPECT_EQ(LoadWorkFolderCatalogue(folder, &db, &reason), -1) << text;
        EXPECT_NE(reason.find(file.string()), std::string::npos) << reason;
        EXPECT_EQ(db.Count, n_E6Init);  // unchanged
    }
    FreeCapDatabase(&db);
}
