// The PDN tools on the example board with the real simulator: the headless
// commands (what they compute against the plain Zin sweep, and that refusals
// come before any simulator run and change nothing), and korvex-cli
// optimize-caps, fit-spice, noise-time and cap-sim end to end with their refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "board/voltage_noise_param.h"
#include "cli_test_support.h"
#include "jobs/pdn_commands.h"
#include "pdn/opti_cap.h"
#include "pdn/port_zin_curve.h"
#include "pdn/spice_fit.h"
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
// them: the cap-sim test below. Here the open end.
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
    EXPECT_EQ(time.Curve[kTimeVoltageCurve].PointCount, 30);  // its values: the noise-time test below
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

    // A readable file in the folder is taken: the optimize-caps test below picks only from it.
    for (const char* text : {"", "Capacitance;ESR;ESL\nno;numbers;here\n"}) {
        std::ofstream(file, std::ios::trunc) << text;
        reason.clear();
        EXPECT_EQ(LoadWorkFolderCatalogue(folder, &db, &reason), -1) << text;
        EXPECT_NE(reason.find(file.string()), std::string::npos) << reason;
        EXPECT_EQ(db.Count, n_E6Init);  // unchanged
    }
    FreeCapDatabase(&db);
}

namespace {

// The example board as a project in a scratch folder with the short sweep in its Settings.set.
struct Workspace {
    TempFolder folder{"pdncli"};
    fs::path dir = folder.dir, project = dir / "board.sav";
    Workspace()
    {
        Settings settings = DefaultSettings();
        UseShortSweep(&settings);
        WriteSettingsFile(&settings, dir.string());
        EXPECT_EQ(RunCli("example " + project.string()).status, 0);
    }
    // A subcommand on the project with the work folder and the simulator.
    CliRun Tool(const std::string& command, const std::string& args) const
    {
        return RunCli(command + " " + project.string() + " --workdir " + dir.string() + " --simulator " + KORVEX_SIM +
                      " " + args, dir);
    }
    fs::path File(const char* name) const { return dir / name; }
};

// The capacitors of the project as saved at PATH.
std::vector<Cap> StoredCapacitors(const fs::path& path)
{
    Project project = Stored(path);
    std::vector<Cap> list;
    for (Part* p = GetFirstPart(&project.Board()); p != nullptr; p = GetNextPart(p))
        if (p->Kind == PART_CAP) list.push_back(*PartRecord<Cap>(p));
    return list;
}

// The text after the first LABEL in TEXT up to END; empty when LABEL is missing.
std::string FieldAfter(const std::string& text, const std::string& label, char end)
{
    const size_t at = text.find(label);
    if (at == std::string::npos) return "";
    const size_t from = at + label.size();
    return text.substr(from, text.find(end, from) - from);
}

// A printed value such as "329.9nF" with UNIT, read here apart from the program's parser;
// NaN unless it is a mantissa of 1 to 999.9 with a prefix p ... m, or none.
double PrefixedValue(const std::string& text, const std::string& unit)
{
    char* end = nullptr;
    const double mantissa = std::strtod(text.c_str(), &end);
    const std::string suffix(end);
    if (!(mantissa >= 1 && mantissa < 1000) || suffix.size() < unit.size() ||
        suffix.compare(suffix.size() - unit.size(), unit.size(), unit) != 0)
        return NAN;
    const std::string prefix = suffix.substr(0, suffix.size() - unit.size());
    for (const auto& [p, scale] : {std::pair<const char*, double>{"", 1}, {"m", 1e-3}, {"µ", 1e-6}, {"n", 1e-9}, {"p", 1e-12}})
        if (prefix == p) return mantissa * scale;
    return NAN;
}

// Squared excess over the target up to the target frequency, as the optimiser counts it;
// the magnitude of a .re/.im pair of columns or of one .abs column.
double Excess(const Csv& csv, int column, double target, double limit, bool magnitudeColumn = false)
{
    double error = 0;
    for (const auto& row : csv.rows) {
        if (row[0] > limit) break;
        const double m = magnitudeColumn ? row[column] : std::hypot(row[column], row[column + 1]);
        if (m > target) error += (m - target) * (m - target);
    }
    return error;
}

}  // namespace

