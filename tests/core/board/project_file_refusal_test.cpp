// Damaged and foreign files are refused with a reason, and nothing that was
// loaded before is touched.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <functional>

#include "board/project_file.h"
#include "board_fixtures.h"
#include "pdn/cap_database.h"
#include "pdn/voltage_noise_param.h"
#include "util/byte_io.h"
#include "util/debug_log.h"

using namespace testing_board;

namespace {

// Plain file of a 3 x 2 x 1 board with one Cap part and one [CAPS] record:
// header 0..407, rasters 408..575, [Part] 576..633, [CAPS] 634..671.
constexpr size_t kRasters = 408, kPart = 576, kCaps = 634, kEnd = 672;

std::vector<uint8_t> ValidFile(const TempFolder& t)
{
    SimMatrix b;
    MakeBoard(&b, 3, 2, 1);
    Cap cap;
    AddPart(&b, PART_CAP, &cap);
    CapDatabase caps;
    InitCapDatabaseCreateSpice(&caps);
    const std::string path = t.Path("valid.sav");
    EXPECT_EQ(SaveProject(path.c_str(), &b, false, ProjectSections{&caps, nullptr}), 0);
    freeSimulationMatrix(&b);
    FreeCapDatabase(&caps);
    auto bytes = ReadBytes(path);
    EXPECT_EQ(bytes.size(), kEnd);
    return bytes;
}

std::vector<uint8_t> Gzip(const std::vector<uint8_t>& plain, const std::string& path)
{
    gzFile f = gzopen(path.c_str(), "wb");
    gzwrite(f, plain.data(), static_cast<unsigned>(plain.size()));
    gzclose(f);
    return ReadBytes(path);
}

struct RefusalCase {
    const char* name;
    std::function<std::vector<uint8_t>(std::vector<uint8_t>, const TempFolder&)> damage;
    bool viaGzip;
    const char* reason;
};

void SetU32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    korvex::PutU32LE(&b[at], v);
}

std::vector<uint8_t> Cut(std::vector<uint8_t> b, size_t n)
{
    b.resize(n);
    return b;
}

const RefusalCase kCases[] = {
    {"LayerCount0", [](auto b, auto&) { SetU32(b, 8, 0); return b; }, false, "LayerCount 0 is not 1 to 8"},
    {"LayerCount9", [](auto b, auto&) { SetU32(b, 8, 9); return b; }, true, "LayerCount 9 is not 1 to 8"},
    {"LayerCountNegative", [](auto b, auto&) { SetU32(b, 8, 0xFFFFFFFF); return b; }, false, "LayerCount -1"},
    {"NoColumns", [](auto b, auto&) { SetU32(b, 0, 0); return b; }, false, "pixel counts 0 x 2"},
    {"NoRows", [](auto b, auto&) { SetU32(b, 4, 0); return b; }, true, "pixel counts 3 x 0"},
    {"RastersBeyondFile", [](auto b, auto&) { SetU32(b, 4, 4); return b; }, false, "more than the 672-byte file"},
    {"HugeCounts", [](auto b, auto&) { SetU32(b, 0, 0x7FFFFFFF); SetU32(b, 4, 0x7FFFFFFF); return b; }, true,
     "more than the"},
    {"ShortHeader", [](auto b, auto&) { return Cut(b, 100); }, false, "too short for a project header (100"},
    {"EmptyFile", [](auto b, auto&) { return Cut(b, 0); }, true, "too short for a project header (0"},
    {"EndsInCopper", [](auto b, auto&) { return Cut(b, kRasters + 5); }, false, "need 168 bytes of rasters"},
    {"EndsInZin", [](auto b, auto&) { return Cut(b, kPart - 1); }, true, "more than the 575-byte file"},
    {"EndsInPartEntry", [](auto b, auto&) { return Cut(b, kPart + 12); }, false, "ends inside part section 1"},
    {"EndsInPartRecord", [](auto b, auto&) { return Cut(b, kCaps - 1); }, true, "part section 1 (Cap record)"},
    {"UnknownKind", [](auto b, auto&) { SetU32(b, kPart + 6, 3); return b; }, false, "unknown part kind 3"},
    {"EndsInCaps", [](auto b, auto&) { return Cut(b, kEnd - 4); }, true, "inside a [CAPS] record"},
    {"CompressedForPlainReader", [](auto b, auto& t) { return Gzip(b, t.Path("z")); }, false, "compressed data"},
    {"CompressedStreamCut",
     [](auto b, auto& t) {
         auto z = Gzip(b, t.Path("z"));
         return Cut(z, z.size() - 12);
     },
     true, "the file ends inside"},
    {"CompressedClaimsTooMuch",
     [](auto b, auto& t) {
         SetU32(b, 0, 100000);
         SetU32(b, 4, 100000);
         return Gzip(b, t.Path("z"));
     },
     true, "more than the"},
};

