// The board in memory: rasters, the board record, its part list, part lookups and the
// editing operations on copper and parts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "board/part_list.h"
#include "board/part_lookup.h"
#include "board/raster.h"
#include "board/sim_matrix.h"
#include "mesh/board_operations.h"
#include "util/debug_log.h"

using namespace korvex;

// Extremes of one layer and of all layers; rasters of one sign show a wrong start value.
TEST(Raster, ExtremesAndRefusedCounts)
{
    float*** r = malloc3DFloat(2, 2, 2);
    Init3DMatrix(r, 2, 2, 2, -5.0f);
    r[1][0][1] = -3.0f;
    EXPECT_EQ(MaxOfMatrix(r, 2, 2, 2), -3.0);
    EXPECT_EQ(MaxOfMatrixLayer(r, 2, 2, 0), -5.0);
    Init3DMatrix(r, 2, 2, 2, 5.0f);
    r[0][1][1] = 3.0f;
    EXPECT_EQ(MinOfMatrix(r, 2, 2, 2), 3.0);
    EXPECT_EQ(MinOfMatrixLayer(r, 2, 2, 0), 5.0);
    // Every layer in one pass, a NaN passed over as the per-layer passes do.
    r[0][0][0] = std::nanf("");
    r[1][1][0] = 7.0f;
    double lo[2], hi[2];
    LayerExtremes(r, 2, 2, 2, lo, hi);
    EXPECT_EQ(std::vector<double>({lo[0], hi[0], lo[1], hi[1]}), std::vector<double>({5.0, 7.0, 3.0, 5.0}));
    LayerExtremes(nullptr, 2, 2, 1, lo, hi);
    EXPECT_EQ(lo[0], 1e100);
    free3D(r, 2, 2);

    // Result rasters are painted over fresh ones without clearing them first, small ones too
    // (the sanitizer build fills fresh heap blocks with garbage).
    for (const int n : {3, 800}) {
        float*** fresh = malloc3DFloat(n, n, 3);
        const float* data = RasterData(fresh, n, n);
        EXPECT_TRUE(std::all_of(data, data + size_t(n) * n * 3, [](float v) { return v == 0.0f; })) << n;
        free3D(fresh, n, n);
    }

    DebugCapture log;
    EXPECT_EQ(malloc3D(-1, 4, 2, 4), nullptr);
    EXPECT_TRUE(log.Contains("Kein virtueller RAM"));
}

TEST(SimMatrix, LayerCountSizeAmbientStartAndFreeTwice)
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
    EXPECT_EQ(b.SizeZ[2], 1e-4f);  // layers beyond the count keep their defaults
    EXPECT_EQ(b.CopperThickness[1], 9.0f);
    EXPECT_EQ(b.CopperThickness[2], 3.5e-5f);

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
    // Deleting the head, then the tail, then the only part left keeps the list linked.
    Part* second = first->pNext;
    EXPECT_EQ(DeletePart(&b, first), 0);
    EXPECT_EQ(GetFirstPart(&b), second);
    EXPECT_EQ(IsPart(&b, second), 1);
    EXPECT_EQ(DeletePart(&b, second->pNext), 0);
    EXPECT_EQ(DeletePart(&b, second), 0);
    EXPECT_EQ(GetFirstPart(&b), nullptr);
}

namespace {
struct PartFixture : ::testing::Test {
    SimMatrix board;
    void SetUp() override { InitSimulationMatrix(&board); }
    void TearDown() override { freeSimulationMatrix(&board); }
};
}  // namespace

TEST_F(PartFixture, IdentityNumbers)
{
    const auto add = [&](uint32_t kind, uint32_t id) {
        Port p;
        Cap c;
        p.ID = c.Ref = id;
        AddPart(&board, kind, kind == PART_PORT ? static_cast<const void*>(&p) : &c);
    };
    EXPECT_EQ(GetFreeID(&board, PART_PORT), 0u);
    EXPECT_EQ(GetFirstID(&board, PART_CAP), -1);
    for (uint32_t id : {0u, 1u, 3u}) add(PART_PORT, id);
    for (uint32_t ref : {7u, 2u, 7u, 5u}) add(PART_CAP, ref);
    EXPECT_EQ(GetFreeID(&board, PART_PORT), 2u);
    EXPECT_EQ(GetFreeID(&board, PART_CAP), 0u);
    EXPECT_EQ(GetFirstID(&board, PART_CAP), 7);
    EXPECT_EQ(GetNextID(&board, PART_CAP, 7), 2);
    EXPECT_EQ(GetNextID(&board, PART_CAP, 5), -1);
    EXPECT_EQ(GetNextID(&board, PART_CAP, 42), -1);
    EXPECT_EQ(GetLastID(&board, PART_CAP), 7u);
    for (uint32_t id = 0; id < 200; ++id) add(PART_PORT, id);
    EXPECT_EQ(GetFreeID(&board, PART_PORT), 200u);
}

