#pragma once
// The board: pixel grid of up to eight copper layers, layer stack, material
// constants, seven per-pixel rasters and the head of the part list.
#include <cstdint>

#include "board/part_list.h"

namespace korvex {

constexpr int kMaxLayers = 8;

// The board's fields; SimMatrix adds the ownership of its rasters and parts.
struct SimMatrixFields {
    uint32_t CountPixelX = 0;
    uint32_t CountPixelY = 0;
    int32_t LayerCount = 0;
    float SizeX = 0;
    float SizeY = 0;
    float SizeZ[8] = {};
    float CopperThickness[8] = {};
    float Er[8] = {};
    float Df[8] = {};
    float ElectricalConductivity = 0;
    float TemperatureCoefficient = 0;
    float RdcX[8] = {};
    float RdcY[8] = {};
    float*** CopperMatrix = nullptr;
    float*** VoltageMatrix = nullptr;
    float*** CurrentXMatrix = nullptr;
    float*** CurrentYMatrix = nullptr;
    float*** CurrentDensityMatrix = nullptr;
    float ThermalConductivityCopper = 0;
    float ThermalConductivityFR4XY = 0;
    float ThermalConductivityFR4Z = 0;
    float RthCopper[8] = {};
    float RthDielectric[8] = {};
    float RthLayer[8] = {};
    float Alpha = 0;
    float Epsilon = 0;
    float TAmbient = 0;
    float*** TemperatureMatrix = nullptr;
    float*** ZinMatrix = nullptr;
    Part* pFirstPart = nullptr;
};

// Owns its rasters and part list: it can be moved (the source is left empty)
// but not copied, and frees what it holds when destroyed.
struct SimMatrix : SimMatrixFields {
    SimMatrix() = default;
    ~SimMatrix();
    SimMatrix(const SimMatrix&) = delete;
    SimMatrix& operator=(const SimMatrix&) = delete;
    SimMatrix(SimMatrix&& other) noexcept;
    SimMatrix& operator=(SimMatrix&& other) noexcept;
};

extern SimMatrix gSimMatrix;

int InitSimulationMatrix(SimMatrix* board);
int SetSize(SimMatrix* board, float sizeX, float sizeY, uint32_t countPixelX, uint32_t countPixelY,
            const float* sizeZ, const float* copperThickness);
int SetLayerCount(SimMatrix* board, int32_t count);
int MallocCopperMatrix(SimMatrix* board);
int MallocVoltageMatrix(SimMatrix* board);
int MallocCurrentMatrix(SimMatrix* board);
int MallocTemperatureMatrix(SimMatrix* board);
int MallocZinMatrix(SimMatrix* board);
void ResetElectricalMatrix(SimMatrix* board);
int freeSimulationMatrix(SimMatrix* board);

// The defaults of a new board as the edit window applies them before the layer
// stack dialog: InitSimulationMatrix, 2 layers, 160 x 100 pixels on 0.16 x 0.1 m.
void ApplyNewBoardDefaults(SimMatrix* board);
// Allocates all seven rasters in the order a new board uses; 0, or -1 when any
// allocation failed (the board is then left without rasters).
int MallocAllMatrices(SimMatrix* board);
// Moves the whole board (record, rasters, parts) from `from` into `to`, freeing
// what `to` held before; `from` is left empty. Lets loaders fill a scratch board
// and publish it only when everything was read.
void MoveSimMatrix(SimMatrix* to, SimMatrix* from);

// Convenience accessor: copper present at (x, y, layer).
inline bool HasCopper(const SimMatrix& board, uint32_t x, uint32_t y, int layer)
{
    return board.CopperMatrix[x][y][layer] > 0.0f;
}

}  // namespace korvex
