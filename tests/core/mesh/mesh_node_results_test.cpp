// Node results live in the mesh's store: they go with their mesh, are copied
// (not shared) with a template node, and a job's copy hands them over whole.
#include <gtest/gtest.h>

#include "mesh/mesh_node_results.h"
#include "mesh/mesh_result_copy.h"
#include "mesh/mesh_results.h"
#include "mesh_test_support.h"

using namespace korvex;

namespace {
// A 4 x 2 board of two layers meshed as two 2 x 2 nodes.
struct TwoNodes : TestBoard {
    TwoNodes() : TestBoard(2, 4, 2) { Remesh(); }
    void Remesh()
    {
        InitMesh(&mesh, &board);
        Nodes({{0, 0, 2, 2, {}, 0.0}, {2, 0, 2, 2, {}, 0.0}});
    }
    MeshNode* First() { return GetFirstNode(&mesh); }
};
}  // namespace

TEST(MeshNodeResults, ABuiltMeshHoldsNoneAndARemeshedBoardStartsFromZero)
{
    TwoNodes b;
    EXPECT_EQ(b.First()->Results, nullptr);
    EXPECT_EQ(ResultsOf(b.First()).Voltage[1], 0.0);
    ASSERT_EQ(SetVoltage(&b.mesh, b.First(), 1, 3.3), 0);
    ASSERT_EQ(SetNodeZin(&b.mesh, b.First(), 0, 5.0f), 0);
    EXPECT_EQ(ResultsOf(b.First()).Voltage[1], 3.3);
    EXPECT_EQ(GetNextNode(b.First())->Results, nullptr);  // only the written node has a record

    b.Remesh();  // same rectangles, new mesh: the old results went with the old mesh
    for (const MeshNode* n = GetFirstNode(&b.mesh); n; n = GetNextNode(n)) {
        EXPECT_EQ(n->Results, nullptr);
        EXPECT_EQ(ResultsOf(n).Voltage[1], 0.0);
        EXPECT_EQ(ResultsOf(n).Zin[0], 0.0f);
    }
}

TEST(MeshNodeResults, ATemplateNodesResultsAreCopiedNotShared)
{
    TwoNodes a, b;
    SetVoltage(&a.mesh, a.First(), 0, 1.5);
    InitMesh(&b.mesh, &b.board);
    MeshNode copy = *a.First();
    MeshNode* added = AddNode(&b.mesh, &copy);
    ASSERT_NE(added, nullptr);
    ASSERT_NE(added->Results, a.First()->Results);
    EXPECT_EQ(ResultsOf(added).Voltage[0], 1.5);
    SetVoltage(&a.mesh, a.First(), 0, 9.0);
    FreeMesh(&a.mesh);
    EXPECT_EQ(ResultsOf(added).Voltage[0], 1.5);
}

TEST(MeshNodeResults, AJobsCopyHandsItsResultsOverAndKeepsWhatItDidNotWrite)
{
    TwoNodes b;
    SetNodeZin(&b.mesh, b.First(), 1, 7.0f);  // an earlier analysis
    MeshResultCopy copy(b.mesh);
    ASSERT_TRUE(copy.Valid());
    Mesh* scratch = copy.Get();
    SetVoltage(scratch, GetFirstNode(scratch), 0, 2.5);
    SetTemperature(GetNextNode(GetFirstNode(scratch)), 1, 60.0);
    // The shown mesh is untouched until the results are applied.
    EXPECT_EQ(ResultsOf(b.First()).Voltage[0], 0.0);
    EXPECT_EQ(GetNextNode(b.First())->Temperature[1], 0.0);
    SetNodeZin(&b.mesh, b.First(), 1, 8.0f);  // the copy took its own record

    ASSERT_EQ(copy.ApplyTo(&b.mesh), 0);
    EXPECT_EQ(ResultsOf(b.First()).Voltage[0], 2.5);
    EXPECT_EQ(ResultsOf(b.First()).Zin[1], 7.0f);
    EXPECT_EQ(GetNextNode(b.First())->Temperature[1], 60.0);
    EXPECT_EQ(GetNextNode(b.First())->Results, nullptr);
}
