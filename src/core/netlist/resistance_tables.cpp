#include "netlist/resistance_tables.h"

#include <algorithm>
#include <cmath>

#include "board/sim_matrix.h"

namespace korvex {

namespace {

// Stefan-Boltzmann constant as the thermal netlist uses it.
constexpr double kStefanBoltzmann = 5.67e-8;

float PixelPitchX(const SimMatrix& board)
{
    return board.SizeX / static_cast<float>(board.CountPixelX);
}

float PixelPitchY(const SimMatrix& board)
{
    return board.SizeY / static_cast<float>(board.CountPixelY);
}

float Parallel(float a, float b)
{
    return a * b / (a + b);
}

// Board material assigned to layer l: half the spacing to each neighbour layer.
float MaterialThickness(const SimMatrix& board, int l)
{
    const int count = board.LayerCount;
    if (count == 1) return board.SizeZ[0];
    if (l == 0) return board.SizeZ[0] / 2;
    if (l == count - 1) return board.SizeZ[count - 2] / 2;
    return board.SizeZ[l - 1] / 2 + board.SizeZ[l] / 2;
}

}  // namespace

int ComputeCopperResistances(SimMatrix* board)
{
    if (board == nullptr) return -1;
    const float dx = PixelPitchX(*board);
    const float dy = PixelPitchY(*board);
    const float sigma = board->ElectricalConductivity;
    for (int l = 0; l < board->LayerCount && l < 8; ++l) {
        board->RdcX[l] = dx / (board->CopperThickness[l] * dy * sigma);
        board->RdcY[l] = dy / (board->CopperThickness[l] * dx * sigma);
    }
    return 0;
}

int ComputeThermalResistances(SimMatrix* board)
{
    if (board == nullptr) return -1;
    const float dx = PixelPitchX(*board);
    const float dy = PixelPitchY(*board);
    for (int l = 0; l < board->LayerCount && l < 8; ++l) {
        const float h = MaterialThickness(*board, l);
        board->RthCopper[l] = dx / (board->ThermalConductivityCopper * board->CopperThickness[l] * dy);
        board->RthDielectric[l] = dx / (board->ThermalConductivityFR4XY * h * dy);
        board->RthLayer[l] = Parallel(board->RthCopper[l], board->RthDielectric[l]);
    }
    return 0;
}

float ThermalAlongYFactor(const SimMatrix* board)
{
    if (board == nullptr) return 1.0f;
    const float dx = PixelPitchX(*board);
    const float dy = PixelPitchY(*board);
    if (std::fabs(dx - dy) <= 1e-6f * std::max(std::fabs(dx), std::fabs(dy))) return 1.0f;
    const float ratio = dy / dx;
    return ratio * ratio;
}

float BranchBaseResistance(float perPixel, bool horizontal, uint32_t widthA, uint32_t heightA, uint32_t widthB,
                           uint32_t heightB)
{
    // Length over width of each node along the branch, in pixels.
    const float squaresA = horizontal ? static_cast<float>(widthA) / static_cast<float>(heightA)
                                      : static_cast<float>(heightA) / static_cast<float>(widthA);
    const float squaresB = horizontal ? static_cast<float>(widthB) / static_cast<float>(heightB)
                                      : static_cast<float>(heightB) / static_cast<float>(widthB);
    // Across the branch: heights for horizontal branches, widths for vertical ones.
    const uint32_t acrossA = horizontal ? heightA : widthA;
    const uint32_t acrossB = horizontal ? heightB : widthB;
    float shareA = 0.5f;
    float shareB = 0.5f;
    if (acrossB > acrossA) shareB = 1.0f;
    if (acrossB < acrossA) shareA = 1.0f;
    return shareA * perPixel * squaresA + shareB * perPixel * squaresB;
}

float ViaBarrelArea(float diameter, float platingThickness)
{
    const double outer = static_cast<double>(diameter) + 2.0 * static_cast<double>(platingThickness);
    const double inner = diameter;
    return static_cast<float>(3.1415 * outer * outer / 4 - 3.1415 * inner * inner / 4);
}

float SurfaceToAmbientResistance(float alpha, float epsilon, float area, double temperature, float ambient)
{
    const double convection = 1.0 / (static_cast<double>(alpha) * area);
    const double surfaceKelvin = temperature + 0.1 + 273.15;
    const double ambientKelvin = static_cast<double>(ambient) + 273.15;
    const double deltaT = temperature + 0.1 - ambient;
    const double emitted = std::pow(surfaceKelvin, 4) - std::pow(ambientKelvin, 4);
    double radiation;
    if (deltaT != 0.0 && emitted != 0.0)
        radiation = deltaT / (epsilon * kStefanBoltzmann * area * emitted);
    else  // the limit of the linearisation: d(T^4)/dT = 4 T^3
        radiation = 1.0 / (epsilon * kStefanBoltzmann * area * 4 * std::pow(ambientKelvin, 3));
    if (std::isinf(convection)) return static_cast<float>(radiation);
    if (std::isinf(radiation)) return static_cast<float>(convection);
    return static_cast<float>(convection * radiation / (convection + radiation));
}

}  // namespace korvex
