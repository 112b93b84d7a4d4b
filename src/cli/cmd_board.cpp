// korvex-cli board BOARD.sav --from board.json [--plain] [--force]: a whole
// board from its description as `info --json` prints it: the board record's
// fields (layer stack, materials), "Parts" (each with its "Kind" and fields),
// "Caps" (the equivalent-circuit list) and "Bitmaps" (one copper bitmap per
// layer, paths relative to the JSON file; `info --json --bitmaps DIR` writes them).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "board/bitmap_file.h"
#include "board/record_layout.h"
#include "command_registry.h"
#include "output_guard.h"
#include "part_edit.h"
#include "project_io.h"
#include "record_fields.h"

namespace fs = std::filesystem;

namespace korvex::cli {
namespace {

// KEY=VALUE texts for the fields of LAYOUT that the object carries.
std::vector<std::string> Assignments(const RecordLayout& layout, const nlohmann::json& object)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < layout.FieldCount; ++i) {
        const FieldLayout& f = layout.Fields[i];
        if (f.Type == FieldType::Padding || !object.contains(f.Name) || object[f.Name].is_null()) continue;
        const nlohmann::json& v = object[f.Name];
        std::string text;
        if (v.is_array()) {
            for (const auto& e : v) text += (text.empty() ? "" : ",") + e.dump();
        } else {
            text = v.is_string() ? v.get<std::string>() : v.dump();
        }
        out.push_back(std::string(f.Name) + "=" + text);
    }
    return out;
}

std::string Build(const nlohmann::json& d, const fs::path& folder, korvex::Project& project)
{
    SimMatrix& b = project.Board();
    std::string why;
    if (!d.is_object()) return "the description is not a JSON object";
    for (const char* key : {"CountPixelX", "CountPixelY", "LayerCount"})
        if (!d.contains(key) || !d[key].is_number_integer()) return std::string("the description has no ") + key;
    SimMatrix header;
    InitSimulationMatrix(&header);
    if (!SetFields(SimMatrixHeaderLayout(), &header, Assignments(SimMatrixHeaderLayout(), d), &why)) return why;
    if (header.LayerCount < 1 || header.LayerCount > kMaxLayers) return "LayerCount must lie in 1 ... 8";
    if (header.CountPixelX < 1 || header.CountPixelY < 1 ||
        static_cast<int64_t>(header.CountPixelX) * header.CountPixelY >= kBitmapPixelLimit)
        return "CountPixelX x CountPixelY must lie in 1 ... " + std::to_string(kBitmapPixelLimit - 1) + " pixels";
    header.pFirstPart = nullptr;
    b = std::move(header);
    if (MallocAllMatrices(&b) != 0) return "not enough memory for a board of that size";
    const nlohmann::json bitmaps = d.value("Bitmaps", nlohmann::json::array());
    if (!bitmaps.is_array() || bitmaps.size() > static_cast<size_t>(b.LayerCount))
        return "Bitmaps must list at most one bitmap per layer";
    for (size_t l = 0; l < bitmaps.size(); ++l) {
        if (bitmaps[l].is_null()) continue;
        if (!bitmaps[l].is_string()) return "Bitmaps must hold file names";
        fs::path path = bitmaps[l].get<std::string>();
        if (path.is_relative() && fs::exists(folder / path)) path = folder / path;
        if (BitmapToMatrix(&b, path.c_str(), b.CopperMatrix, static_cast<int>(l), &why) != 0)
            return path.string() + ": " + why;
    }
    int index = 0;
    for (const nlohmann::json& part : d.value("Parts", nlohmann::json::array())) {
        ++index;
        if (!part.is_object()) return "Parts[" + std::to_string(index) + "] is not an object";
        const std::string kindName = part.contains("Kind") && part["Kind"].is_string() ? part["Kind"].get<std::string>() : "";
        const uint32_t kind = KindFromName(kindName);
        if (kind == 0) return "Parts[" + std::to_string(index) + "]: unknown Kind \"" + kindName + "\"";
        Part* added = nullptr;
        why = AddPartFromFields(b, kind, Assignments(*PartRecordLayout(kind), part), &added);
        if (!why.empty()) return "Parts[" + std::to_string(index) + "]: " + why;
    }
    for (const nlohmann::json& cap : d.value("Caps", nlohmann::json::array())) {
        if (!cap.is_object()) return "Caps must hold objects";
        CapRecord record;
        if (!SetFields(CapRecordLayout(), &record, Assignments(CapRecordLayout(), cap), &why)) return "Caps: " + why;
        AddCap(&project.Caps(), project.Caps().Count, &record);
    }
    if (d.contains("VoltageNoiseTimeParam") && d["VoltageNoiseTimeParam"].is_object()) {
        const auto fields = Assignments(VoltageNoiseTimeParamLayout(), d["VoltageNoiseTimeParam"]);
        if (!SetFields(VoltageNoiseTimeParamLayout(), &project.NoiseParam(), fields, &why))
            return "VoltageNoiseTimeParam: " + why;
    }
    return {};
}

struct BoardOptions {
    std::string path, from;
    bool plain = false, force = false;
};

const KorvexCommand kBoard("board", "Create a whole board from a JSON description (as info --json prints it)",
                           [](CLI::App& sub) {
    auto o = std::make_shared<BoardOptions>();
    sub.add_option("BOARD", o->path, "Project file to create (.sav)")->required();
    sub.add_option("--from", o->from, "JSON description")->required();
    sub.add_flag("--plain", o->plain, "Write an uncompressed project");
    sub.add_flag("--force", o->force, "Replace an existing file");
    return [o]() {
        if (fs::exists(o->path) && !o->force) return Refuse(o->path + " exists; give --force to replace it");
        if (std::string why = CheckOutputPath(o->path, {o->from}, o->force, "project"); !why.empty()) return Refuse(why);
        std::ifstream in(o->from);
        if (!in) return Refuse("cannot read " + o->from);
        const nlohmann::json description = nlohmann::json::parse(in, nullptr, false);
        if (description.is_discarded()) return Refuse(o->from + " is not valid JSON");
        korvex::Project project;
        project.Create(o->path, !o->plain);
        if (std::string why = Build(description, fs::path(o->from).parent_path(), project); !why.empty())
            return Refuse(o->from + ": " + why);
        if (const Status saved = project.Save(); !saved) return Refuse(saved.Reason());
        std::printf("Board %s from %s: %u parts\n", o->path.c_str(), o->from.c_str(), CountParts(&project.Board()));
        return 0;
    };
});

}  // namespace
}  // namespace korvex::cli
