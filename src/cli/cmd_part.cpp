// korvex-cli part add BOARD.sav KIND KEY=VALUE ...   (KIND: via, current, resistor,
//   heatsource, heatsink, port, cap, subcircuit, seriessubcircuit)
// korvex-cli part list BOARD.sav [--json]
// korvex-cli part edit BOARD.sav INDEX KEY=VALUE ...
// korvex-cli part remove BOARD.sav INDEX
// Keys are the record field names (x, y, Layer, Net1X, Rser, Capacitance ...);
// positions are pixels, layers 0-based as in the file (Layer = 0 is "Layer1").
// INDEX is the 1-based position in the part list, as `part list` shows it.
#include <cstdio>
#include <cstring>
#include <iostream>

#include "jobs/board_checks.h"
#include "board/record_layout.h"
#include "command_registry.h"
#include "board/part_lookup.h"
#include "project_io.h"
#include "quantity.h"
#include "record_fields.h"
#include "part_edit.h"
#include "record_print.h"

namespace korvex::cli {
namespace {

void WarnWithoutCopper(const SimMatrix& b, const Part* part)
{
    if (const std::string why = CheckPartPlacement(b, part); !why.empty())
        std::fprintf(stderr, "korvex-cli: warning: %s; jobs refuse the board until copper is there\n", why.c_str());
}

Part* PartAt(const SimMatrix& b, unsigned long long index)
{
    Part* p = b.pFirstPart;
    for (unsigned long long i = 1; p != nullptr && i < index; ++i) p = p->pNext;
    return index == 0 ? nullptr : p;
}

std::string Add(korvex::Project& project, const std::string& kindName, const std::vector<std::string>& assignments,
                std::string* done)
{
    SimMatrix& b = project.Board();
    const uint32_t kind = KindFromName(kindName);
    if (kind == 0) {
        return "unknown part kind " + kindName + " (kinds: " + PartKindNames() + ")";
    }
    Part* added = nullptr;
    if (std::string why = AddPartFromFields(b, kind, assignments, &added); !why.empty()) return why;
    WarnWithoutCopper(b, added);
    *done = "Added " + PartLabel(b, added) + ": " + RecordToText(*PartRecordLayout(kind), added->pRecord);
    return {};
}

std::string Edit(korvex::Project& project, unsigned long long index, const std::vector<std::string>& assignments,
                 std::string* done)
{
    SimMatrix& b = project.Board();
    Part* part = PartAt(b, index);
    if (part == nullptr) return "the board has no part " + std::to_string(index) + " (it has " + std::to_string(CountParts(&b)) + ")";
    if (assignments.empty()) return "nothing to change: give KEY=VALUE";
    const RecordLayout& layout = *PartRecordLayout(part->Kind);
    std::string why;
    if (!SetFields(layout, part->pRecord, assignments, &why)) return why;
    if (why = CheckChanged(b, part); !why.empty()) return why;
    WarnWithoutCopper(b, part);
    *done = "Changed " + PartLabel(b, part) + ": " + RecordToText(layout, part->pRecord);
    return {};
}

std::string Remove(korvex::Project& project, unsigned long long index, std::string* done)
{
    SimMatrix& b = project.Board();
    Part* part = PartAt(b, index);
    if (part == nullptr) return "the board has no part " + std::to_string(index) + " (it has " + std::to_string(CountParts(&b)) + ")";
    *done = "Removed " + PartLabel(b, part);
    DeletePart(&b, part);
    return {};
}

int List(const std::string& path, bool json)
{
    korvex::Project project;
    if (const int refused = OpenProject(project, path); refused != 0) return refused;
    const SimMatrix& b = project.Board();
    nlohmann::json parts = nlohmann::json::array();
    int index = 0;
    for (const Part* p = b.pFirstPart; p != nullptr; p = p->pNext) {
        ++index;
        const RecordLayout& layout = *PartRecordLayout(p->Kind);
        if (json) {
            nlohmann::json entry = {{"Index", index}, {"Kind", PartKindName(p->Kind)}};
            entry.update(RecordToJson(layout, p->pRecord));
            parts.push_back(entry);
        } else {
            std::printf("%d %s: %s\n", index, PartKindName(p->Kind), RecordToText(layout, p->pRecord).c_str());
        }
    }
    if (json) std::cout << parts.dump(2) << "\n";
    return 0;
}

struct PartOptions {
    std::string path, kind;
    unsigned long long index = 0;
    std::vector<std::string> assignments;
    bool json = false;
};

int Change(const PartOptions& o, const std::function<std::string(korvex::Project&, std::string*)>& change)
{
    std::string done;
    const int status = ChangeProject(o.path, [&](korvex::Project& p) { return change(p, &done); });
    if (status == 0) std::printf("%s\n", done.c_str());
    return status;
}

const KorvexCommand kPart("part", "Add, list, edit or remove the parts of a board", [](CLI::App& sub) {
    auto o = std::make_shared<PartOptions>();
    sub.require_subcommand(1);
    CLI::App* add = sub.add_subcommand("add", "Add a part: KIND KEY=VALUE ... (keys: the record's field names)");
    add->add_option("BOARD", o->path, "Project file (.sav)")->required();
    add->add_option("KIND", o->kind,
                    "via, current, resistor, heatsource, heatsink, port, cap, subcircuit, seriessubcircuit")
        ->required();
    add->add_option("FIELDS", o->assignments, "KEY=VALUE, values with units and prefixes (10u, 2.2nF, 35um)");
    CLI::App* list = sub.add_subcommand("list", "List the parts with their 1-based index");
    list->add_option("BOARD", o->path, "Project file (.sav)")->required();
    list->add_flag("--json", o->json, "As a JSON array whose keys are the field names");
    CLI::App* edit = sub.add_subcommand("edit", "Change fields of the part at INDEX");
    edit->add_option("BOARD", o->path, "Project file (.sav)")->required();
    edit->add_option("INDEX", o->index, "1-based position in the part list")->required();
    edit->add_option("FIELDS", o->assignments, "KEY=VALUE ...");
    CLI::App* remove = sub.add_subcommand("remove", "Remove the part at INDEX");
    remove->add_option("BOARD", o->path, "Project file (.sav)")->required();
    remove->add_option("INDEX", o->index, "1-based position in the part list")->required();
    return [o, add, list, edit, remove]() {
        if (list->parsed()) return List(o->path, o->json);
        if (add->parsed()) return Change(*o, [&](korvex::Project& p, std::string* done) { return Add(p, o->kind, o->assignments, done); });
        if (edit->parsed()) return Change(*o, [&](korvex::Project& p, std::string* done) { return Edit(p, o->index, o->assignments, done); });
        if (remove->parsed()) return Change(*o, [&](korvex::Project& p, std::string* done) { return Remove(p, o->index, done); });
        return Refuse("part: give add, list, edit or remove");
    };
});

}  // namespace
}  // namespace korvex::cli
