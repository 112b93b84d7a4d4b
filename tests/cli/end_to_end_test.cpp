// End to end. Physics on small boards: mesh, netlist, the real korvex-sim, the
// result readers and the maps, checked against textbook values. And the user
// guide's walk-through (examples/walkthrough.sh) as a test, with what it leaves
// behind read back independently: the PNG legends against the stored rasters,
// the Touchstone file against the CSV of the same curve.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <map>
#include <nlohmann/json.hpp>

#include "cli_test_support.h"
#include "image.h"
#include "mesh/mesh_node_results.h"

using namespace korvex;

namespace fs = std::filesystem;

namespace {
void Ground(SimMatrix* b, uint32_t x, uint32_t y, uint32_t layer)
{
    Place(b, PART_RESISTOR, Resistor{.Net1X = x, .Net1Y = y, .Net1Z = layer, .Net2X = x, .Net2Y = y, .Net2Z = layer,
                                     .Net2Name = "0", .Rser = 1e-6f});
}

void Source(SimMatrix* b, uint32_t x, uint32_t y, uint32_t layer, double amps)
{
    Place(b, PART_CURRENT, Current{.Net1X = x, .Net1Y = y, .Net1Z = layer, .Net2X = x, .Net2Y = y, .Net2Z = layer,
                                   .Net2Name = "0", .Current = amps});
}
}  // namespace

TEST(EndToEnd, StripVoltageDropMatchesSheetResistance)
{
    // 100 x 10 mm strip of 35 um copper, fed along its left edge and grounded along its right edge.
    JobBench t(100, 10, 1, 1e-3f);
    t.board.TemperatureCoefficient = 0;
    t.FillLayer(0);
    for (uint32_t y = 0; y < 10; ++y) {
        Source(&t.board, 0, y, 0, 0.1);
        Ground(&t.board, 99, y, 0);
    }
    t.BuildMesh();
    const JobOutcome out = CommandSimulateElectrical(t.Env());
    ASSERT_TRUE(out.Success) << out.Reason << out.LogTail;
    const double sigma = t.board.ElectricalConductivity, thick = t.board.CopperThickness[0], width = 0.01;
    // Nodes are larger than a pixel: compare the voltages of two nodes with
    // the distance between their centres.
    const MeshNode* a = CoordinateToAddress(&t.mesh, {20, 5});
    const MeshNode* b = CoordinateToAddress(&t.mesh, {80, 5});
    ASSERT_TRUE(a && b);
    const double length = 1e-3 * ((b->x + b->OrderX / 2.0) - (a->x + a->OrderX / 2.0));
    const double expected = 1.0 * length / (sigma * thick * width);
    EXPECT_NEAR(std::fabs(ResultsOf(a).Voltage[0] - ResultsOf(b).Voltage[0]), expected, 0.01 * expected);
    // The current density map carries the whole current across the strip.
    double current = 0;
    for (uint32_t y = 0; y < 10; ++y) current += t.board.CurrentXMatrix[50][y][0];
    EXPECT_NEAR(std::fabs(current), 1.0, 0.01);
}

TEST(EndToEnd, ViaAddsItsBarrelResistance)
{
    // A source on layer 1 at one corner, ground on layer 2: the current passes one via.
    JobBench t(20, 20, 2, 1e-3f);
    t.board.TemperatureCoefficient = 0;
    t.FillLayer(0);
    t.FillLayer(1);
    Source(&t.board, 10, 10, 0, 1.0);
    Ground(&t.board, 10, 10, 1);
    const Via via{.x = 10, .y = 10};
    Place(&t.board, PART_VIA, via);
    t.BuildMesh();
    const JobOutcome out = CommandSimulateElectrical(t.Env());
    ASSERT_TRUE(out.Success) << out.Reason << out.LogTail;
    const double d = via.Diameter, c = via.CopperThickness;
    const double area = 3.1415 * (d + 2 * c) * (d + 2 * c) / 4 - 3.1415 * d * d / 4;
    const double barrel = t.board.SizeZ[0] / (t.board.ElectricalConductivity * area);
    const double drop = t.board.VoltageMatrix[10][10][0] - t.board.VoltageMatrix[10][10][1];
    EXPECT_NEAR(std::fabs(drop), barrel, 0.01 * barrel);
    EXPECT_NEAR(std::fabs(PartRecord<Via>(GetFirstPart(&t.board)->pNext->pNext)->Current[0]), 1.0, 1e-3);
}

