// korvex-cli info PROJECT.sav [--json]: the board, its layer stack, materials
// and every part with all its fields.
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "board/bitmap_file.h"
#include "board/project_file.h"
#include "board/record_layout.h"
#include "board/voltage_noise_param.h"
#include "command_registry.h"
#include "json_output.h"
#include "output_guard.h"
#include "project_io.h"
#include "pdn/cap_database.h"
#include "record_print.h"
#include "util/number_text.h"

namespace korvex::cli {

namespace {

std::vector<uint64_t> CopperPixels(const SimMatrix& b)
{
    std::vector<uint64_t> counts(static_cast<size_t>(b.LayerCount), 0);
    for (uint32_t x = 0; x < b.CountPixelX; ++x)
        for (uint32_t y = 0; y < b.CountPixelY; ++y)
            for (int l = 0; l < b.LayerCount; ++l)
                if (b.CopperMatrix[x][y][l] > 0.0f) ++counts[static_cast<size_t>(l)];
    return counts;
}

void PrintJson(const std::string& path, bool compressed, korvex::Project& p, const std::vector<std::string>& bitmaps)
{
    const SimMatrix& b = p.Board();
    nlohmann::json out = RecordToJson(SimMatrixHeaderLayout(), &b);
    if (!bitmaps.empty()) out["Bitmaps"] = bitmaps;
    out["File"] = path;
    out["Compressed"] = compressed;
    out["CopperPixels"] = CopperPixels(b);
    nlohmann::json parts = nlohmann::json::array();
    for (const Part* part = b.pFirstPart; part != nullptr; part = part->pNext) {
        nlohmann::json entry = {{"Kind", PartKindName(part->Kind)}, {"KindCode", part->Kind}};
        entry.update(RecordToJson(*PartRecordLayout(part->Kind), part->pRecord));
        parts.push_back(entry);
    }
    out["Parts"] = parts;
    nlohmann::json caps = nlohmann::json::array();
    for (int i = 0; i < p.Caps().Count; ++i) caps.push_back(RecordToJson(CapRecordLayout(), &p.Caps().Caps[i]));
    out["Caps"] = caps;
    out["VoltageNoiseTimeParam"] =
        compressed ? RecordToJson(VoltageNoiseTimeParamLayout(), &p.NoiseParam()) : nlohmann::json(nullptr);
    std::cout << JsonText(out) << "\n";
}

void PrintText(const std::string& path, bool compressed, korvex::Project& p)
{
    const SimMatrix& b = p.Board();
    std::printf("Project %s (%s)\n", path.c_str(), compressed ? "compressed" : "plain");
    std::printf("Board: %u x %u pixels, %d layers, %sm x %sm (pixel %sm x %sm)\n", b.CountPixelX, b.CountPixelY,
                b.LayerCount, FloatToChar(b.SizeX).c_str(), FloatToChar(b.SizeY).c_str(),
                FloatToChar(b.SizeX / static_cast<float>(b.CountPixelX)).c_str(),
                FloatToChar(b.SizeY / static_cast<float>(b.CountPixelY)).c_str());
    std::printf("Layer stack:\n");
    const auto copper = CopperPixels(b);
    for (int l = 0; l < b.LayerCount; ++l) {
        std::printf("  Layer%d: copper %sm, %llu copper pixels", l + 1, FloatToChar(b.CopperThickness[l]).c_str(),
                    static_cast<unsigned long long>(copper[static_cast<size_t>(l)]));
        if (l + 1 < b.LayerCount)
            std::printf("; dielectric to Layer%d %sm, Er %s, Df %s", l + 2, FloatToChar(b.SizeZ[l]).c_str(),
                        FloatText(b.Er[l]).c_str(), FloatText(b.Df[l]).c_str());
        std::printf("\n");
    }
    std::printf("Materials: ElectricalConductivity=%s TemperatureCoefficient=%s ThermalConductivityCopper=%s "
                "ThermalConductivityFR4XY=%s ThermalConductivityFR4Z=%s Alpha=%s Epsilon=%s TAmbient=%s\n",
                FloatText(b.ElectricalConductivity).c_str(), FloatText(b.TemperatureCoefficient).c_str(),
                FloatText(b.ThermalConductivityCopper).c_str(), FloatText(b.ThermalConductivityFR4XY).c_str(),
                FloatText(b.ThermalConductivityFR4Z).c_str(), FloatText(b.Alpha).c_str(),
                FloatText(b.Epsilon).c_str(), FloatText(b.TAmbient).c_str());
    std::printf("Board record: %s\n", RecordToText(SimMatrixHeaderLayout(), &b).c_str());
    std::printf("Parts (%u):\n", CountParts(&b));
    unsigned n = 0;
    for (const Part* part = b.pFirstPart; part != nullptr; part = part->pNext)
        std::printf("  %u %s: %s\n", ++n, PartKindName(part->Kind),
                    RecordToText(*PartRecordLayout(part->Kind), part->pRecord).c_str());
    std::printf("Equivalent-circuit capacitors (%d):\n", p.Caps().Count);
    for (int i = 0; i < p.Caps().Count; ++i)
        std::printf("  %s\n", RecordToText(CapRecordLayout(), &p.Caps().Caps[i]).c_str());
    if (compressed)
        std::printf("VoltageNoiseTimeParam: %s\n", RecordToText(VoltageNoiseTimeParamLayout(), &p.NoiseParam()).c_str());
}

const KorvexCommand kInfo("info", "Show a project's board, layer stack, materials and parts", [](CLI::App& sub) {
    auto path = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    auto bitmapFolder = std::make_shared<std::string>();
    sub.add_option("PROJECT", *path, "Project file (.sav), plain or compressed")->required();
    sub.add_flag("--json", *json, "Print one JSON object whose keys are the record field names");
    sub.add_option("--bitmaps", *bitmapFolder,
                   "With --json: write each layer's copper as DIR/LayerN_Copper.bmp and list them under \"Bitmaps\" "
                   "(so that `board --from` rebuilds the board)");
    return [path, json, bitmapFolder]() {
        korvex::Project p;
        if (const int refused = OpenProject(p, *path); refused != 0) return refused;
        const bool compressed = p.IsCompressed();
        std::string error;
        std::vector<std::string> bitmaps;
        if (!bitmapFolder->empty()) {
            if (!*json) return Refuse("--bitmaps goes with --json");
            if (std::string why = korvex::cli::CheckOutputFolder(*bitmapFolder, {*path}); !why.empty()) return Refuse(why);
            std::error_code ec;
            std::filesystem::create_directories(*bitmapFolder, ec);
            for (int l = 0; l < p.Board().LayerCount; ++l) {
                const std::string file = (std::filesystem::path(*bitmapFolder) / ("Layer" + std::to_string(l + 1) + "_Copper.bmp")).string();
                if (WriteBitmapCopper(file.c_str(), p.Board().CopperMatrix, p.Board().CountPixelX, p.Board().CountPixelY, l, &error) != 0)
                    return Refuse(error);
                bitmaps.push_back(file);
            }
        }
        if (*json)
            PrintJson(*path, compressed, p, bitmaps);
        else
            PrintText(*path, compressed, p);
        return 0;
    };
});

}  // namespace

}  // namespace korvex::cli
