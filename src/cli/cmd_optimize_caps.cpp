// korvex-cli optimize-caps PROJECT.sav --port ID --target-z OHM --target-f HZ --max N:
// simulates the port's Zin, picks decoupling capacitors from the catalogue
// (CapStd.csv in the work folder, else the built-in table) and places them on
// the port; --save stores the board with them.
#include <cstdio>

#include "cli_curves.h"
#include "cli_session.h"
#include "quantity.h"
#include "result_report.h"
#include "jobs/commands.h"
#include "jobs/pdn_commands.h"
#include "pdn/opti_cap.h"
#include "util/number_text.h"

namespace korvex::cli {

namespace {

struct Catalogue : CapDatabase {
    ~Catalogue() { FreeCapDatabase(this); }
};

void PrintCapArray(const OptimizeCapsResult& r, const OptiCapParam& param)
{
    using korvex::cli::FormatQuantity;
    std::printf("Capacitor Array\n");
    std::printf(" i\tRef\tCap\tESR\tESL\n");
    for (size_t i = 0; i < r.Placed.size(); ++i) {
        const Cap& c = r.Placed[i];
        std::printf("%2zu\tC%u\t%s\t%s\t%s\n", i, c.Ref, FormatQuantity(c.Capacitance, "F").c_str(),
                    FormatQuantity(c.ESR, "Ohm").c_str(), FormatQuantity(c.ESL, "H").c_str());
    }
    std::printf("Max Impedance up to %s: %s at %s (target %s: %s)\n",
                FormatQuantity(param.TargetFrequency, "Hz").c_str(), FormatQuantity(r.MaxImpedance, "Ohm").c_str(),
                FormatQuantity(r.MaxImpedanceFrequency, "Hz").c_str(), FormatQuantity(param.TargetImpedance, "Ohm").c_str(),
                r.MaxImpedance <= param.TargetImpedance ? "met" : "not met");
}

const KorvexCommand kOptimizeCaps(
    "optimize-caps", "Choose decoupling capacitors for a port from the catalogue and place them on it",
    [](CLI::App& sub) {
        struct Options {
            CliOptions common;
            OptiCapParam param;
            double targetZ = 0, targetF = 0;
        };
        auto o = std::make_shared<Options>();
        AddCommonOptions(sub, o->common, true);
        sub.add_option("--port", o->param.TargetPort, "ID of the port")->required();
        korvex::cli::AddQuantityOption(sub, "--target-z", o->targetZ, "Ohm", "Target impedance", 1e-9, 1e6)->required();
        korvex::cli::AddQuantityOption(sub, "--target-f", o->targetF, "Hz", "Target frequency", 1, 1e15)->required();
        sub.add_option("--max", o->param.MaxCapacitors, "Largest number of capacitors (1 to 100)")->required();
        return [o]() {
            o->param.TargetImpedance = static_cast<float>(o->targetZ);
            o->param.TargetFrequency = static_cast<float>(o->targetF);
            PdnMessage message;
            if (CheckOptiCapParam(&o->param, &message) != 0) return Refuse(message.Text);
            CliSession s(o->common);
            std::string reason;
            if (const Status opened = s.Open(); !opened) return Refuse(opened.Reason());
            Catalogue catalogue;
            const int fromFile = LoadWorkFolderCatalogue(s.Options.WorkDir, &catalogue, &reason);
            if (fromFile < 0) return Refuse(reason);
            std::fprintf(stderr, "korvex-cli: catalogue: %d capacitors from %s\n", catalogue.Count,
                         fromFile == 1 ? kCapCatalogueFileName : "the built-in table");
            if (s.BuildMesh(&reason) != 0) return s.Stop(reason);
            OptimizeCapsResult result;
            const JobOutcome outcome = s.RunJob(
                [&](const JobEnvironment& env) { return CommandOptimizeCaps(env, o->param, catalogue, &result); });
            if (!outcome.Success) return s.Failed(outcome);
            if (o->common.Json) {
                korvex::cli::ResultReport report("optimize-caps", o->common.Project);
                nlohmann::json placed = nlohmann::json::array();
                for (const Cap& c : result.Placed)
                    placed.push_back({{"Ref", c.Ref}, {"x", c.x}, {"y", c.y}, {"Layer", c.Layer},
                                      {"Capacitance", c.Capacitance}, {"ESR", c.ESR}, {"ESL", c.ESL},
                                      {"Units", {{"Capacitance", "F"}, {"ESR", "Ohm"}, {"ESL", "H"}}}});
                report.Add("Placed", placed);
                report.Add("MaxImpedance", {{"Value", result.MaxImpedance}, {"Unit", "Ohm"}});
                report.Add("MaxImpedanceFrequency", {{"Value", result.MaxImpedanceFrequency}, {"Unit", "Hz"}});
                report.Add("TargetMet", result.MaxImpedance <= o->param.TargetImpedance);
                report.AddCurves(s.DiagramRecord);
                report.Print(true);
            } else {
                PrintCapArray(result, o->param);
            }
            if (!o->common.Csv.empty()) {
                if (SaveSelectedCurvesCsv(s.DiagramRecord, {result.ZinSlot, result.ResultSlot}, o->common.Csv,
                                          &reason) != 0)
                    return Refuse(reason);
                std::fprintf(stderr, "korvex-cli: curves written to %s\n", o->common.Csv.c_str());
            }
            return s.Finish();
        };
    });

}  // namespace

}  // namespace korvex::cli