TEST(EndToEnd, HeatedPlateRisesByConvectionAndRadiationBalance)
{
    // A 50 x 50 mm one-layer plate heated evenly by a source over all of it.
    JobBench t(50, 50, 1, 1e-3f);
    t.FillLayer(0);
    const HeatSource h{.RectBX = 49, .RectBY = 49, .Power = 1.0};
    Place(&t.board, PART_HEATSOURCE, h);
    t.BuildMesh();
    const JobOutcome out = CommandSimulateThermal(t.Env());
    ASSERT_TRUE(out.Success) << out.Reason << out.LogTail;
    const double ta = t.board.TAmbient, area = 0.05 * 0.05;
    const double hr = t.board.Epsilon * 5.67e-8 * (std::pow(ta + 0.1 + 273.15, 4) - std::pow(ta + 273.15, 4)) / 0.1;
    const double rise = h.Power / (2 * area * (t.board.Alpha + hr));  // both faces
    const double measured = t.board.TemperatureMatrix[25][25][0] - ta;
    EXPECT_NEAR(measured, rise, 0.02 * rise);
    EXPECT_GT(PartRecord<HeatSource>(GetFirstPart(&t.board))->Temperature, t.board.TemperatureMatrix[25][25][0]);
}

TEST(EndToEnd, PlanePairIsACapacitorAndResonatesAtHalfAWavelength)
{
    // 100 x 100 mm plane pair, 1 mm of FR4 between, port at a corner.
    JobBench t(100, 100, 2, 1e-3f);
    t.board.SizeZ[0] = 1e-3f;
    t.board.Df[0] = 0;
    t.settings.ComputeStrayCapacitance = 0;
    t.FillLayer(0);
    t.FillLayer(1);
    Place(&t.board, PART_PORT, Port{.x = 0, .y = 0});
    t.BuildMesh();

    t.settings.StartFrequency = 1e5;
    t.settings.StopFrequency = 1e6;
    t.settings.NumberOfPoints = 2;
    t.settings.Steps = 1;
    t.settings.LogFrequencyAxis = 0;
    AcJob job;
    job.Mode = AC_MODE_ZIN_OF_PORTS;
    JobOutcome out = CommandSimulateAc(t.Env(), job);
    ASSERT_TRUE(out.Success) << out.Reason << out.LogTail;
    ASSERT_GE(t.diagram.Curve[0].PointCount, 1);
    const double f = t.diagram.Curve[0].pX[0];
    const double c = 8.854187817e-12 * t.board.Er[0] * 0.01 / 1e-3;
    const double expectedX = -1 / (2 * M_PI * f * c);
    EXPECT_NEAR(t.diagram.Curve[0].pZ[0], expectedX, 0.02 * std::fabs(expectedX));

    // First cavity resonance: c0 / (2 a sqrt(er)), seen as the first impedance peak.
    const double resonance = 299792458.0 / (2 * 0.1 * std::sqrt(t.board.Er[0]));
    t.settings.StartFrequency = 0.8 * resonance;
    t.settings.StopFrequency = 1.2 * resonance;
    t.settings.NumberOfPoints = 201;
    out = CommandSimulateAc(t.Env(), job);
    ASSERT_TRUE(out.Success) << out.Reason << out.LogTail;
    const DiagramCurve& curve = t.diagram.Curve[0];
    int peak = 0;
    for (int i = 0; i < curve.PointCount; ++i)
        if (std::hypot(curve.pY[i], curve.pZ[i]) > std::hypot(curve.pY[peak], curve.pZ[peak])) peak = i;
    EXPECT_NEAR(curve.pX[peak], resonance, 0.03 * resonance);
}

