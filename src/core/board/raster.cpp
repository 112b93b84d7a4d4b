#include "board/raster.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "util/debug_log.h"
#include "util/large_block.h"

namespace korvex {

namespace {
constexpr size_t kPointer = sizeof(void*);

size_t AlignUp(size_t n)
{
    return (n + 15) & ~size_t(15);
}

// Bytes of the pointer tables of a 3-D raster, rounded so the elements that
// follow are aligned for any element type.
bool RasterLayout(int nx, int ny, unsigned nz, unsigned elementSize, size_t& tables, size_t& total)
{
    if (nx < 0 || ny < 0) return false;
    const unsigned __int128 x = static_cast<unsigned>(nx), y = static_cast<unsigned>(ny);
    const unsigned __int128 tableBytes = x * kPointer + x * y * kPointer;
    const unsigned __int128 dataBytes = x * y * nz * elementSize;
    const unsigned __int128 sum = tableBytes + 16 + dataBytes;
    if (sum > std::numeric_limits<size_t>::max() / 2) return false;
    tables = AlignUp(static_cast<size_t>(tableBytes));
    total = tables + static_cast<size_t>(dataBytes);
    return true;
}
}  // namespace

void*** malloc3D(int nx, int ny, unsigned nz, unsigned elementSize)
{
    size_t tables = 0, total = 0;
    if (!RasterLayout(nx, ny, nz, elementSize, tables, total)) {
        printDebug("Kein virtueller RAM mehr vorhanden ... !");
        return nullptr;
    }
    auto* block = static_cast<char*>(AllocateLarge(total));
    if (block == nullptr) {
        printDebug("Kein virtueller RAM mehr vorhanden ... !");
        return nullptr;
    }
    auto** xTable = reinterpret_cast<void***>(block);
    auto** yTables = reinterpret_cast<void**>(block + static_cast<size_t>(nx) * kPointer);
    char* data = block + tables;
    const size_t column = static_cast<size_t>(nz) * elementSize;
    for (size_t x = 0; x < static_cast<size_t>(nx); ++x) {
        xTable[x] = yTables + x * static_cast<size_t>(ny);
        for (size_t y = 0; y < static_cast<size_t>(ny); ++y)
            xTable[x][y] = data + (x * static_cast<size_t>(ny) + y) * column;
    }
    return xTable;
}

void** malloc2D(int rows, unsigned columns, unsigned elementSize)
{
    if (rows < 0) {
        printDebug("Kein virtueller RAM mehr vorhanden ... !");
        return nullptr;
    }
    const size_t tables = AlignUp(static_cast<size_t>(rows) * kPointer);
    const size_t row = static_cast<size_t>(columns) * elementSize;
    auto* block = static_cast<char*>(AllocateLarge(tables + row * static_cast<size_t>(rows) + 1));
    if (block == nullptr) {
        printDebug("Kein virtueller RAM mehr vorhanden ... !");
        return nullptr;
    }
    auto** table = reinterpret_cast<void**>(block);
    for (size_t r = 0; r < static_cast<size_t>(rows); ++r) table[r] = block + tables + r * row;
    return table;
}

int free3D(void* raster, int, int)
{
    FreeLarge(raster);
    return 0;
}

int free2D(void* array, int)
{
    FreeLarge(array);
    return 0;
}

float* RasterData(float*** raster, int nx, int ny)
{
    if (raster == nullptr || nx <= 0 || ny <= 0) return nullptr;
    return raster[0][0];
}

const float* RasterData(float* const* const* raster, int nx, int ny)
{
    if (raster == nullptr || nx <= 0 || ny <= 0) return nullptr;
    return raster[0][0];
}

int Init3DMatrix(float*** raster, int nx, int ny, int nz, float value)
{
    if (raster == nullptr) return -1;
    for (int x = 0; x < nx; ++x)
        for (int y = 0; y < ny; ++y)
            for (int l = 0; l < nz; ++l) raster[x][y][l] = value;
    return 0;
}

int Initdmatrix(double** array, int rows, int columns, double value)
{
    if (array == nullptr) return -1;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) array[r][c] = value;
    return 0;
}

double MaxOfMatrixLayer(float*** raster, int nx, int ny, int layer)
{
    double m = -1e100;
    if (raster == nullptr) return m;
    for (int x = 0; x < nx; ++x)
        for (int y = 0; y < ny; ++y)
            if (raster[x][y][layer] > m) m = raster[x][y][layer];
    return m;
}

double MinOfMatrixLayer(float*** raster, int nx, int ny, int layer)
{
    double m = 1e100;
    if (raster == nullptr) return m;
    for (int x = 0; x < nx; ++x)
        for (int y = 0; y < ny; ++y)
            if (raster[x][y][layer] < m) m = raster[x][y][layer];
    return m;
}

void LayerExtremes(float*** raster, int nx, int ny, int layers, double* lo, double* hi)
{
    layers = std::clamp(layers, 0, 8);
    std::fill_n(lo, layers, 1e100);
    std::fill_n(hi, layers, -1e100);
    if (raster == nullptr) return;
    for (int x = 0; x < nx; ++x)
        for (int y = 0; y < ny; ++y) {
            const float* pixel = raster[x][y];
            for (int l = 0; l < layers; ++l) {
                if (pixel[l] < lo[l]) lo[l] = pixel[l];
                if (pixel[l] > hi[l]) hi[l] = pixel[l];
            }
        }
}

double MaxOfMatrix(float*** raster, int nx, int ny, int nz)
{
    double m = -1e100;
    for (int l = 0; l < nz; ++l) {
        const double v = MaxOfMatrixLayer(raster, nx, ny, l);
        if (v > m) m = v;
    }
    return m;
}

double MinOfMatrix(float*** raster, int nx, int ny, int nz)
{
    double m = 1e100;
    for (int l = 0; l < nz; ++l) {
        const double v = MinOfMatrixLayer(raster, nx, ny, l);
        if (v < m) m = v;
    }
    return m;
}

void PrintMatrix(uint32_t** array, int nx, int ny)
{
    printDebug("\r\n");
    for (int y = 0; y < ny; ++y) {
        for (int x = 0; x < nx; ++x) printDebug("%2x ", array[x][y]);
        printDebug("\r\n");
    }
}

void Print3DMatrix(float*** raster, int nx, int ny, int nz)
{
    for (int l = 0; l < nz; ++l) {
        for (int y = 0; y < ny; ++y) {
            for (int x = 0; x < nx; ++x) printDebug("%2.2f ", raster[x][y][l]);
            printDebug("\r\n");
        }
        printDebug("\r\n");
    }
}

void Printdmatrix(float** array, int nx, int ny)
{
    printDebug("\r\n");
    for (int y = 0; y < ny; ++y) {
        for (int x = 0; x < nx; ++x) printDebug("%1.2f ", array[x][y]);
        printDebug("\r\n");
    }
}

}  // namespace korvex
