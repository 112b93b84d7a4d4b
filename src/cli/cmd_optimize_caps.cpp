// korvex-cli optimize-caps PROJECT.sav --port ID --target-z OHM --target-f HZ --max N:
// simulates the port's Zin, picks decoupling capacitors from the catalogue
// (CapStd.csv in the work folder, else the built-in table) and places them on
// the port; --save stores the board with them.
#include <cstdio>

#include "cli_curves.h"
#include "cli_session.h"
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
    std::printf("Capacitor Array\n");
    std::printf(" i\tRef\tCap\t\tESR\tESL\n");
    for (size_t i = 0; i < r.Placed.size(); ++i) {
        const Cap& c = r.Placed[i];
        std::printf("%2zu\tC%u\t%9.3fnF\t%.3f\t%.3fnH\n", i, c.Ref, c.Capacitance * 1e9, static_cast<double>(c.ESR),
                    c.ESL * 1e9);
    }
    std::printf("Max Impedance up to %sHz: %f Ohm @%u kHz (target %s Ohm: %s)\n",
                FloatToChar(param.TargetFrequency).c_str(), static_cast<double>(r.MaxImpedance),
                static_cast<unsigned>(r.MaxImpedanceFrequency / 1000.0f), FloatToChar(param.TargetImpedance).c_str(),
                r.MaxImpedance <= param.TargetImpedance ? "met" : "not met");
}

const KorvexCommand kOptimizeCaps(
    "optimize-caps", "Choose decoupling capacitors for a port from the catalogue and place them on it",
    [](CLI::App& sub) {
        struct Options {
            CliOptions common;
            OptiCapParam param;
        };
        auto o = std::make_shared<Options>();
        AddCommonOptions(sub, o->common, true);
        sub.add_option("--port", o->param.TargetPort, "ID of the port")->required();
        sub.add_option("--target-z", o->param.TargetImpedance, "Target impedance in Ohm")->required();
        sub.add_option("--target-f", o->param.TargetFrequency, "Target frequency in Hz")->required();
        sub.add_option("--max", o->param.MaxCapacitors, "Largest number of capacitors (1 to 100)")->required();
        return [o]() {
            PdnMessage message;
            if (CheckOptiCapParam(&o->param, &message) != 0) return Refuse(message.Text);
            CliSession s(o->common);
            std::string reason;
            if (s.Open(&reason) != 0) return Refuse(reason);
            Catalogue catalogue;
            const int fromFile = LoadWorkFolderCatalogue(s.Options.WorkDir, &catalogue, &reason);
            if (fromFile < 0) return Refuse(reason);
            std::fprintf(stderr, "korvex-cli: catalogue: %d capacitors from %s\n", catalogue.Count,
                         fromFile == 1 ? kCapCatalogueFileName : "the built-in table");
            if (s.BuildMesh(&reason) != 0) return Refuse(reason);
            OptimizeCapsResult result;
            const JobOutcome outcome = RunExclusive(
                [&] { return CommandOptimizeCaps(s.Environment(), o->param, catalogue, &result); });
            if (!outcome.Success) return s.Failed(outcome);
            PrintCapArray(result, o->param);
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
