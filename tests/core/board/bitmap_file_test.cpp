#include <gtest/gtest.h>

#include "board/bitmap_file.h"
#include "board_fixtures.h"
#include "util/debug_log.h"

using namespace korvex;

using namespace testing_board;

namespace {

// A bitmap as another program might write it: given stored rows (blue, green,
// red per pixel), zero padding, image-size field 0, optionally top-down.
std::vector<uint8_t> ForeignBitmap(int32_t width, int32_t height, const std::vector<uint8_t>& rows,
                                   uint16_t bits = 24, uint32_t compression = 0, uint32_t offset = 54)
{
    std::vector<uint8_t> b(offset, 0);
    b[0] = 'B', b[1] = 'M';
    korvex::PutU32LE(&b[2], static_cast<uint32_t>(offset + rows.size()));
    korvex::PutU32LE(&b[10], offset);
    korvex::PutU32LE(&b[14], 40);
    korvex::PutU32LE(&b[18], static_cast<uint32_t>(width));
    korvex::PutU32LE(&b[22], static_cast<uint32_t>(height));
    korvex::PutU16LE(&b[26], 1);
    korvex::PutU16LE(&b[28], bits);
    korvex::PutU32LE(&b[30], compression);
    b.insert(b.end(), rows.begin(), rows.end());
    return b;
}

}  // namespace

TEST(Bitmap, CopperExportLayoutAndReimport)
{
    TempFolder t("bmp_copper");
    OwnedBoard b(3, 2, 2, false);
    b.board.CopperMatrix[0][0][1] = 1.0f;     // top-left
    b.board.CopperMatrix[2][1][1] = 0.25f;    // bottom-right, any value above 0
    b.board.CopperMatrix[1][1][1] = -3.0f;    // not copper
    const std::string path = t.Path("c.bmp");
    ASSERT_EQ(WriteBitmapCopper(path.c_str(), b.board.CopperMatrix, 3, 2, 1), 0);
    const auto f = ReadBytes(path);
    ASSERT_EQ(f.size(), 54u + 12 * 2);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 2), "BM");
    ExpectFields(f, {{2, 'u', 78}, {10, 'u', 54}, {14, 'u', 40}, {18, 'u', 3}, {22, 'u', 2}, {34, 'u', 24}});
    EXPECT_EQ(korvex::GetU16LE(&f[28]), 24);
    // First stored row is the bottom row (y = 1): black, black, white, then 0xFF padding.
    const std::vector<uint8_t> bottom = {0, 0, 0, 0, 0, 0, 255, 255, 255, 0xFF, 0xFF, 0xFF};
    const std::vector<uint8_t> top = {255, 255, 255, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54, f.begin() + 66), bottom);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 66, f.end()), top);

    ASSERT_EQ(BitmapToMatrix(&b.board, path.c_str(), b.board.CopperMatrix, 0), 0);
    for (uint32_t x = 0; x < 3; ++x)
        for (uint32_t y = 0; y < 2; ++y)
            EXPECT_EQ(b.board.CopperMatrix[x][y][0], b.board.CopperMatrix[x][y][1] > 0 ? 1.0f : 0.0f) << x << y;
}

TEST(Bitmap, ForeignFilesTopDownAndDarkGrey)
{
    TempFolder t("bmp_foreign");
    OwnedBoard b(2, 2, 1, false);
    // Stored rows of 2 pixels: 6 bytes + 2 zero padding bytes each.
    const std::vector<uint8_t> rows = {1, 1, 1, 0, 0, 0, 0, 0,     // first stored row
                                       0, 0, 0, 0, 0, 9, 0, 0};    // second stored row
    const std::string up = t.Path("up.bmp"), down = t.Path("down.bmp");
    WriteBytes(up, ForeignBitmap(2, 2, rows));
    WriteBytes(down, ForeignBitmap(2, -2, rows));
    ASSERT_EQ(BitmapToMatrix(&b.board, up.c_str(), b.board.CopperMatrix, 0), 0);
    EXPECT_EQ(b.board.CopperMatrix[0][1][0], 1.0f);  // dark grey (1, 1, 1) is copper, bottom-left
    EXPECT_EQ(b.board.CopperMatrix[1][1][0], 0.0f);
    EXPECT_EQ(b.board.CopperMatrix[1][0][0], 1.0f);  // red 9 at the top right
    EXPECT_EQ(b.board.CopperMatrix[0][0][0], 0.0f);
    ASSERT_EQ(BitmapToMatrix(&b.board, down.c_str(), b.board.CopperMatrix, 0), 0);
    EXPECT_EQ(b.board.CopperMatrix[0][0][0], 1.0f);  // top-down: first stored row is y = 0
    EXPECT_EQ(b.board.CopperMatrix[1][1][0], 1.0f);
    EXPECT_EQ(b.board.CopperMatrix[0][1][0], 0.0f);

    // Pixel data behind a larger header (offset 138) import the same.
    const std::string offset = t.Path("offset.bmp");
    WriteBytes(offset, ForeignBitmap(2, 2, rows, 24, 0, 138));
    Init3DMatrix(b.board.CopperMatrix, 2, 2, 1, 0.0f);
    ASSERT_EQ(BitmapToMatrix(&b.board, offset.c_str(), b.board.CopperMatrix, 0), 0);
    EXPECT_EQ(b.board.CopperMatrix[0][1][0], 1.0f);
}