TEST(PdnCli, OptimizeCapsPlacesTheCapacitorsItPrintsAndTheirCurve)
{
    Workspace w;
    const CliRun r = w.Tool("optimize-caps", "--port 0 --target-z 0.02 --target-f 3e7 --max 3 --save --csv " +
                                                 w.File("opt.csv").string());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Capacitor Array"), std::string::npos) << r.out;

    // The rows printed are the capacitors stored on the port (140, 55).
    const std::vector<Cap> caps = StoredCapacitors(w.project);
    ASSERT_GT(caps.size(), 3u);
    std::vector<Cap> added(caps.begin() + 3, caps.end());
    ASSERT_LE(added.size(), 3u);
    for (size_t i = 0; i < added.size(); ++i) {
        EXPECT_EQ(added[i].x, 140u);
        EXPECT_EQ(added[i].y, 55u);
        // "%2zu\tC<Ref>\t<value with prefix>F\t...": four significant digits and a prefix, not "329999.981nF".
        char row[64];
        std::snprintf(row, sizeof row, "%2zu\tC%u\t", i, added[i].Ref);
        EXPECT_NEAR(PrefixedValue(FieldAfter(r.out, row, '\t'), "F"), added[i].Capacitance, 1e-3 * added[i].Capacitance)
            << row << "\n" << r.out;
    }

    // OptiCap is the port's Zin in parallel with exactly those capacitors, and lowers the excess.
    const Csv csv = ReadCsv(w.File("opt.csv"));
    EXPECT_EQ(csv.header, "frequency_Hz,Zin(i000)_ohm.re,Zin(i000)_ohm.im,OptiCap_ohm.abs");
    ASSERT_GE(csv.rows.size(), 20u);
    double maximum = 0;  // OptiCap's up to the target frequency, which the program prints
    for (const auto& row : csv.rows) {
        ASSERT_EQ(row.size(), 4u);
        if (row[0] <= 3e7) maximum = std::max(maximum, row[3]);
        const double w0 = 2 * M_PI * row[0];
        DComplex y = Cdiv(Complex(1, 0), Complex(row[1], row[2]));
        for (const Cap& c : added)
            y = Cadd(y, Cdiv(Complex(1, 0), Complex(c.ESR, w0 * c.ESL - 1 / (w0 * c.Capacitance))));
        EXPECT_NEAR(row[3], 1 / Cabs(y), 1e-4 * row[3]) << row[0];
    }
    EXPECT_LT(Excess(csv, 3, 0.02, 3e7, true), Excess(csv, 1, 0.02, 3e7));
    EXPECT_NEAR(PrefixedValue(FieldAfter(r.out, "Max Impedance up to 30MHz: ", ' '), "Ohm"), maximum, 1e-3 * maximum)
        << r.out;
}

// From the branches given (the example project's own list is empty: the refusal below).
TEST(PdnCli, FitSpicePrintsTheFittedListItStores)
{
    Workspace w;
    const CliRun r = w.Tool("fit-spice", "--branch 10u,10m,1n --branch 100n,10m,1n --sensitivity 0 --save");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind(".subckt PDN n1 n2\nC1 n1 n2 ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\nC2 n1 n2 "), std::string::npos);
    EXPECT_EQ(LastLine(r.out), ".ends");
    double before = 0, after = 0;
    const size_t at = r.err.find("points: ");
    ASSERT_NE(at, std::string::npos) << r.err;
    ASSERT_EQ(std::sscanf(r.err.c_str() + at, "points: %lf before, %lf after", &before, &after), 2);
    EXPECT_LT(after, before);

    Project saved = Stored(w.project);
    std::string stored = SpiceSubcircuitText(&saved.Caps());
    stored.erase(std::remove(stored.begin(), stored.end(), '\r'), stored.end());
    EXPECT_EQ(stored, r.out);
}

TEST(PdnCli, NoiseTimeWritesStimulusAndResponseOverOnePeriod)
{
    Workspace w;
    const CliRun r = w.Tool("noise-time", "--T 1e-7 --tr 1e-8 --ton 4e-8 --amplitude 2 --gauss 0 --harmonics 6 "
                                          "--points 40 --save --csv " + w.File("noise.csv").string());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Harmonics: 5 of 10MHz"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Response from diagram curve 0 \"Zin(i000)\""), std::string::npos) << r.out;
    const Csv csv = ReadCsv(w.File("noise.csv"));
    EXPECT_EQ(csv.header, "time_s,Current Stimulus_A.re,Current Stimulus_A.im,Voltage Response_V.re,Voltage Response_V.im");
    ASSERT_EQ(csv.rows.size(), 40u);
    double mean = 0, lo = 0, hi = 0, response = 0;
    for (size_t k = 0; k < csv.rows.size(); ++k) {
        EXPECT_NEAR(csv.rows[k][0], k * 1e-7 / 40, 1e-12);
        mean += csv.rows[k][1] / 40;
        lo = std::min(lo, csv.rows[k][1]);
        hi = std::max(hi, csv.rows[k][1]);
        response = std::max(response, std::fabs(csv.rows[k][3]));
        EXPECT_TRUE(std::isfinite(csv.rows[k][3]));
    }
    EXPECT_NEAR(mean, 0.0, 1e-3);        // the series has no DC term
    EXPECT_NEAR(hi - lo, 2.0, 0.4);      // five harmonics of a 2 A trapezoid
    EXPECT_GT(response, 0.0);
    Project saved = Stored(w.project);             // --save keeps the parameters given
    EXPECT_EQ(saved.NoiseParam().nHarmonics, 6);
    EXPECT_FLOAT_EQ(saved.NoiseParam().Amplitude, 2.0f);
    EXPECT_EQ(saved.NoiseParam().GaussOn, 0);
}

