// korvex-cli convert IN.sav OUT.sav --compressed|--plain: rewrites a project.
#include <cstdio>

#include "command_registry.h"
#include "output_guard.h"
#include "project_io.h"

namespace korvex::cli {

namespace {

const KorvexCommand kConvert("convert", "Rewrite a project plain or compressed", [](CLI::App& sub) {
    struct Options {
        std::string in, out;
        bool compressed = false, plain = false, force = false;
    };
    auto o = std::make_shared<Options>();
    sub.add_option("IN", o->in, "Project to read (plain or compressed)")->required();
    sub.add_option("OUT", o->out, "Project to write")->required();
    auto* c = sub.add_flag("--compressed", o->compressed, "Write gzip-compressed");
    auto* p = sub.add_flag("--plain", o->plain, "Write uncompressed");
    c->excludes(p);
    sub.add_flag("--force", o->force, "Replace a file that is not a KORVEX file");
    return [o]() {
        if (o->compressed == o->plain) return Refuse("choose --compressed or --plain");
        if (std::string why = korvex::cli::CheckOutputPath(o->out, {}, o->force, "project"); !why.empty())
            return Refuse(why);
        korvex::Project project;
        if (const int refused = OpenProject(project, o->in); refused != 0) return refused;
        const bool wasCompressed = project.IsCompressed();
        if (const Status saved = project.SaveAs(o->out, o->compressed); !saved) return Refuse(saved.Reason());
        if (o->plain && wasCompressed)
            std::fprintf(stderr, "korvex-cli: note: plain projects do not keep the noise-tool parameters\n");
        return 0;
    };
});

}  // namespace

}  // namespace korvex::cli
