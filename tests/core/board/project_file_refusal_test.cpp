// Damaged and foreign files are refused with a reason, and nothing that was
// loaded before is touched.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "board/project_file.h"
#include "board/voltage_noise_param.h"
#include "board_fixtures.h"
#include "pdn/cap_database.h"
#include "util/byte_io.h"
#include "util/debug_log.h"

using namespace korvex;

using namespace testing_board;

namespace {

// Plain file of a 3 x 2 x 1 board with one Cap part and one [CAPS] record:
// header 0..407, rasters 408..575, [Part] 576..633, [CAPS] 634..671.
constexpr size_t kRasters = 408, kPart = 576, kCaps = 634, kEnd = 672;

std::vector<uint8_t> ValidFile(const TempFolder& t)
{
    OwnedBoard owned(3, 2, 1);
    SimMatrix& b = owned.board;
    Cap cap;
    AddPart(&b, PART_CAP, &cap);
    CapDatabase caps;
    InitCapDatabaseCreateSpice(&caps);
    const std::string path = t.Path("valid.sav");
    EXPECT_EQ(SaveProject(path.c_str(), &b, false, ProjectSections{&caps, nullptr}), 0);
    FreeCapDatabase(&caps);
    auto bytes = ReadBytes(path);
    EXPECT_EQ(bytes.size(), kEnd);
    return bytes;
}

// A valid file damaged in order: words set, cut to `keep` bytes, optionally
// gzipped and then `gzTrim` bytes cut off the compressed stream.
struct RefusalCase {
    const char* name;
    std::vector<std::pair<size_t, uint32_t>> words;
    size_t keep;
    bool gzip;
    size_t gzTrim;
    bool viaGzip;  // read with the reader that takes both forms
    const char* reason;
};

constexpr size_t kAll = SIZE_MAX;

const RefusalCase kCases[] = {
    {"LayerCount0", {{8, 0}}, kAll, false, 0, false, "LayerCount 0 is not 1 to 8"},
    {"LayerCount9", {{8, 9}}, kAll, false, 0, true, "LayerCount 9 is not 1 to 8"},
    {"LayerCountNegative", {{8, 0xFFFFFFFF}}, kAll, false, 0, false, "LayerCount -1"},
    {"NoColumns", {{0, 0}}, kAll, false, 0, false, "pixel counts 0 x 2"},
    {"NoRows", {{4, 0}}, kAll, false, 0, true, "pixel counts 3 x 0"},
    {"RastersBeyondFile", {{4, 4}}, kAll, false, 0, false, "more than the 672-byte file"},
    {"HugeCounts", {{0, 0x7FFFFFFF}, {4, 0x7FFFFFFF}}, kAll, false, 0, true, "more than the"},
    {"ShortHeader", {}, 100, false, 0, false, "too short for a project header (100"},
    {"EmptyFile", {}, 0, false, 0, true, "too short for a project header (0"},
    {"EndsInCopper", {}, kRasters + 5, false, 0, false, "need 168 bytes of rasters"},
    {"EndsInZin", {}, kPart - 1, false, 0, true, "more than the 575-byte file"},
    {"EndsInPartEntry", {}, kPart + 12, false, 0, false, "ends inside part section 1"},
    {"EndsInPartRecord", {}, kCaps - 1, false, 0, true, "part section 1 (Cap record)"},
    {"UnknownKind", {{kPart + 6, 3}}, kAll, false, 0, false, "unknown part kind 3"},
    {"EndsInCaps", {}, kEnd - 4, false, 0, true, "inside a [CAPS] record"},
    {"CompressedForPlainReader", {}, kAll, true, 0, false, "compressed data"},
    {"CompressedStreamCut", {}, kAll, true, 12, true, "the file ends inside"},
    // Whole gzip data whose content ends early: inflated in one go, then read short.
    {"CompressedEndsInCopper", {}, kRasters + 5, true, 0, true, "ends inside the raster CopperMatrix"},
    {"CompressedEndsInPartEntry", {}, kPart + 12, true, 0, true, "ends inside part section 1"},
    {"CompressedClaimsTooMuch", {{0, 100000}, {4, 100000}}, kAll, true, 0, true, "more than the"},
};

std::vector<uint8_t> Damaged(const RefusalCase& c, const TempFolder& t)
{
    std::vector<uint8_t> b = ValidFile(t);
    for (const auto& [at, value] : c.words) korvex::PutU32LE(&b[at], value);
    b.resize(std::min(b.size(), c.keep));
    if (!c.gzip) return b;
    const std::string path = t.Path("z");
    gzFile f = gzopen(path.c_str(), "wb");
    gzwrite(f, b.data(), static_cast<unsigned>(b.size()));
    gzclose(f);
    b = ReadBytes(path);
    b.resize(b.size() - c.gzTrim);
    return b;
}

class ProjectRefusal : public ::testing::TestWithParam<RefusalCase> {};

}  // namespace

TEST_P(ProjectRefusal, LeavesLoadedBoardAndListsAlone)
{
    const RefusalCase& c = GetParam();
    TempFolder t(std::string("proj_refuse_") + c.name);
    const std::string path = t.Path("bad.sav");
    WriteBytes(path, Damaged(c, t));

    OwnedBoard owned(2, 2, 1);
    SimMatrix& board = owned.board;
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
    OwnedBoard smallBoard(2, 2, 1), bigBoard(200, 200, 2);
    SimMatrix &small = smallBoard.board, &big = bigBoard.board;
    const std::string path = t.Path("p.sav");
    ASSERT_EQ(SaveProject(path.c_str(), &small, false, ProjectSections{nullptr, nullptr}), 0);
    const auto before = ReadBytes(path);

    std::string plainError, gzError;
    int plain = 0, gz = 0;
    {
        FileSizeLimit limit(64 * 1024);  // the big board does not fit
        plain = SaveProject(path.c_str(), &big, false, ProjectSections{nullptr, nullptr}, &plainError);
        gz = SaveProject(path.c_str(), &big, true, ProjectSections{nullptr, nullptr}, &gzError);
    }
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
}

// A small compressed file whose header claims gigabytes of rasters, padded so that deflate's
// ratio would allow them: refused by counting the data before any raster is allocated.
TEST(ProjectFile, CompressedClaimOfAHugeBoardIsCountedBeforeAllocating)
{
    TempFolder t("proj_huge_gz");
    std::vector<uint8_t> header = ValidFile(t);
    header.resize(kRasters);
    korvex::PutU32LE(&header[0], 6000);
    korvex::PutU32LE(&header[4], 6000);  // 6000 x 6000 x 1 layer: 1,008,000,000 bytes of rasters
    const std::string path = t.Path("huge.sav");
    gzFile f = gzopen(path.c_str(), "wb");
    gzwrite(f, header.data(), static_cast<unsigned>(header.size()));
    const std::vector<uint8_t> zeros(1 << 20, 0);
    for (int k = 0; k < 16; ++k) gzwrite(f, zeros.data(), static_cast<unsigned>(zeros.size()));
    gzclose(f);
    std::vector<uint8_t> bytes = ReadBytes(path);
    bytes.resize(bytes.size() + (1u << 20), 0x55);  // padding after the stream
    WriteBytes(path, bytes);

    SimMatrix board;
    std::string error;
    EXPECT_EQ(LoadProject(path.c_str(), &board, true, ProjectSections{nullptr, nullptr}, &error), 0);
    EXPECT_NE(error.find("1008000000 bytes of rasters; the file ends before them"), std::string::npos) << error;
}
