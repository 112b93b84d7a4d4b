#pragma once
// Generic raster utilities. A raster is indexed [x][y][layer]: a table of nx
// pointers, each to ny pointers, each to a block of nz elements. All of it lives
// in one allocation: the two pointer tables first, then the elements, stored
// x outermost, y, layer innermost, so the element block is contiguous in the
// project file's order (RasterData).
#include <cstddef>
#include <cstdint>

namespace korvex {

// nx pointers -> ny pointers -> nz * elementSize bytes each, all elements zero. Null on
// failure (reported on the debug log) or for negative/overflowing counts.
void*** malloc3D(int nx, int ny, unsigned nz, unsigned elementSize);
// rows pointers, each to columns * elementSize bytes of zeros, in one allocation.
void** malloc2D(int rows, unsigned columns, unsigned elementSize);

inline float*** malloc3DFloat(int nx, int ny, unsigned nz)
{
    return reinterpret_cast<float***>(malloc3D(nx, ny, nz, sizeof(float)));
}

int free3D(void* raster, int nx, int ny);
int free2D(void* array, int rows);

// The contiguous element block of a raster made by malloc3D (null for null or empty).
float* RasterData(float*** raster, int nx, int ny);
const float* RasterData(float* const* const* raster, int nx, int ny);

int Init3DMatrix(float*** raster, int nx, int ny, int nz, float value);
int Initdmatrix(double** array, int rows, int columns, double value);

double MaxOfMatrixLayer(float*** raster, int nx, int ny, int layer);
double MinOfMatrixLayer(float*** raster, int nx, int ny, int layer);
double MaxOfMatrix(float*** raster, int nx, int ny, int nz);
double MinOfMatrix(float*** raster, int nx, int ny, int nz);
// MinOfMatrixLayer and MaxOfMatrixLayer of the first `layers` layers (at most 8) in one
// pass over the raster: lo[l] and hi[l].
void LayerExtremes(float*** raster, int nx, int ny, int layers, double* lo, double* hi);

void PrintMatrix(uint32_t** array, int nx, int ny);
void Print3DMatrix(float*** raster, int nx, int ny, int nz);
void Printdmatrix(float** array, int nx, int ny);

}  // namespace korvex