TEST_F(PartFixture, ResultSettersFindTheirParts)
{
    Via via;
    HeatSource source;
    CopyName(source.Net, "IC7");
    HeatSink sink;
    CopyName(sink.Net, "Fin");
    AddPart(&board, PART_HEATSOURCE, &source);
    AddPart(&board, PART_VIA, &via);
    AddPart(&board, PART_HEATSINK, &sink);
    Part* viaPart = GetNextPart(GetFirstPart(&board));
    const uint64_t key = PartKey(&board, viaPart);
    EXPECT_EQ(key, 2u);
    EXPECT_EQ(SetViaCurrent(&board, key, 3, 0.25), 0);
    EXPECT_FLOAT_EQ(PartRecord<Via>(viaPart)->Current[3], 0.25f);
    EXPECT_EQ(SetViaCurrent(&board, key, 8, 1.0), -1);
    EXPECT_EQ(SetViaCurrent(&board, 1, 0, 1.0), -1);  // a heat source
    EXPECT_EQ(SetViaCurrent(&board, 99, 0, 1.0), -1);
    HeatSourceSetTemperature(&board, "ic7", 81.5);
    HeatSinkSetTemperature(&board, "FIN", 44.0);
    EXPECT_EQ(PartRecord<HeatSource>(GetFirstPart(&board))->Temperature, 81.5);
    EXPECT_EQ(PartRecord<HeatSink>(GetNextPart(viaPart))->Temperature, 44.0);
}

TEST_F(PartFixture, BoardOperations)
{
    SetLayerCount(&board, 2);
    const float z[8] = {}, t[8] = {};
    SetSize(&board, 0.01f, 0.01f, 6, 4, z, t);
    ASSERT_EQ(MallocCopperMatrix(&board), 0);
    MeshPoint p{-3, 4 + 5};
    ASSERT_EQ(ClippToOutline(&board, &p), 0);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 3);
    EXPECT_EQ(DrawRectangleCopper(&board, {9, 9}, {-2, -2}, 1, 1), 0);
    EXPECT_EQ(IsFullCopperOnLayer(&board, 1), 1);
    EXPECT_EQ(IsFullCopperOnLayer(&board, 0), 0);
    EXPECT_EQ(DrawRectangleCopper(&board, {2, 1}, {2, 1}, 1, 0), 0);
    EXPECT_EQ(IsFullCopperOnLayer(&board, 1), 0);
    EXPECT_EQ(IsCopperatCoordinate(&board, {2, 1, 1}), 0);
    EXPECT_EQ(IsCopperatCoordinate(&board, {3, 1, 1}), 1);
    EXPECT_EQ(IsCopperatCoordinate(&board, {6, 1, 1}), 0);
    EXPECT_EQ(IsCopperatCoordinate(&board, {3, 1, 2}), 0);
    EXPECT_EQ(DrawRectangleCopper(&board, {0, 0}, {1, 1}, 2, 1), -1);

    Port a, b;
    a.ID = 4;
    b.x = 5, b.y = 6, b.Layer = 1, b.ID = 9;
    AddPart(&board, PART_PORT, &a);
    AddPart(&board, PART_PORT, &b);
    AddPart(&board, PART_VIA, &gVia);
    Part* first = GetFirstPart(&board);
    EXPECT_EQ(CopyPartCoordinates(first, GetNextPart(first)), 0);
    const Port* moved = PartRecord<Port>(first);
    EXPECT_EQ(moved->x, 5u);
    EXPECT_EQ(moved->Layer, 1u);
    EXPECT_EQ(moved->ID, 4u);
    EXPECT_EQ(CopyPartCoordinates(first, GetNextPart(GetNextPart(first))), -1);
    EXPECT_EQ(CopyPartCoordinates(first, nullptr), -1);
}
