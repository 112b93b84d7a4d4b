#include "job_bench.h"

#include <gtest/gtest.h>

#include "board/example_board.h"
#include "mesh/mesh_generation.h"

namespace korvex {

void UseShortSweep(Settings* settings)
{
    settings->StartFrequency = 1e5;
    settings->StopFrequency = 1e9;
    settings->NumberOfPoints = 24;
    settings->Steps = 2;
}

JobBench::JobBench()
{
    CreateExampleBoard(&board);
    UseShortSweep(&settings);
    EXPECT_EQ(CreateMesh(&board, &mesh, nullptr, &settings), 0);
}

JobBench::JobBench(uint32_t nx, uint32_t ny, int layers, float pitch)
{
    InitSimulationMatrix(&board);
    SetLayerCount(&board, layers);
    SetSize(&board, pitch * static_cast<float>(nx), pitch * static_cast<float>(ny), nx, ny, nullptr, nullptr);
    MallocAllMatrices(&board);
    settings.BatchMode = 0;
}

JobEnvironment JobBench::Env()
{
    JobEnvironment env = project.Environment();
    env.WorkFolder = folder.dir.string();
    env.Simulator = simulator;
    return env;
}

void JobBench::FillLayer(int layer)
{
    for (uint32_t x = 0; x < board.CountPixelX; ++x)
        for (uint32_t y = 0; y < board.CountPixelY; ++y) board.CopperMatrix[x][y][layer] = 1.0f;
}

void JobBench::BuildMesh()
{
    std::string reason;
    ASSERT_EQ(CommandCreateMesh(Env(), nullptr, &reason), 0) << reason;
}

}  // namespace korvex