class ProjectRefusal : public ::testing::TestWithParam<RefusalCase> {};

}  // namespace

TEST_P(ProjectRefusal, LeavesLoadedBoardAndListsAlone)
{
    const RefusalCase& c = GetParam();
    TempFolder t(std::string("proj_refuse_") + c.name);
    const std::string path = t.Path("bad.sav");
    WriteBytes(path, c.damage(ValidFile(t), t));

    SimMatrix board;
    MakeBoard(&board, 2, 2, 1);
    Port port;
    AddPart(&board, PART_PORT, &port);
    float*** copper = board.CopperMatrix;
    CapDatabase caps;
    InitCapDatabase(&caps);
    VoltageNoiseTimeParam noise;
    noise.T = 5.0f;

    DebugCapture log;
    std::string error;
    EXPECT_EQ(LoadProject(path.c_str(), &board, c.viaGzip, ProjectSections{&caps, &noise}, &error), 0);
    EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
    EXPECT_TRUE(log.Contains(c.reason));
    EXPECT_EQ(board.CountPixelX, 2u);
    EXPECT_EQ(board.CopperMatrix, copper);
    EXPECT_EQ(CountParts(&board), 1u);
    EXPECT_EQ(caps.Count, n_E6Init);
    EXPECT_EQ(noise.T, 5.0f);
    freeSimulationMatrix(&board);
    FreeCapDatabase(&caps);
}

INSTANTIATE_TEST_SUITE_P(DamagedFiles, ProjectRefusal, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ProjectFile, MissingFilesAndFoldersAreRefused)
{
    TempFolder t("proj_missing");
    SimMatrix board;
    DebugCapture log;
    std::string error;
    const std::string missing = t.Path("missing.sav");
    EXPECT_EQ(gzLoadSimMatrix(missing.c_str(), &board, &error), 0);
    EXPECT_NE(error.find("cannot open"), std::string::npos);
    EXPECT_TRUE(log.Contains("Datei " + missing + " konnte nicht gefunden werden\r\r\n"));
    EXPECT_EQ(LoadSimMatrix(t.dir.c_str(), &board, &error), 0);
    EXPECT_NE(error.find("is not a file"), std::string::npos);
}

TEST(ProjectFile, FailedSaveKeepsThePreviousFile)
{
    TempFolder t("proj_failsave");
    SimMatrix small, big;
    MakeBoard(&small, 2, 2, 1);
    MakeBoard(&big, 200, 200, 2);
    const std::string path = t.Path("p.sav");
    ASSERT_EQ(SaveProject(path.c_str(), &small, false, ProjectSections{nullptr, nullptr}), 0);
    const auto before = ReadBytes(path);

    // Let the file system refuse files above 64 KiB while the big board is saved.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = old;
    limited.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::string plainError, gzError;
    const int plain = SaveProject(path.c_str(), &big, false, ProjectSections{nullptr, nullptr}, &plainError);
    const int gz = SaveProject(path.c_str(), &big, true, ProjectSections{nullptr, nullptr}, &gzError);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(plain, -1);
    EXPECT_EQ(gz, -1);
    EXPECT_FALSE(plainError.empty());
    EXPECT_FALSE(gzError.empty());
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(t.Entries(), 1u);  // no temporary file left behind

    std::string error;
    EXPECT_EQ(SaveProject(t.Path("no/such/folder.sav").c_str(), &small, false, {nullptr, nullptr}, &error), -1);
    EXPECT_FALSE(error.empty());
    SimMatrix empty;
    EXPECT_EQ(SaveProject(path.c_str(), &empty, false, {nullptr, nullptr}, &error), -1);
    EXPECT_NE(error.find("LayerCount 0"), std::string::npos);
    EXPECT_EQ(ReadBytes(path), before);
    freeSimulationMatrix(&small);
    freeSimulationMatrix(&big);
}
