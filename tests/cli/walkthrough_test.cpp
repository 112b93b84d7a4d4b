// The user guide's walk-through (examples/walkthrough.sh) as a test, and what
// it leaves behind read back independently: the PNG legends against the
// stored rasters, the Touchstone file against the CSV of the same curve.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <nlohmann/json.hpp>

#include "cli_test_support.h"
#include "image.h"

using namespace korvex;

namespace fs = std::filesystem;

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
