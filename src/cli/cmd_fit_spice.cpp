// korvex-cli fit-spice PROJECT.sav [--sensitivity 0|1|2]: fits the project's
// equivalent-circuit list to port 0's simulated Zin and prints it as the
// subcircuit PDN; --save stores the fitted list into the project. --branch
// gives a starting list instead of the project's.
#include <cmath>
#include <cstdio>
#include <sstream>

#include "cli_curves.h"
#include "cli_session.h"
#include "jobs/commands.h"
#include "jobs/pdn_commands.h"
#include "pdn/spice_fit.h"
#include "result_report.h"
#include "util/number_text.h"

namespace korvex::cli {

namespace {

// "C,ESR,ESL" (numbers with the suffixes p n u m k M G) as a branch; a
// capacitance of 100 or more stands for an inductor. Empty reason when valid.
std::string ParseBranch(const std::string& text, CapRecord* branch)
{
    std::stringstream in(text);
    std::string field;
    double values[3];
    int count = 0;
    while (std::getline(in, field, ',')) {
        int ok = 0;
        if (count < 3) values[count] = GetDlgItemDouble(field.c_str(), &ok);
        if (count >= 3 || ok != 1 || !(values[count] > 0) || !std::isfinite(values[count]))
            return "--branch " + text + ": give three positive numbers C,ESR,ESL";
        ++count;
    }
    if (count != 3) return "--branch " + text + ": give three positive numbers C,ESR,ESL";
    branch->Capacitance = static_cast<float>(values[0]);
    branch->ESR = static_cast<float>(values[1]);
    branch->ESL = static_cast<float>(values[2]);
    return "";
}

// The subcircuit text with the line ends of the terminal.
void PrintSubcircuit(const CapDatabase& list)
{
    std::string text = SpiceSubcircuitText(&list);
    std::string out;
    for (char c : text)
        if (c != '\r') out += c;
    std::fputs(out.c_str(), stdout);
}

const KorvexCommand kFitSpice(
    "fit-spice", "Fit the project's equivalent circuit to port 0's Zin and print it as a subcircuit",
    [](CLI::App& sub) {
        struct Options {
            CliOptions common;
            uint32_t sensitivity = 1;
            std::vector<std::string> branches;
        };
        auto o = std::make_shared<Options>();
        AddCommonOptions(sub, o->common, true);
        sub.add_option("--sensitivity", o->sensitivity,
                       "Step of the fit: 0 (5 passes of 1 %), 1 (20 of 2 %, default), 2 (30 of 5 %)");
        sub.add_option("--branch", o->branches,
                       "Start from these branches instead of the project's list: C,ESR,ESL (e.g. 100n,10m,1n); "
                       "repeat for more");
        return [o]() {
            CliSession s(o->common);
            std::string reason;
            if (const Status opened = s.Open(); !opened) return Refuse(opened.Reason());
            if (!o->branches.empty()) {
                EmptyCapDatabase(&s.Caps);
                for (const std::string& text : o->branches) {
                    CapRecord branch;
                    reason = ParseBranch(text, &branch);
                    if (!reason.empty()) return Refuse(reason);
                    AddCap(&s.Caps, s.Caps.Count, &branch);
                }
            }
            if (s.Caps.Count <= 0)
                return Refuse("the project's equivalent circuit has no branches; give some with --branch C,ESR,ESL");
            if (s.BuildMesh(&reason) != 0) return s.Stop(reason);
            FitSpiceResult result;
            const JobOutcome outcome =
                s.RunJob([&](const JobEnvironment& env) {
                    return CommandFitSpiceCircuit(env, &s.Caps, o->sensitivity, &result);
                });
            if (!outcome.Success) return s.Failed(outcome);
            std::fprintf(stderr, "korvex-cli: fit error over %d points: %g before, %g after\n", result.Points,
                         static_cast<double>(result.ErrorBefore), static_cast<double>(result.ErrorAfter));
            if (o->common.Json) {
                korvex::cli::ResultReport report("fit-spice", o->common.Project);
                nlohmann::json branches = nlohmann::json::array();
                for (int i = 0; i < s.Caps.Count; ++i) {
                    const CapRecord& c = s.Caps.Caps[i];
                    branches.push_back({{"Capacitance", c.Capacitance}, {"ESR", c.ESR}, {"ESL", c.ESL},
                                        {"Units", {{"Capacitance", "F"}, {"ESR", "Ohm"}, {"ESL", "H"}}}});
                }
                report.Add("Branches", branches);
                report.Add("Points", result.Points);
                report.Add("ErrorBefore", result.ErrorBefore);
                report.Add("ErrorAfter", result.ErrorAfter);
                report.Add("Subcircuit", SpiceSubcircuitText(&s.Caps));
                report.AddCurves(s.DiagramRecord);
                report.Print(true);
            } else {
                PrintSubcircuit(s.Caps);
            }
            if (!o->common.Csv.empty()) {
                if (SaveSelectedCurvesCsv(s.DiagramRecord, {result.ZinSlot, result.ZinSlot + 1}, o->common.Csv,
                                          &reason) != 0)
                    return Refuse(reason);
                std::fprintf(stderr, "korvex-cli: curves written to %s\n", o->common.Csv.c_str());
            }
            return s.Finish();
        };
    });

}  // namespace

}  // namespace korvex::cli
