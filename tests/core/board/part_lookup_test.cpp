#include <gtest/gtest.h>

#include "board/part_list.h"
#include "board/part_lookup.h"
#include "board/sim_matrix.h"
#include "mesh/board_operations.h"

using namespace korvex;

namespace {
struct PartFixture : ::testing::Test {
    SimMatrix board;
    void SetUp() override { InitSimulationMatrix(&board); }
    void TearDown() override { freeSimulationMatrix(&board); }
    void AddPort(uint32_t id)
    {
        Port p;
        p.ID = id;
        AddPart(&board, PART_PORT, &p);
    }
    void AddCap(uint32_t ref)
    {
        Cap c;
        c.Ref = ref;
        AddPart(&board, PART_CAP, &c);
    }
};
}  // namespace

TEST_F(PartFixture, IdentityNumbers)
{
    EXPECT_EQ(GetFreeID(&board, PART_PORT), 0u);
    EXPECT_EQ(GetFirstID(&board, PART_CAP), -1);
    for (uint32_t id : {0u, 1u, 3u}) AddPort(id);
    for (uint32_t ref : {7u, 2u, 7u, 5u}) AddCap(ref);
    EXPECT_EQ(GetFreeID(&board, PART_PORT), 2u);
    EXPECT_EQ(GetFreeID(&board, PART_CAP), 0u);
    EXPECT_EQ(GetFreeID(&board, PART_VIA), 0u);
    EXPECT_EQ(GetFirstID(&board, PART_CAP), 7);
    EXPECT_EQ(GetNextID(&board, PART_CAP, 7), 2);
    EXPECT_EQ(GetNextID(&board, PART_CAP, 5), -1);
    EXPECT_EQ(GetNextID(&board, PART_CAP, 42), -1);
    EXPECT_EQ(GetLastID(&board, PART_CAP), 7u);
    EXPECT_EQ(GetLastID(&board, PART_PORT), 0u);
    EXPECT_EQ(GetFirstID(&board, PART_SUBCIRCUIT), -1);
    for (uint32_t id = 0; id < 200; ++id) AddPort(id);
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
    b.x = 5;
    b.y = 6;
    b.Layer = 1;
    b.ID = 9;
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
