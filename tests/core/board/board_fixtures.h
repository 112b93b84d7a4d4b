#pragma once
// Boards and files shared by the board tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <initializer_list>
#include <string>

#include "../util/test_files.h"
#include "board/raster.h"
#include "board/record_layout.h"
#include "board/sim_matrix.h"
#include "util/byte_io.h"

namespace korvex {

namespace testing_board {

using namespace test_files;

// A board of the given shape with all rasters allocated and, if `fill`, filled
// with values that differ per raster, pixel and layer.
inline void MakeBoard(SimMatrix* b, uint32_t nx, uint32_t ny, int layers, bool fill = true)
{
    InitSimulationMatrix(b);
    SetLayerCount(b, layers);
    SetSize(b, 0.01f * nx, 0.01f * ny, nx, ny, nullptr, nullptr);
    MallocAllMatrices(b);
    if (!fill) return;
    float*** rasters[7] = {b->CopperMatrix,         b->VoltageMatrix,     b->CurrentXMatrix, b->CurrentYMatrix,
                           b->CurrentDensityMatrix, b->TemperatureMatrix, b->ZinMatrix};
    for (int r = 0; r < 7; ++r)
        for (uint32_t x = 0; x < nx; ++x)
            for (uint32_t y = 0; y < ny; ++y)
                for (int l = 0; l < layers; ++l) rasters[r][x][y][l] = r * 1000.0f + x + y * 0.01f + l * 0.5f;
}

// A board owned by one test.
struct OwnedBoard {
    SimMatrix board;
    OwnedBoard(uint32_t nx, uint32_t ny, int layers, bool fill = true) { MakeBoard(&board, nx, ny, layers, fill); }
    ~OwnedBoard() { freeSimulationMatrix(&board); }
};

// One part of every kind, each with a few values that differ from the templates.
inline void AddEveryPartKind(SimMatrix* b)
{
    Current c;
    c.Net1X = 1, c.Net2Y = 2, c.Flags = 1, c.Current = 2.5;
    CopyName(c.Net1Name, "VCC");
    CopyName(c.Net2Name, "0");
    AddPart(b, PART_CURRENT, &c);
    Resistor r;
    r.Net1X = r.Net2X = 3, r.Rser = 1e-6f;
    CopyName(r.Net2Name, "0");
    AddPart(b, PART_RESISTOR, &r);
    Via v;
    v.x = 4, v.y = 5, v.Current[7] = 0.125f;
    AddPart(b, PART_VIA, &v);
    HeatSource hs;
    hs.RectBX = 6, hs.Power = 3.25, hs.Temperature = 77.5;
    CopyName(hs.Net, "U1");
    AddPart(b, PART_HEATSOURCE, &hs);
    HeatSink sink;
    sink.RectBY = 7, sink.ThermalResistance = 4.5;
    AddPart(b, PART_HEATSINK, &sink);
    Port p;
    p.x = 8, p.ID = 3, p.Layer = 1;
    AddPart(b, PART_PORT, &p);
    Cap cap;
    cap.Ref = 12, cap.Capacitance = 4.7e-6f, cap.ESL = 5e-10f;
    AddPart(b, PART_CAP, &cap);
    cap.Ref = 13;
    AddPart(b, PART_CAP, &cap);
    SubCircuit sub;
    sub.Reference = 9;
    CopyName(sub.Netlist, "R1 A B 10\nC1 B 0 1u");
    AddPart(b, PART_SUBCIRCUIT, &sub);
    SeriesSubCircuit series;
    series.Net2Z = 1, series.Reference = 10;
    CopyName(series.Name, "Filter");
    AddPart(b, PART_SERIESSUBCIRCUIT, &series);
}

// The file bytes of a record, so records compare without their padding.
inline std::vector<uint8_t> Encoded(const RecordLayout& layout, const void* record)
{
    std::vector<uint8_t> bytes(layout.FileSize);
    EncodeRecord(layout, record, bytes.data());
    return bytes;
}

// A number expected at a byte offset of a file: 'u' u32, 'f' f32 (give a float
// literal), 'd' f64.
struct FieldAt {
    size_t offset;
    char type;
    double value;
};

inline void ExpectFields(const std::vector<uint8_t>& b, std::initializer_list<FieldAt> fields)
{
    for (const FieldAt& f : fields) {
        ASSERT_LE(f.offset + (f.type == 'd' ? 8 : 4), b.size()) << f.offset;
        const double v = f.type == 'u'   ? korvex::GetU32LE(&b[f.offset])
                         : f.type == 'f' ? std::bit_cast<float>(korvex::GetU32LE(&b[f.offset]))
                                         : std::bit_cast<double>(korvex::GetU64LE(&b[f.offset]));
        EXPECT_EQ(v, f.value) << "at byte " << f.offset;
    }
}

inline bool AllZero(const std::vector<uint8_t>& b, size_t from, size_t n)
{
    return std::all_of(b.begin() + from, b.begin() + from + n, [](uint8_t v) { return v == 0; });
}

// A check's answer: empty when `expected` is, else a text that contains `expected`.
inline void ExpectReason(const std::string& why, const std::string& expected, const std::string& label)
{
    if (expected.empty())
        EXPECT_EQ(why, "") << label;
    else
        EXPECT_NE(why.find(expected), std::string::npos) << label << ": " << why;
}

inline std::string TextAt(const std::vector<uint8_t>& b, size_t at)
{
    return reinterpret_cast<const char*>(&b[at]);
}

}  // namespace testing_board

}  // namespace korvex