TEST(Bitmap, RefusalsLeaveTheBoardAlone)
{
    TempFolder t("bmp_refuse");
    OwnedBoard b(2, 2, 2, false);
    b.board.CopperMatrix[1][1][0] = 0.5f;
    const std::vector<uint8_t> rows(16, 0);
    auto badOffset = ForeignBitmap(2, 2, rows);
    korvex::PutU32LE(&badOffset[10], 60);  // data would end past the file
    auto notBm = ForeignBitmap(2, 2, rows);
    notBm[0] = 'P';
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        int layer;
        const char* log;
    };
    const Case cases[] = {
        {"big", ForeignBitmap(2001, 2000, {}), 0, "Bitmap zu gro\xC3\x9F"},
        {"bits", ForeignBitmap(2, 2, rows, 32), 0, "only 24-bit uncompressed"},
        {"rle", ForeignBitmap(2, 2, rows, 24, 1), 0, "compression 1"},
        {"offset", badOffset, 0, "beyond the"},
        {"short", ForeignBitmap(2, 2, std::vector<uint8_t>(15, 0)), 0, "beyond the"},
        {"header", std::vector<uint8_t>(notBm.begin(), notBm.begin() + 30), 0, "not a BMP file"},
        {"truncated", std::vector<uint8_t>{'B', 'M', 0, 0}, 0, "too short"},
        {"size", ForeignBitmap(1, 2, std::vector<uint8_t>(8, 0)), 0, "BitmapSize doesn't match\r\n"},
        {"layer", ForeignBitmap(2, 2, rows), 2, "SimMatrix hat zuwenig Layer\r\n"},
        {"width0", ForeignBitmap(0, 2, {}), 0, "no pixels"},
    };
    for (const Case& c : cases) {
        const std::string path = t.Path(std::string(c.name) + ".bmp");
        WriteBytes(path, c.file);
        DebugCapture log;
        std::string error;
        EXPECT_EQ(BitmapToMatrix(&b.board, path.c_str(), b.board.CopperMatrix, c.layer, &error), -1) << c.name;
        EXPECT_TRUE(log.Contains(c.log)) << c.name << ": " << log.Text();
        EXPECT_FALSE(error.empty()) << c.name;
        EXPECT_EQ(b.board.CopperMatrix[1][1][0], 0.5f) << c.name;
    }
    DebugCapture log;
    EXPECT_EQ(BitmapToMatrix(&b.board, t.Path("none.bmp").c_str(), b.board.CopperMatrix, 0), -1);
    EXPECT_TRUE(log.Contains("Datei nicht gefunden"));
}

TEST(Bitmap, CreateBMPsWritesFiveFilesPerLayerScaledOverAllLayers)
{
    TempFolder t("bmp_create");
    OwnedBoard b(2, 2, 2, false);
    b.board.TemperatureMatrix[0][0][0] = 100.0f;  // the hottest element is on layer 1
    DebugCapture log;
    ASSERT_EQ(CreateBMPs(&b.board, t.dir.string()), 0);
    EXPECT_TRUE(log.Contains("Create BMPs\r\n"));
    EXPECT_TRUE(log.Contains("BMPs created"));
    EXPECT_EQ(t.Entries(), 10u);
    for (const char* name : {"Copper", "Voltage", "CurrentDensity", "Temperature", "ZIN"})
        EXPECT_TRUE(fs::exists(t.dir / (std::string("Layer2_") + name + ".bmp"))) << name;
    // Layer 2 is all at ambient: the minimum of both layers, so black.
    const auto f = ReadBytes(t.Path("Layer2_Temperature.bmp"));
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54, f.begin() + 60), std::vector<uint8_t>(6, 0));
    // The top-left pixel of layer 1 (second stored row) is the top of the scale: (255, 230, 173)
    // stored blue first.
    const auto hot = ReadBytes(t.Path("Layer1_Temperature.bmp"));
    EXPECT_EQ(std::vector<uint8_t>(hot.begin() + 54 + 8, hot.begin() + 54 + 11), (std::vector<uint8_t>{173, 230, 255}));
    // A raster of one value (every voltage 0) has no range to scale: black, not a division by 0.
    const auto flat = ReadBytes(t.Path("Layer1_Voltage.bmp"));
    EXPECT_EQ(std::vector<uint8_t>(flat.begin() + 54, flat.begin() + 60), std::vector<uint8_t>(6, 0));

    std::string error;
    EXPECT_EQ(CreateBMPs(&b.board, t.Path("missing"), &error), -1);
    EXPECT_FALSE(error.empty());
}

TEST(Bitmap, LargestAcceptedSize)
{
    TempFolder t("bmp_large");
    SimMatrix board;
    InitSimulationMatrix(&board);
    SetLayerCount(&board, 1);
    SetSize(&board, 0.2f, 0.2f, 2000, 2000, nullptr, nullptr);
    MallocCopperMatrix(&board);
    board.CopperMatrix[1999][0][0] = 1.0f;
    const std::string path = t.Path("big.bmp");
    ASSERT_EQ(WriteBitmapCopper(path.c_str(), board.CopperMatrix, 2000, 2000, 0), 0);
    Init3DMatrix(board.CopperMatrix, 2000, 2000, 1, 0.0f);
    ASSERT_EQ(BitmapToMatrix(&board, path.c_str(), board.CopperMatrix, 0), 0);
    EXPECT_EQ(board.CopperMatrix[1999][0][0], 1.0f);
    EXPECT_EQ(board.CopperMatrix[0][1999][0], 0.0f);
    freeSimulationMatrix(&board);
}