TEST(EndToEnd, TwoPortAcrossASmallPlanePairIsAShuntCapacitance)
{
    // 20 x 20 mm plane pair, 0.2 mm of lossless FR4; ports at opposite corners. Far
    // below the first resonance the planes are one shunt admittance Y = jwC between two
    // 50 ohm ports: S11 = S22 = -Y Z0 / (2 + Y Z0), S21 = S12 = 2 / (2 + Y Z0).
    JobBench t(20, 20, 2, 1e-3f);
    t.board.SizeZ[0] = 0.2e-3f;
    t.board.Df[0] = 0;
    t.FillLayer(0);
    t.FillLayer(1);
    Place(&t.board, PART_PORT, Port{.x = 2, .y = 2, .ID = 0});
    Place(&t.board, PART_PORT, Port{.x = 17, .y = 17, .ID = 1});
    ASSERT_TRUE(t.project.SaveAs(t.folder.Path("planes.sav"), false).IsOk());
    Settings s = t.settings;
    s.ComputeStrayCapacitance = 0;
    s.StartFrequency = 1e6;
    s.StopFrequency = 3e7;
    s.NumberOfPoints = 8;  // two linear bands of 4 points that share 15.5 MHz
    s.Steps = 2;
    s.LogFrequencyAxis = 0;
    ASSERT_EQ(WriteSettingsFile(&s, t.folder.dir.string()), 0);
    const std::string dir = t.folder.dir.string();
    const CliRun r = RunCli("ac planes.sav --mode s21 --source 0 --termination 1 --touchstone two.s2p --workdir " + dir +
                                " --simulator " + KORVEX_SIM, t.folder.dir);
    ASSERT_EQ(r.status, 0) << r.err;

    const double c = 8.852e-12 * t.board.Er[0] * 0.02 * 0.02 / 0.2e-3;
    const Touchstone s2p = ReadTouchstone(t.folder.dir / "two.s2p", 9);
    EXPECT_EQ(s2p.option, "# Hz S RI R 50");
    ASSERT_EQ(s2p.rows.size(), 7u);  // the shared band edge once
    EXPECT_NEAR(s2p.rows.back()[0], 3e7, 1);
    for (const std::vector<double>& v : s2p.rows) {
        const double f = v[0];
        const std::complex<double> yz0(0, 2 * M_PI * f * c * 50);
        const std::complex<double> s11 = -yz0 / (2.0 + yz0), s21 = 2.0 / (2.0 + yz0);
        const std::complex<double> expected[4] = {s11, s21, s21, s11};
        const char* const names[4] = {"S11", "S21", "S12", "S22"};
        for (int k = 0; k < 4; ++k) {
            const std::complex<double> got(v[1 + 2 * k], v[2 + 2 * k]);
            EXPECT_LT(std::abs(got - expected[k]), 0.03 * std::abs(expected[k]))
                << names[k] << " at " << f << " Hz: " << got;
        }
    }

    // A simulator that leaves S22 out gives no file rather than zeros in its place.
    const std::string dropsS22 = t.folder.Script(
        "drops.sh", "for a; do netlist=$a; done; sed -i '/S22/d' \"$netlist\"; exec " + std::string(KORVEX_SIM) + " \"$@\"");
    const CliRun without = RunCli("ac planes.sav --mode s21 --touchstone part.s2p --workdir " + dir + " --simulator " +
                                  dropsS22, t.folder.dir);
    EXPECT_EQ(without.status, 1);
    EXPECT_NE(without.err.find("the S21 run gave no S22 for the Touchstone file"), std::string::npos) << without.err;
    EXPECT_FALSE(std::filesystem::exists(t.folder.dir / "part.s2p"));
}

namespace {

struct Walkthrough {
    TempFolder t{"walk"};
    CliRun run;
    Walkthrough()
    {
        const std::string script = std::string(KORVEX_EXAMPLES) + "/walkthrough.sh";
        run = RunCli("--version >/dev/null && bash " + script + " " + KORVEX_CLI + " " + KORVEX_SIM + " " + t.dir.string());
    }
    fs::path File(const char* name) const { return t.dir / name; }
};

const Walkthrough& Shared()
{
    static Walkthrough w;
    return w;
}

std::map<std::string, std::string> PngText(const fs::path& path)
{
    std::map<std::string, std::string> out;
    for (const auto& [k, v] : korvex::maps::ReadPngText(path.string())) out[k] = v;
    return out;
}

// Min and max of a raster layer over the pixels with copper, computed here.
std::pair<double, double> CopperRange(const SimMatrix& b, float*** raster, int layer)
{
    double lo = INFINITY, hi = -INFINITY;
    for (uint32_t x = 0; x < b.CountPixelX; ++x)
        for (uint32_t y = 0; y < b.CountPixelY; ++y)
            if (b.CopperMatrix[x][y][layer] > 0) {
                lo = std::min<double>(lo, raster[x][y][layer]);
                hi = std::max<double>(hi, raster[x][y][layer]);
            }
    return {lo, hi};
}

}  // namespace

