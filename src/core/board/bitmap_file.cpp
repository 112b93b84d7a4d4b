#include "board/bitmap_file.h"

#include <sys/stat.h>

#include <cstdio>
#include <functional>

#include "board/raster.h"
#include "util/atomic_file.h"
#include "util/byte_io.h"
#include "util/debug_log.h"
#include "util/tempscale.h"

namespace korvex {

namespace {

int Refuse(std::string* error, const std::string& reason)
{
    printDebug("%s\r\n", reason.c_str());
    if (error != nullptr) *error = reason;
    return -1;
}

// The headers of a bitmap as written here.
void EncodeHeaders(uint8_t* out, uint32_t width, uint32_t height)
{
    const uint32_t image = BitmapStride(width) * height;
    korvex::ByteWriter w(out, kBitmapFileHeaderSize + kBitmapInfoHeaderSize);
    w.PutBytes("BM", 2);
    w.PutU32(kBitmapFileHeaderSize + kBitmapInfoHeaderSize + image);
    w.PutU16(0);
    w.PutU16(0);
    w.PutU32(kBitmapFileHeaderSize + kBitmapInfoHeaderSize);
    w.PutU32(kBitmapInfoHeaderSize);
    w.PutI32(static_cast<int32_t>(width));
    w.PutI32(static_cast<int32_t>(height));
    w.PutU16(1);
    w.PutU16(24);
    w.PutU32(0);
    w.PutU32(image);
    w.PutZeros(16);
}

// Builds the file: rows bottom-up, pixel colour from `colour(x, y)`, row
// padding 0xFF. Replaces `path` safely.
int WritePixels(const char* path, uint32_t width, uint32_t height, const std::function<ColourRGB(uint32_t, uint32_t)>& colour,
                std::string* error)
{
    if (path == nullptr || width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX)
        return Refuse(error, "nothing to write: the board has no pixels");
    const size_t stride = BitmapStride(width);
    if (stride * height > UINT32_MAX - 54) return Refuse(error, "the board is too large for a bitmap");
    std::vector<uint8_t> file(kBitmapFileHeaderSize + kBitmapInfoHeaderSize + stride * height, 0xFF);
    EncodeHeaders(file.data(), width, height);
    for (uint32_t row = 0; row < height; ++row) {
        uint8_t* p = file.data() + kBitmapFileHeaderSize + kBitmapInfoHeaderSize + row * stride;
        const uint32_t y = height - 1 - row;
        for (uint32_t x = 0; x < width; ++x, p += 3) {
            const ColourRGB c = colour(x, y);
            p[0] = c.B;
            p[1] = c.G;
            p[2] = c.R;
        }
    }
    std::string why;
    if (!korvex::WriteFileAtomically(path, file.data(), file.size(), &why)) {
        printDebug("Datei konnte nicht angelegt werden gefunden");
        return Refuse(error, why);
    }
    return 0;
}

}  // namespace

uint32_t BitmapStride(uint32_t width)
{
    return static_cast<uint32_t>((uint64_t(width) * 3 + 3) / 4 * 4);
}

int LoadBitmapFile(const char* path, BitmapInfoHeader* info, std::vector<uint8_t>* pixels, std::string* error)
{
    if (path == nullptr || info == nullptr || pixels == nullptr) return -1;
    std::FILE* f = std::fopen(path, "rb");
    struct stat st {};
    if (f == nullptr || ::fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (f != nullptr) std::fclose(f);
        printDebug("Datei nicht gefunden");
        if (error != nullptr) *error = std::string("cannot open ") + path;
        return -1;
    }
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    uint8_t head[kBitmapFileHeaderSize + kBitmapInfoHeaderSize];
    const size_t got = std::fread(head, 1, sizeof head, f);
    auto fail = [&](const std::string& reason) {
        std::fclose(f);
        return Refuse(error, std::string(path) + ": " + reason);
    };
    if (got < 2 || head[0] != 'B' || head[1] != 'M') return fail("not a BMP file");
    if (got < sizeof head) return fail("too short for the bitmap headers");

    korvex::ByteReader r(head + 10, sizeof head - 10);
    uint32_t dataOffset = 0;
    BitmapInfoHeader h;
    r.GetU32(dataOffset);
    r.GetU32(h.HeaderSize);
    r.GetI32(h.Width);
    r.GetI32(h.Height);
    r.GetU16(h.Planes);
    r.GetU16(h.BitsPerPixel);
    r.GetU32(h.Compression);
    r.GetU32(h.ImageSize);
    r.GetI32(h.XResolution);
    r.GetI32(h.YResolution);
    r.GetU32(h.ColoursUsed);
    r.GetU32(h.ImportantColours);

    if (h.HeaderSize < kBitmapInfoHeaderSize) return fail("unsupported bitmap header");
    if (h.BitsPerPixel != 24 || h.Compression != 0)
        return fail("only 24-bit uncompressed bitmaps can be imported (this one has " +
                    std::to_string(h.BitsPerPixel) + " bits per pixel, compression " + std::to_string(h.Compression) +
                    ")");
    const int64_t width = h.Width, rows = h.Height < 0 ? -int64_t(h.Height) : int64_t(h.Height);
    if (width <= 0 || rows == 0) return fail("the bitmap has no pixels");
    if (width * rows >= kBitmapPixelLimit) {
        std::fclose(f);
        printDebug("Bitmap zu gro\xC3\x9F");
        if (error != nullptr) *error = std::string(path) + ": Bitmap zu gro\xC3\x9F";
        return -1;
    }
    const uint64_t dataBytes = uint64_t(BitmapStride(static_cast<uint32_t>(width))) * uint64_t(rows);
    if (dataOffset < kBitmapFileHeaderSize + h.HeaderSize || dataOffset > fileSize ||
        dataBytes > fileSize - dataOffset)
        return fail("pixel data (" + std::to_string(dataBytes) + " bytes from offset " + std::to_string(dataOffset) +
                    ") lie beyond the " + std::to_string(fileSize) + "-byte file");
    std::vector<uint8_t> data(dataBytes);
    if (std::fseek(f, static_cast<long>(dataOffset), SEEK_SET) != 0 ||
        std::fread(data.data(), 1, data.size(), f) != data.size())
        return fail("cannot read the pixel data");
    std::fclose(f);
    *info = h;
    pixels->swap(data);
    return 0;
}

int BitmapDataToMatrix(const BitmapInfoHeader& info, const std::vector<uint8_t>& pixels, int layer, float*** copper)
{
    if (copper == nullptr || info.Width <= 0 || info.Height == 0) return -1;
    const uint32_t width = static_cast<uint32_t>(info.Width);
    const bool topDown = info.Height < 0;
    const uint32_t height = topDown ? 0u - static_cast<uint32_t>(info.Height) : static_cast<uint32_t>(info.Height);
    const size_t stride = BitmapStride(width);
    if (pixels.size() < stride * height) return -1;
    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t* p = pixels.data() + row * stride;
        const uint32_t y = topDown ? row : height - 1 - row;
        for (uint32_t x = 0; x < width; ++x, p += 3)
            copper[x][y][layer] = (p[0] | p[1] | p[2]) != 0 ? 1.0f : 0.0f;
    }
    return 0;
}

