#pragma once
// Boards and files shared by the board tests.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/raster.h"
#include "board/record_layout.h"
#include "board/sim_matrix.h"

namespace testing_board {

namespace fs = std::filesystem;

struct TempFolder {
    fs::path dir;
    explicit TempFolder(const std::string& tag)
        : dir(fs::temp_directory_path() / ("korvex_" + tag + "_" + std::to_string(::getpid())))
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~TempFolder() { fs::remove_all(dir); }
    std::string Path(const std::string& name) const { return (dir / name).string(); }
    size_t Entries() const { return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {})); }
};

inline std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// A board of the given shape with all rasters allocated and filled with values
// that differ per raster, pixel and layer.
inline void MakeBoard(SimMatrix* b, uint32_t nx, uint32_t ny, int layers)
{
    InitSimulationMatrix(b);
    SetLayerCount(b, layers);
    SetSize(b, 0.01f * nx, 0.01f * ny, nx, ny, nullptr, nullptr);
    MallocAllMatrices(b);
    float*** rasters[7] = {b->CopperMatrix,         b->VoltageMatrix,     b->CurrentXMatrix, b->CurrentYMatrix,
                           b->CurrentDensityMatrix, b->TemperatureMatrix, b->ZinMatrix};
    for (int r = 0; r < 7; ++r)
        for (uint32_t x = 0; x < nx; ++x)
            for (uint32_t y = 0; y < ny; ++y)
                for (int l = 0; l < layers; ++l) rasters[r][x][y][l] = r * 1000.0f + x + y * 0.01f + l * 0.5f;
}

// One part of every kind, each with a few values that differ from the templates.
inline void AddEveryPartKind(SimMatrix* b)
{
    Current c;
    c.Net1X = 1;
    c.Net2Y = 2;
    CopyName(c.Net1Name, "VCC");
    CopyName(c.Net2Name, "0");
    c.Flags = 1;
    c.Current = 2.5;
    AddPart(b, PART_CURRENT, &c);
    Resistor r;
    r.Net1X = r.Net2X = 3;
    CopyName(r.Net2Name, "0");
    r.Rser = 1e-6f;
    AddPart(b, PART_RESISTOR, &r);
    Via v;
    v.x = 4;
    v.y = 5;
    v.Current[7] = 0.125f;
    AddPart(b, PART_VIA, &v);
    HeatSource hs;
    hs.RectBX = 6;
    hs.Power = 3.25;
    hs.Temperature = 77.5;
    CopyName(hs.Net, "U1");
    AddPart(b, PART_HEATSOURCE, &hs);
    HeatSink sink;
    sink.RectBY = 7;
    sink.ThermalResistance = 4.5;
    AddPart(b, PART_HEATSINK, &sink);
    Port p;
    p.x = 8;
    p.ID = 3;
    p.Layer = 1;
    AddPart(b, PART_PORT, &p);
    Cap cap;
    cap.Ref = 12;
    cap.Capacitance = 4.7e-6f;
    cap.ESL = 5e-10f;
    AddPart(b, PART_CAP, &cap);
    cap.Ref = 13;
    AddPart(b, PART_CAP, &cap);
    SubCircuit sub;
    sub.Reference = 9;
    CopyName(sub.Netlist, "R1 A B 10\nC1 B 0 1u");
    AddPart(b, PART_SUBCIRCUIT, &sub);
    SeriesSubCircuit series;
    series.Net2Z = 1;
    series.Reference = 10;
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

}  // namespace testing_board