TEST(Walkthrough, RunsEveryStepOfTheUserGuide)
{
    const Walkthrough& w = Shared();
    ASSERT_EQ(w.run.status, 0) << w.run.out << w.run.err;
    for (const char* file : {"board.sav", "Settings.set", "dc.json", "zin.csv", "zin.s1p", "zin.png", "zin.svg",
                             "dc-maps/Layer1_Voltage.png", "dc-maps/Layer2_CurrentDensity.png",
                             "thermal-maps/Layer1_Temperature.png", "z-maps/Layer1_ZIN.png", "all-maps/Layer2_ZIN.png"})
        EXPECT_TRUE(fs::exists(w.File(file))) << file;
    EXPECT_EQ(ReadFile(w.File("zin.png")).substr(1, 3), "PNG");
    EXPECT_NE(ReadFile(w.File("zin.svg")).find("<svg"), std::string::npos);
    // The DC summary: the 5 A have to pass the slot, so Layer1 carries a voltage drop.
    const auto dc = nlohmann::json::parse(ReadFile(w.File("dc.json")));
    EXPECT_EQ(dc["Analysis"], "dc");
    ASSERT_EQ(dc["Layers"].size(), 2u);
    EXPECT_EQ(dc["Layers"][0]["Voltage"]["Unit"], "V");
    EXPECT_EQ(dc["Layers"][0]["CurrentDensity"]["Unit"], "A/mm²");
    EXPECT_GT(dc["Layers"][0]["Voltage"]["Max"].get<double>() - dc["Layers"][0]["Voltage"]["Min"].get<double>(), 1e-4);
    EXPECT_GT(dc["Layers"][0]["CurrentDensity"]["Max"].get<double>(), 0.1);
}

TEST(Walkthrough, MapLegendsGiveTheRangeOfTheRasterOverCopper)
{
    const Walkthrough& w = Shared();
    ASSERT_EQ(w.run.status, 0) << w.run.err;
    Project project = Stored(w.File("board.sav"));
    const SimMatrix& b = project.Board();
    const struct {
        const char* map;
        float*** raster;
        int layer;
        const char* unit;
        const char* scale;
    } cases[] = {
        {"thermal-maps/Layer1_Temperature.png", b.TemperatureMatrix, 0, "°C", "linear"},
        {"thermal-maps/Layer2_Temperature.png", b.TemperatureMatrix, 1, "°C", "linear"},
        {"z-maps/Layer1_ZIN.png", b.ZinMatrix, 0, "Ohm", "log"},
    };
    for (const auto& c : cases) {
        const auto text = PngText(w.File(c.map));
        const auto [lo, hi] = CopperRange(b, c.raster, c.layer);
        ASSERT_EQ(text.count("Minimum"), 1u) << c.map;
        EXPECT_NEAR(std::stod(text.at("Minimum")), lo, 1e-6 * std::fabs(lo)) << c.map;
        EXPECT_NEAR(std::stod(text.at("Maximum")), hi, 1e-6 * std::fabs(hi)) << c.map;
        EXPECT_EQ(text.at("Unit"), c.unit) << c.map;
        EXPECT_EQ(text.at("Scale"), c.scale) << c.map;
    }
    // The shared scale spans both layers.
    const auto shared = PngText(w.File("all-maps/Layer1_Temperature.png"));
    const double lo = std::min(CopperRange(b, b.TemperatureMatrix, 0).first, CopperRange(b, b.TemperatureMatrix, 1).first);
    const double hi = std::max(CopperRange(b, b.TemperatureMatrix, 0).second, CopperRange(b, b.TemperatureMatrix, 1).second);
    EXPECT_NEAR(std::stod(shared.at("Minimum")), lo, 1e-6 * lo);
    EXPECT_NEAR(std::stod(shared.at("Maximum")), hi, 1e-6 * hi);
}

TEST(Walkthrough, TouchstoneFileReadsBackAsTheZinCurve)
{
    const Walkthrough& w = Shared();
    ASSERT_EQ(w.run.status, 0) << w.run.err;
    // The CSV of the same run.
    const Csv csv = ReadCsv(w.File("zin.csv"));
    ASSERT_EQ(csv.header, "frequency_Hz,Zin(i000)_ohm.re,Zin(i000)_ohm.im");
    std::vector<std::vector<double>> expected;
    for (const auto& row : csv.rows) {
        ASSERT_EQ(row.size(), 3u);
        // Touchstone frequencies rise strictly: a band edge that two sub-bands share comes once.
        if (expected.empty() || row[0] > expected.back()[0]) expected.push_back(row);
    }
    const Touchstone s1p = ReadTouchstone(w.File("zin.s1p"), 3);
    EXPECT_EQ(s1p.option, "# Hz Z RI R 1");
    const auto& read = s1p.rows;
    ASSERT_EQ(read.size(), expected.size());
    ASSERT_GE(read.size(), 10u);
    for (size_t k = 0; k < read.size(); ++k)
        for (int i = 0; i < 3; ++i)  // the CSV holds the floats' shortest texts, the Touchstone file all digits
            EXPECT_NEAR(read[k][i], expected[k][i], 1e-6 * std::fabs(expected[k][i]) + 1e-12) << k;
}
