#include "board/sim_matrix.h"

#include <utility>

#include "board/raster.h"
#include "util/debug_log.h"

namespace korvex {

SimMatrix gSimMatrix;

SimMatrix::~SimMatrix()
{
    freeSimulationMatrix(this);
}

SimMatrix::SimMatrix(SimMatrix&& other) noexcept : SimMatrixFields(other)
{
    static_cast<SimMatrixFields&>(other) = SimMatrixFields{};
}

SimMatrix& SimMatrix::operator=(SimMatrix&& other) noexcept
{
    if (this != &other) {
        freeSimulationMatrix(this);
        static_cast<SimMatrixFields&>(*this) = other;
        static_cast<SimMatrixFields&>(other) = SimMatrixFields{};
    }
    return *this;
}

int InitSimulationMatrix(SimMatrix* board)
{
    if (board == nullptr) return -1;
    for (int l = 0; l < kMaxLayers; ++l) {
        board->SizeZ[l] = 1e-4f;
        board->CopperThickness[l] = 3.5e-5f;
        board->Er[l] = 4.1f;
        board->Df[l] = 0.02f;
    }
    board->ElectricalConductivity = 5.62e7f;
    board->TemperatureCoefficient = 0.0039f;
    board->ThermalConductivityCopper = 360.0f;
    board->ThermalConductivityFR4XY = 0.25f;
    board->ThermalConductivityFR4Z = 0.25f;
    board->Alpha = 5.0f;
    board->Epsilon = 0.95f;
    board->TAmbient = 25.0f;
    board->pFirstPart = nullptr;
    return 0;
}

int SetSize(SimMatrix* board, float sizeX, float sizeY, uint32_t countPixelX, uint32_t countPixelY,
            const float* sizeZ, const float* copperThickness)
{
    if (board == nullptr) return -1;
    board->SizeX = sizeX;
    board->SizeY = sizeY;
    board->CountPixelX = countPixelX;
    board->CountPixelY = countPixelY;
    for (int l = 0; l < board->LayerCount && l < kMaxLayers; ++l) {
        if (sizeZ != nullptr) board->SizeZ[l] = sizeZ[l];
        if (copperThickness != nullptr) board->CopperThickness[l] = copperThickness[l];
    }
    return 0;
}

int SetLayerCount(SimMatrix* board, int32_t count)
{
    if (board == nullptr || count > kMaxLayers) return -1;
    board->LayerCount = count;
    return 0;
}

namespace {
float*** AllocRaster(const SimMatrix* board, float value)
{
    float*** raster = malloc3DFloat(static_cast<int>(board->CountPixelX), static_cast<int>(board->CountPixelY),
                                    static_cast<unsigned>(board->LayerCount));
    // The elements start at zero: a zero raster is left untouched until it is written.
    if (raster != nullptr && value != 0.0f)
        Init3DMatrix(raster, static_cast<int>(board->CountPixelX), static_cast<int>(board->CountPixelY),
                     board->LayerCount, value);
    return raster;
}

void FreeRaster(const SimMatrix* board, float***& raster)
{
    free3D(raster, static_cast<int>(board->CountPixelX), static_cast<int>(board->CountPixelY));
    raster = nullptr;
}
}  // namespace

int MallocCopperMatrix(SimMatrix* board)
{
    board->CopperMatrix = AllocRaster(board, 0.0f);
    return 0;
}

int MallocVoltageMatrix(SimMatrix* board)
{
    board->VoltageMatrix = AllocRaster(board, 0.0f);
    return 0;
}

int MallocCurrentMatrix(SimMatrix* board)
{
    board->CurrentXMatrix = AllocRaster(board, 0.0f);
    board->CurrentYMatrix = AllocRaster(board, 0.0f);
    board->CurrentDensityMatrix = AllocRaster(board, 0.0f);
    return 0;
}

int MallocTemperatureMatrix(SimMatrix* board)
{
    board->TemperatureMatrix = AllocRaster(board, board->TAmbient);
    return 0;
}

int MallocZinMatrix(SimMatrix* board)
{
    board->ZinMatrix = AllocRaster(board, 0.0f);
    return 0;
}

void ResetElectricalMatrix(SimMatrix* board)
{
    const int nx = static_cast<int>(board->CountPixelX), ny = static_cast<int>(board->CountPixelY);
    Init3DMatrix(board->VoltageMatrix, nx, ny, board->LayerCount, 0.0f);
    Init3DMatrix(board->CurrentXMatrix, nx, ny, board->LayerCount, 0.0f);
    Init3DMatrix(board->CurrentYMatrix, nx, ny, board->LayerCount, 0.0f);
    Init3DMatrix(board->CurrentDensityMatrix, nx, ny, board->LayerCount, 0.0f);
}

int freeSimulationMatrix(SimMatrix* board)
{
    if (board == nullptr) return -1;
    FreeRaster(board, board->CopperMatrix);
    FreeRaster(board, board->VoltageMatrix);
    FreeRaster(board, board->CurrentXMatrix);
    FreeRaster(board, board->CurrentYMatrix);
    FreeRaster(board, board->CurrentDensityMatrix);
    FreeRaster(board, board->TemperatureMatrix);
    FreeRaster(board, board->ZinMatrix);
    FreePartList(board);
    return 0;
}

void ApplyNewBoardDefaults(SimMatrix* board)
{
    InitSimulationMatrix(board);
    SetLayerCount(board, 2);
    const float sizeZ[8] = {0.0015f, 0.001f, 0.00025f, 0, 0, 0, 0, 0};
    const float copper[8] = {3.5e-5f, 3.5e-5f, 3.5e-5f, 3.5e-5f, 0, 0, 0, 0};
    SetSize(board, 0.16f, 0.1f, 160, 100, sizeZ, copper);
}

int MallocAllMatrices(SimMatrix* board)
{
    MallocCopperMatrix(board);
    MallocVoltageMatrix(board);
    MallocCurrentMatrix(board);
    MallocTemperatureMatrix(board);
    MallocZinMatrix(board);
    if (board->CopperMatrix && board->VoltageMatrix && board->CurrentXMatrix && board->CurrentYMatrix &&
        board->CurrentDensityMatrix && board->TemperatureMatrix && board->ZinMatrix)
        return 0;
    Part* parts = board->pFirstPart;
    board->pFirstPart = nullptr;
    freeSimulationMatrix(board);
    board->pFirstPart = parts;
    return -1;
}

void MoveSimMatrix(SimMatrix* to, SimMatrix* from)
{
    if (to != from) *to = std::move(*from);
}

}  // namespace korvex