int BitmapToMatrix(SimMatrix* board, const char* path, float*** copper, int layer, std::string* error)
{
    if (board == nullptr) return -1;
    BitmapInfoHeader info;
    std::vector<uint8_t> pixels;
    if (LoadBitmapFile(path, &info, &pixels, error) != 0) return -1;
    if (layer < 0 || layer >= board->LayerCount) {
        printDebug("SimMatrix hat zuwenig Layer\r\n");
        if (error != nullptr) *error = "the board has no layer " + std::to_string(layer + 1);
        return -1;
    }
    const int64_t rows = info.Height < 0 ? -int64_t(info.Height) : int64_t(info.Height);
    if (info.Width != static_cast<int64_t>(board->CountPixelX) || rows != static_cast<int64_t>(board->CountPixelY)) {
        printDebug("BitmapSize doesn't match\r\n");
        if (error != nullptr)
            *error = "the bitmap has " + std::to_string(info.Width) + " x " + std::to_string(rows) +
                     " pixels, the board " + std::to_string(board->CountPixelX) + " x " +
                     std::to_string(board->CountPixelY);
        return -1;
    }
    if (copper == nullptr) return Refuse(error, "the board has no copper raster");
    return BitmapDataToMatrix(info, pixels, layer, copper);
}

int WriteBitmapCopper(const char* path, float*** copper, uint32_t width, uint32_t height, int layer,
                      std::string* error)
{
    if (copper == nullptr) return Refuse(error, "no copper raster to write");
    return WritePixels(
        path, width, height,
        [&](uint32_t x, uint32_t y) {
            return copper[x][y][layer] > 0.0f ? ColourRGB{255, 255, 255} : ColourRGB{0, 0, 0};
        },
        error);
}

int WriteBitmap(const char* path, float*** raster, uint32_t width, uint32_t height, int layer, double minimum,
                double maximum, std::string* error)
{
    if (raster == nullptr) return Refuse(error, "no raster to write");
    const double scale = maximum == minimum ? 1.0 : 1.0 / (maximum - minimum);
    return WritePixels(
        path, width, height, [&](uint32_t x, uint32_t y) { return Tempscale((raster[x][y][layer] - minimum) * scale); },
        error);
}

int CreateBMPs(const SimMatrix* board, const std::string& folder, std::string* error)
{
    if (board == nullptr) return -1;
    printDebug("Create BMPs\r\n");
    const int nx = static_cast<int>(board->CountPixelX), ny = static_cast<int>(board->CountPixelY);
    const int layers = board->LayerCount;
    struct Result {
        const char* name;
        float*** raster;
    };
    const Result results[] = {{"Voltage", board->VoltageMatrix},
                              {"CurrentDensity", board->CurrentDensityMatrix},
                              {"Temperature", board->TemperatureMatrix},
                              {"ZIN", board->ZinMatrix}};
    const std::string base = folder.empty() ? std::string(".") : folder;
    for (int l = 0; l < layers; ++l) {
        const std::string prefix = base + "/Layer" + std::to_string(l + 1) + "_";
        if (WriteBitmapCopper((prefix + "Copper.bmp").c_str(), board->CopperMatrix, board->CountPixelX,
                              board->CountPixelY, l, error) != 0)
            return -1;
        for (const Result& r : results) {
            const double lo = MinOfMatrix(r.raster, nx, ny, layers), hi = MaxOfMatrix(r.raster, nx, ny, layers);
            if (WriteBitmap((prefix + r.name + ".bmp").c_str(), r.raster, board->CountPixelX, board->CountPixelY, l,
                            lo, hi, error) != 0)
                return -1;
        }
    }
    printDebug("BMPs created");
    return 0;
}

}  // namespace korvex
