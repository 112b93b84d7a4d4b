#include <gtest/gtest.h>

#include <cstring>

#include "board/raster.h"
#include "board/sim_matrix.h"
#include "util/debug_log.h"

using namespace korvex;

TEST(Raster, OneContiguousBlockInFileOrder)
{
    float*** r = malloc3DFloat(3, 4, 2);
    ASSERT_NE(r, nullptr);
    float* data = RasterData(r, 3, 4);
    for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 4; ++y)
            for (int l = 0; l < 2; ++l) EXPECT_EQ(&r[x][y][l], data + (x * 4 + y) * 2 + l);
    free3D(r, 3, 4);
}

TEST(Raster, MinMaxStartValues)
{
    float*** r = malloc3DFloat(2, 2, 1);
    Init3DMatrix(r, 2, 2, 1, 0.0f);
    EXPECT_EQ(MaxOfMatrixLayer(r, 2, 2, 0), 0.0);
    EXPECT_EQ(MaxOfMatrixLayer(r, 0, 0, 0), -1e100);
    EXPECT_EQ(MinOfMatrix(r, 0, 0, 1), 1e100);
    r[1][0][0] = -3.0f;
    r[0][1][0] = 7.0f;
    EXPECT_EQ(MinOfMatrix(r, 2, 2, 1), -3.0);
    EXPECT_EQ(MaxOfMatrix(r, 2, 2, 1), 7.0);
    free3D(r, 2, 2);
}

TEST(Raster, RefusesNegativeCounts)
{
    DebugCapture log;
    EXPECT_EQ(malloc3D(-1, 4, 2, 4), nullptr);
    EXPECT_TRUE(log.Contains("Kein virtueller RAM"));
}

TEST(SimMatrix, LayerCountAndSize)
{
    SimMatrix b;
    InitSimulationMatrix(&b);
    ASSERT_EQ(SetLayerCount(&b, 2), 0);
    EXPECT_EQ(SetLayerCount(&b, 9), -1);
    EXPECT_EQ(b.LayerCount, 2);
    EXPECT_EQ(SetLayerCount(&b, 8), 0);
    SetLayerCount(&b, 2);
    const float z[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const float t[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    SetSize(&b, 0.1f, 0.2f, 10, 20, z, t);
    EXPECT_EQ(b.SizeZ[1], 2.0f);
    EXPECT_EQ(b.SizeZ[2], 1e-4f);
    EXPECT_EQ(b.CopperThickness[1], 9.0f);
    EXPECT_EQ(b.CopperThickness[2], 3.5e-5f);
}

TEST(SimMatrix, TemperatureStartsAtAmbientAndFreeTwiceIsHarmless)
{
    SimMatrix b;
    ApplyNewBoardDefaults(&b);
    ASSERT_EQ(MallocAllMatrices(&b), 0);
    EXPECT_EQ(b.TemperatureMatrix[159][99][1], 25.0f);
    EXPECT_EQ(b.CopperMatrix[5][5][0], 0.0f);
    AddPart(&b, PART_VIA, &gVia);
    EXPECT_EQ(freeSimulationMatrix(&b), 0);
    EXPECT_EQ(freeSimulationMatrix(&b), 0);
    EXPECT_EQ(b.CopperMatrix, nullptr);
    EXPECT_EQ(b.pFirstPart, nullptr);
}

TEST(PartList, OrderDeletionAndOwnership)
{
    SimMatrix b;
    InitSimulationMatrix(&b);
    Cap c;
    for (uint32_t ref : {5u, 7u, 5u}) {
        c.Ref = ref;
        c.Capacitance = static_cast<float>(ref);
        AddPart(&b, PART_CAP, &c);
    }
    c.Ref = 99;  // the stored copies are not affected
    EXPECT_EQ(CountParts(&b), 3u);
    Part* first = GetFirstPart(&b);
    EXPECT_EQ(PartRecord<Cap>(first)->Ref, 5u);
    EXPECT_EQ(GetPartfromID(&b, PART_CAP, 5), first);
    EXPECT_EQ(GetPartfromID(&b, PART_VIA, 0), nullptr);
    // Refusals say why and leave the list alone.
    const Status unknownKind = AddPart(&b, 3, &c);
    EXPECT_FALSE(unknownKind.IsOk());
    EXPECT_EQ(unknownKind.Reason(), "unknown part kind 3");
    EXPECT_EQ(AddPart(&b, PART_CAP, nullptr).Reason(), "no part record to add");
    EXPECT_EQ(AddPart(nullptr, PART_CAP, &c).Reason(), "no board to add the part to");
    EXPECT_TRUE(AddPart(&b, PART_CAP, &c).IsOk());
    EXPECT_EQ(CountParts(&b), 4u);
    DeletePart(&b, GetPartfromID(&b, PART_CAP, 99));
    EXPECT_EQ(CountParts(&b), 3u);

    DebugCapture log;
    Part stranger;
    EXPECT_EQ(DeletePart(&b, &stranger), -1);
    EXPECT_TRUE(log.Contains("Part not found\r\n"));
    Part* second = first->pNext;
    EXPECT_EQ(DeletePart(&b, first), 0);
    EXPECT_TRUE(log.Contains("First Part deleted\r\n"));
    EXPECT_EQ(GetFirstPart(&b), second);
    EXPECT_EQ(IsPart(&b, second), 1);
    EXPECT_EQ(DeletePart(&b, second->pNext), 0);
    EXPECT_TRUE(log.Contains("Part deleted\r\n"));
    EXPECT_EQ(DeletePart(&b, second), 0);
    EXPECT_EQ(GetFirstPart(&b), nullptr);
}
