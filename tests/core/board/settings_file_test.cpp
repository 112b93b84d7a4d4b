#include <gtest/gtest.h>
#include <sys/stat.h>

#include "board/settings_file.h"
#include "board_fixtures.h"
#include "util/debug_log.h"

using namespace korvex;

using namespace testing_board;

namespace {
Settings Distinct()
{
    Settings s;
    CopyName(s.LTspicePath, "/opt/sim/bin/korvex-sim");
    s.ShowConsole = 0, s.MaxMeshOrder = 6, s.CompressFiles = 0;
    s.StartFrequency = 123.0, s.StopFrequency = 4.5e9, s.NumberOfPoints = 77, s.Steps = 3;
    s.ZinDistributionFrequency = 2.5e8, s.YAxisMode = 2, s.DiagramClickMode = 1, s.Reserved1 = 9;
    s.AutoMinMax = 0, s.MinValue = -1.5f, s.MaxValue = 8.25f;
    return s;
}

// Keeps gszFolderSettings pointed at a test folder for one test.
struct SettingsFolder : TempFolder {
    std::string saved = gszFolderSettings;
    explicit SettingsFolder(const char* tag) : TempFolder(tag) { gszFolderSettings = dir.string(); }
    ~SettingsFolder() { gszFolderSettings = saved; }
};
}  // namespace

TEST(SettingsFile, ByteLayout)
{
    SettingsFolder t("settings_layout");
    const Settings s = Distinct();
    ASSERT_EQ(WriteSettingsFile(&s, t.dir.string()), 0);
    const auto b = ReadBytes(t.Path("Settings.set"));
    ASSERT_EQ(b.size(), 368u);
    EXPECT_STREQ(reinterpret_cast<const char*>(b.data()), "/opt/sim/bin/korvex-sim");
    EXPECT_EQ(b[259], 0);
    ExpectFields(b, {{260, 'u', 0},       // ShowConsole
                     {264, 'u', 1},       // BatchMode
                     {284, 'u', 6},       // MaxMeshOrder
                     {288, 'u', 0},       // CompressFiles
                     {292, 'u', 0},       // padding
                     {296, 'd', 123.0},   {304, 'd', 4.5e9}, {312, 'u', 77}, {316, 'u', 3}, {320, 'd', 2.5e8},
                     {328, 'u', 2},       // YAxisMode
                     {340, 'u', 1},       // DiagramClickMode
                     {344, 'u', 1},       // LinkEditAndViewWindow
                     {348, 'u', 9},       // reserved word, stored as held
                     {352, 'u', 0},       // AutoMinMax
                     {356, 'f', -1.5f},   {360, 'f', 8.25f}, {364, 'u', 0}});
    Settings back;
    ASSERT_EQ(ReadSettingsFile(&back, t.dir.string()), 0);
    EXPECT_EQ(Encoded(SettingsLayout(), &back), b);
}

TEST(SettingsFile, ShortMissingOrUnwritableFileIsReportedAndKeepsSettingsInForce)
{
    SettingsFolder t("settings_short");
    Settings s = Distinct();
    std::string message, caption;
    DebugCapture log;
    EXPECT_EQ(CheckLTSpicePath(&s, &message, &caption), -1);
    EXPECT_EQ(message, "Set Correct LTSpice File");
    EXPECT_EQ(caption, "Error");
    EXPECT_TRUE(log.Contains("Settings.set " + t.Path("Settings.set") + " konnte nicht gefunden werden"));

    std::vector<uint8_t> shortFile(367, 0xAB);
    WriteBytes(t.Path("Settings.set"), shortFile);
    std::string reason;
    EXPECT_EQ(ReadSettingsFile(&s, t.dir.string(), &reason), -1);
    EXPECT_NE(reason.find("367 of 368"), std::string::npos);
    EXPECT_EQ(CheckLTSpicePath(&s), -1);
    const Settings expected = Distinct();
    EXPECT_EQ(Encoded(SettingsLayout(), &s), Encoded(SettingsLayout(), &expected));

    EXPECT_EQ(WriteSettingsFile(&s, t.Path("missing"), &reason), -1);
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(log.Contains("konnte nicht angelegt werden"));
}

TEST(SettingsFile, SimulatorPathMustBeAFile)
{
    SettingsFolder t("settings_path");
    const std::string sim = t.Path("sim");
    WriteBytes(sim, {'#', '!'});
    fs::create_directories(t.dir / "folder");
    struct Case {
        std::string path;
        int result;
        const char* log;
    };
    const Case cases[] = {
        {sim, 0, "exists\r\n"},
        {t.Path("folder"), -1, "does not exist\r\n"},
        {t.Path("absent"), -1, "does not exist\r\n"},
        {"NoPathSelected", -1, "does not exist\r\n"},
    };
    for (const Case& c : cases) {
        Settings s;
        CopyName(s.LTspicePath, c.path.c_str());
        ASSERT_EQ(WriteSettingsFile(&s, t.dir.string()), 0);
        Settings loaded;
        DebugCapture log;
        EXPECT_EQ(CheckLTSpicePath(&loaded), c.result) << c.path;
        EXPECT_STREQ(loaded.LTspicePath, c.path.c_str());
        EXPECT_TRUE(log.Contains("LTSpice File " + c.path + " " + c.log)) << log.Text();
    }
}

TEST(SettingsFile, DefaultSimulatorIsTheOneBesideTheProgram)
{
    TempFolder t("settings_default");
    EXPECT_EQ(DefaultLTspicePath(t.dir.string()), "NoPathSelected");
    EXPECT_EQ(DefaultLTspicePath(""), "NoPathSelected");
    const std::string sim = t.Path("korvex-sim");
    WriteBytes(sim, {'x'});
    EXPECT_EQ(DefaultLTspicePath(t.dir.string()), "NoPathSelected");  // not executable
    ::chmod(sim.c_str(), 0755);
    EXPECT_EQ(DefaultLTspicePath(t.dir.string()), sim);
    EXPECT_FALSE(ProgramFolder().empty());
}