TEST(PdnCli, CapSimGivesTheZinTheBoardHasWithTheValuesItSetsOnSave)
{
    Workspace w;
    CliRun r = w.Tool("cap-sim", "--port 0 --cap 2 --c 4.7e-6 --esr 0.002 --esl 3e-10 --save --csv " +
                                     w.File("z11c.csv").string());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Port 0 with C2 = 4.7\u00b5F, ESR 2mOhm, ESL 300pH"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Z11c: "), std::string::npos);
    Project saved = Stored(w.project);
    const Cap c2 = *PartRecord<Cap>(GetPartfromID(&saved.Board(), PART_CAP, 2));
    EXPECT_FLOAT_EQ(c2.Capacitance, 4.7e-6f);
    EXPECT_FLOAT_EQ(c2.ESR, 0.002f);
    EXPECT_FLOAT_EQ(c2.ESL, 3e-10f);

    // The plain Zin sweep of the board as stored gives the same impedance.
    r = w.Tool("ac", "--mode zin --csv " + w.File("zin.csv").string());
    ASSERT_EQ(r.status, 0) << r.err;
    const Csv z11c = ReadCsv(w.File("z11c.csv"));
    const Csv zin = ReadCsv(w.File("zin.csv"));
    EXPECT_EQ(z11c.header, "frequency_Hz,Z11c_ohm.re,Z11c_ohm.im");
    ASSERT_GE(z11c.rows.size(), 20u);
    ASSERT_EQ(z11c.rows.size(), zin.rows.size());
    for (size_t k = 0; k < zin.rows.size(); ++k) {
        EXPECT_DOUBLE_EQ(z11c.rows[k][0], zin.rows[k][0]);
        const double dz = std::hypot(z11c.rows[k][1] - zin.rows[k][1], z11c.rows[k][2] - zin.rows[k][2]);
        EXPECT_LT(dz, 1e-3 * std::hypot(zin.rows[k][1], zin.rows[k][2])) << zin.rows[k][0];
    }
}

// What the program checks itself before the commands (whose own refusals are in
// the PdnCommands tests above), and the catalogue it hands them.
TEST(PdnCli, BadArgumentsAreRefusedInOneLineAndLeaveTheProject)
{
    Workspace w;
    const std::string original = ReadFile(w.project);
    const std::vector<std::pair<std::string, std::string>> cases{
        {"optimize-caps --port 0 --target-z 0.05 --target-f 1e8 --max 0 --save", "Max. No of Capacitors must be 1 to 100"},
        {"optimize-caps --port 0 --target-z 0 --target-f 1e8 --max 2", "--target-z: \"0\" is outside 1nOhm ... 1MOhm"},
        {"fit-spice --save", "has no branches"},
        {"fit-spice --branch 1u,1m", "three positive numbers"},
        {"noise-time --source 2 --csv x.csv", "--source must be 0 or 1"},
        {"noise-time --harmonics 4 --zin-curve 4 --csv x.csv --save", "no Zin curve at index 4"},
        {"cap-sim --port 0 --cap 9 --save", "Did not find Capacitor C9"},
        {"cap-sim --port 0 --cap 1 --esl -1 --save", "--esl: \"-1\" is outside 0H ... 1H"},
        {"cap-sim --port 0 --cap 1 --c 22x --save", "--c: \"22x\" is not a number in F"},
    };
    for (const auto& [args, reason] : cases) {
        const CliRun r = w.Tool(args.substr(0, args.find(' ')), args.substr(args.find(' ') + 1));
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(LastLine(r.err).rfind("korvex-cli: ", 0), 0u) << args << "\n" << r.err;
        EXPECT_NE(LastLine(r.err).find(reason), std::string::npos) << args << "\n" << r.err;
    }
    EXPECT_EQ(ReadFile(w.project), original);

    // A catalogue in the work folder is the one the optimiser picks from.
    std::ofstream(w.File("CapStd.csv")) << "Capacitance;ESR;ESL\n2.2e-6;0.01;5e-10\n";
    ASSERT_EQ(w.Tool("optimize-caps", "--port 0 --target-z 0.001 --target-f 1e8 --max 2 --save").status, 0);
    const std::vector<Cap> caps = StoredCapacitors(w.project);
    ASSERT_GT(caps.size(), 3u);
    for (size_t i = 3; i < caps.size(); ++i) EXPECT_FLOAT_EQ(caps[i].Capacitance, 2.2e-6f);
}
