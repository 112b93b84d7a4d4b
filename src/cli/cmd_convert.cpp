// korvex-cli convert IN.sav OUT.sav --compressed|--plain: rewrites a project.
#include <cstdio>

#include "board/project_file.h"
#include "board/voltage_noise_param.h"
#include "command_registry.h"
#include "output_guard.h"
#include "pdn/cap_database.h"

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
        SimMatrix board;
        CapDatabase caps;
        VoltageNoiseTimeParam noise;
        const ProjectSections sections{&caps, &noise};
        std::string error;
        int status = 0;
        if (LoadProject(o->in.c_str(), &board, true, sections, &error) != 1)
            status = Refuse(error);
        else if (SaveProject(o->out.c_str(), &board, o->compressed, sections, &error) != 0)
            status = Refuse(error);
        else if (o->plain && IsCompressedProject(o->in.c_str()))
            std::fprintf(stderr, "korvex-cli: note: plain projects do not keep the noise-tool parameters\n");
        freeSimulationMatrix(&board);
        FreeCapDatabase(&caps);
        return status;
    };
});

}  // namespace

}  // namespace korvex::cli
