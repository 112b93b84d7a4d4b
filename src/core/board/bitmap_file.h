#pragma once
// 24-bit BMP files: import of one copper layer, export of a layer's copper in
// black and white or of a result raster in false colour, and "Create BMPs".
// One bitmap pixel is one raster element; the file's first stored row is the
// bottom row of the board unless the height is negative (top-down).
#include <cstdint>
#include <string>
#include <vector>

#include "board/sim_matrix.h"

namespace korvex {

constexpr int kBitmapFileHeaderSize = 14;
constexpr int kBitmapInfoHeaderSize = 40;
// Bitmaps of this many pixels or more are refused.
constexpr int64_t kBitmapPixelLimit = 4000001;

struct BitmapInfoHeader {
    uint32_t HeaderSize = kBitmapInfoHeaderSize;
    int32_t Width = 0;
    int32_t Height = 0;  // negative: rows stored top-down
    uint16_t Planes = 1;
    uint16_t BitsPerPixel = 24;
    uint32_t Compression = 0;
    uint32_t ImageSize = 0;
    int32_t XResolution = 0;
    int32_t YResolution = 0;
    uint32_t ColoursUsed = 0;
    uint32_t ImportantColours = 0;
};

// Bytes per stored row: 3 per pixel, rounded up to a multiple of 4.
uint32_t BitmapStride(uint32_t width);

// Reads a 24-bit uncompressed bitmap: its info header and |Height| rows of
// BitmapStride(Width) bytes in stored order. Every offset and length is checked
// against the file; anything else is refused with -1, a debug-log line and the
// reason in *error.
int LoadBitmapFile(const char* path, BitmapInfoHeader* info, std::vector<uint8_t>* pixels,
                   std::string* error = nullptr);
// Sets layer `layer` of `copper` from the pixels: pure black (0, 0, 0) is no
// copper (0.0), any other colour copper (1.0).
int BitmapDataToMatrix(const BitmapInfoHeader& info, const std::vector<uint8_t>& pixels, int layer,
                       float*** copper);
// Imports a bitmap into one layer of the board's copper raster. The board must
// have the bitmap's size and the layer; nothing changes unless it succeeds.
int BitmapToMatrix(SimMatrix* board, const char* path, float*** copper, int layer, std::string* error = nullptr);

// Copper of one layer: white where an element is above 0, black elsewhere.
int WriteBitmapCopper(const char* path, float*** copper, uint32_t width, uint32_t height, int layer,
                      std::string* error = nullptr);
// One layer in false colour: t = (v - minimum) / (maximum - minimum) through Tempscale.
int WriteBitmap(const char* path, float*** raster, uint32_t width, uint32_t height, int layer, double minimum,
                double maximum, std::string* error = nullptr);

// "Create BMPs": for every layer n = 1 ... LayerCount writes LayerN_Copper.bmp,
// LayerN_Voltage.bmp, LayerN_CurrentDensity.bmp, LayerN_Temperature.bmp and
// LayerN_ZIN.bmp into `folder`, results scaled over all layers. 0, or -1 at
// the first file that could not be written.
int CreateBMPs(const SimMatrix* board, const std::string& folder, std::string* error = nullptr);

}  // namespace korvex
