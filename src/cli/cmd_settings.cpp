// korvex-cli settings show [--json]; korvex-cli settings set KEY=VALUE ...
// The settings of the work folder's "Settings.set" (or --settings FILE) by
// their field names; `set` starts from the defaults when there is no file yet
// and replaces the file atomically.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "board/record_layout.h"
#include "jobs/settings_check.h"
#include "board/settings_file.h"
#include "command_registry.h"
#include "quantity.h"
#include "record_fields.h"
#include "record_print.h"
#include "settings_io.h"

namespace korvex::cli {
namespace {

struct SettingsOptions {
    std::string file, folder;
    bool json = false;
    std::vector<std::string> assignments;
};

void Show(const Settings& s, bool json)
{
    if (json) {
        nlohmann::json out = RecordToJson(SettingsLayout(), &s);
        out.erase("Reserved1");
        std::cout << out.dump(2) << "\n";
        return;
    }
    const RecordLayout& layout = SettingsLayout();
    const nlohmann::json values = RecordToJson(layout, &s);
    for (size_t i = 0; i < layout.FieldCount; ++i) {
        const FieldLayout& f = layout.Fields[i];
        if (f.Type == FieldType::Padding || std::strcmp(f.Name, "Reserved1") == 0) continue;
        const nlohmann::json& v = values[f.Name];
        const std::string unit = FieldUnit(f.Name);
        std::string text = v.is_string() ? v.get<std::string>() : v.dump();
        if (!unit.empty()) text = FormatQuantity(v.get<double>(), unit);
        std::printf("%s=%s\n", f.Name, text.c_str());
    }
}

const KorvexCommand kSettings("settings", "Show or change the settings (Settings.set)", [](CLI::App& sub) {
    auto o = std::make_shared<SettingsOptions>();
    sub.require_subcommand(1);
    CLI::App* show = sub.add_subcommand("show", "Print every setting by its field name");
    CLI::App* set = sub.add_subcommand("set", "Change settings: KEY=VALUE ... (e.g. StopFrequency=1GHz)");
    for (CLI::App* app : {show, set}) {
        app->add_option("--settings", o->file, "Settings file to use (any name)");
        app->add_option("--workdir", o->folder, "Folder whose Settings.set to use (default: the current folder)");
    }
    show->add_flag("--json", o->json, "As one JSON object");
    set->add_option("FIELDS", o->assignments, "KEY=VALUE with the field names")->required();
    return [o, show]() {
        const std::string path = SettingsPath(o->file, o->folder);
        Settings s;
        std::string why;
        if (show->parsed()) {
            if (!LoadSettings(path, !o->file.empty(), &s, &why)) return Refuse(why);
            Show(s, o->json);
            return 0;
        }
        // A file that is there must be readable before it is changed: a
        // malformed one is not silently replaced by defaults plus one change.
        s = DefaultSettings();
        if (std::filesystem::exists(path) && !ReadSettingsPath(path, &s, &why))
            return Refuse(why + "; remove it to start from the defaults");
        for (const std::string& a : o->assignments)
            if (a.rfind("Reserved", 0) == 0 || !SetField(SettingsLayout(), &s, a, &why)) return Refuse(why.empty() ? a + ": unknown setting" : why);
        if (std::string bad = CheckSettings(s); !bad.empty()) return Refuse(bad);
        if (!WriteSettingsPath(path, s, &why)) return Refuse(why);
        std::printf("Settings written to %s\n", path.c_str());
        return 0;
    };
});

}  // namespace
}  // namespace korvex::cli
