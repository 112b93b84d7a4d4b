#pragma once
// Small boards and meshes for the netlist tests, built node by node so that
// every value in a netlist can be worked out by hand, and the helpers that
// look at the netlists.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "../util/test_files.h"
#include "board/part_list.h"
#include "board/sim_matrix.h"
#include "mesh/mesh_model.h"
#include "netlist/element_counters.h"
#include "netlist/netlist_writer.h"

namespace korvex {

namespace netlist_test {

// A mesh node: position and size in pixels, the layers with copper.
struct NodeSpec {
    int x, y, width, height;
    std::vector<int> copper;
    double temperature = 20.0;
};

struct TestBoard {
    SimMatrix board{};
    Mesh mesh{};

    // pixelsX x pixelsY pixels of `pitchX` x `pitchY` metres, `layers` layers,
    // no copper, the default materials of a new board.
    TestBoard(int layers, int pixelsX, int pixelsY, float pitchX = 1e-3f, float pitchY = 1e-3f)
    {
        InitSimulationMatrix(&board);
        SetLayerCount(&board, layers);
        SetSize(&board, pitchX * static_cast<float>(pixelsX), pitchY * static_cast<float>(pixelsY),
                static_cast<uint32_t>(pixelsX), static_cast<uint32_t>(pixelsY), nullptr, nullptr);
        MallocCopperMatrix(&board);
        InitMesh(&mesh, &board);
    }
    ~TestBoard()
    {
        FreeMesh(&mesh);
        freeSimulationMatrix(&board);
    }
    TestBoard(const TestBoard&) = delete;
    TestBoard& operator=(const TestBoard&) = delete;

    void Copper(int layer, int left, int top, int right, int bottom, float value = 1.0f)
    {
        for (int x = left; x <= right; ++x)
            for (int y = top; y <= bottom; ++y) board.CopperMatrix[x][y][layer] = value;
    }
    void FillCopper(int layer) { Copper(layer, 0, 0, static_cast<int>(board.CountPixelX) - 1, static_cast<int>(board.CountPixelY) - 1); }

    // Adds a node of `width` x `height` pixels at (x, y) with copper on the
    // layers of `copperLayers` and `temperature` on every layer.
    MeshNode* Node(int x, int y, int width, int height, std::initializer_list<int> copperLayers,
                   double temperature = 20.0)
    {
        MeshNode t{};
        t.x = static_cast<uint32_t>(x);
        t.y = static_cast<uint32_t>(y);
        t.OrderX = static_cast<uint32_t>(width);
        t.OrderY = static_cast<uint32_t>(height);
        for (int l : copperLayers) t.bCopper[l] = 1;
        for (double& v : t.Temperature) v = temperature;
        return AddNode(&mesh, &t);
    }
    // Adds the nodes and links them.
    void Nodes(const std::vector<NodeSpec>& nodes)
    {
        for (const NodeSpec& n : nodes) {
            MeshNode* node = Node(n.x, n.y, n.width, n.height, {}, n.temperature);
            for (int l : n.copper) node->bCopper[l] = 1;
        }
        Link();
    }
    // Square 1 x 1 nodes over the whole board, copper on the given layers.
    void UniformMesh(std::initializer_list<int> copperLayers, double temperature = 20.0)
    {
        for (uint32_t y = 0; y < board.CountPixelY; ++y)
            for (uint32_t x = 0; x < board.CountPixelX; ++x)
                Node(static_cast<int>(x), static_cast<int>(y), 1, 1, copperLayers, temperature);
        Link();
    }
    // Computes the neighbours of every node (after all nodes are added).
    void Link()
    {
        for (MeshNode* n = GetFirstNode(&mesh); n != nullptr; n = GetNextNode(n)) SetNeighbour(&mesh, n);
    }
    MeshNode* NodeAtPixel(int x, int y) { return CoordinateToAddress(&mesh, MeshPoint{x, y}); }

    template <class Record>
    Record* Add(uint32_t kind, const Record& record)
    {
        AddPart(&board, kind, &record);
        Part* last = GetFirstPart(&board);
        while (GetNextPart(last) != nullptr) last = GetNextPart(last);
        return PartRecord<Record>(last);
    }
};

// Resets the program-wide element counters so that names start at 1.
class FreshCounters : public ::testing::Test {
protected:
    void SetUp() override { gElementCounters = ElementCounters{}; }
};

// What `write(NetlistWriter&)` writes, from a writer on memory.
template <class Write>
std::string Written(Write write)
{
    std::string text;
    korvex::NetlistWriter out;
    out.OpenMemory(&text);
    write(out);
    EXPECT_EQ(out.Close(), 0);
    return text;
}

// Whole netlists are compared with files in tests/data/netlist. Setting
// KORVEX_UPDATE_GOLDEN=1 rewrites the files from the current output (review
// the diff before committing it).
inline void ExpectGolden(const std::string& name, const std::string& text)
{
    const std::string path = std::string(KORVEX_TEST_DATA) + "/netlist/" + name;
    if (const char* update = std::getenv("KORVEX_UPDATE_GOLDEN"); update != nullptr && update[0] == '1') {
        test_files::WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
        return;
    }
    ASSERT_TRUE(std::filesystem::exists(path)) << "missing golden netlist " << path;
    EXPECT_EQ(text, test_files::ReadText(path)) << "netlist differs from " << path;
}

// The text `create(path)` writes to a file, after it returned 0.
template <class Create>
std::string WrittenFile(Create create)
{
    test_files::TempFolder folder("netlist_file");
    const std::string path = folder.Path("netlist.cir");
    EXPECT_EQ(create(path.c_str()), 0);
    return test_files::ReadText(path);
}

inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Lines that start with `prefix`.
inline std::vector<std::string> LinesStarting(const std::string& text, const std::string& prefix)
{
    std::vector<std::string> found;
    for (const std::string& line : Lines(text))
        if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
}

// The whitespace-separated field `index` of a line, as a number.
inline double Field(const std::string& line, int index)
{
    std::istringstream in(line);
    std::string token;
    for (int i = 0; i <= index; ++i) in >> token;
    return std::strtod(token.c_str(), nullptr);
}

// A line expected as its text up to the last field and, in the last field, a
// value computed by hand in exact arithmetic (the writers work in single
// precision, so the printed value may differ in its seventh significant digit).
struct ValueLine {
    std::string head;
    double value;
};

inline void ExpectValueLines(const std::vector<std::string>& actual, const std::vector<ValueLine>& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        const size_t lastBlank = actual[i].find_last_of(' ', actual[i].size() - 2);
        EXPECT_EQ(actual[i].substr(0, lastBlank), expected[i].head);
        EXPECT_NEAR(std::strtod(actual[i].c_str() + lastBlank + 1, nullptr), expected[i].value,
                    2e-6 * std::fabs(expected[i].value) + 1e-6)
            << actual[i];
    }
}

}  // namespace netlist_test

}  // namespace korvex
