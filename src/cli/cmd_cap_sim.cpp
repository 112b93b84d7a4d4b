// korvex-cli cap-sim PROJECT.sav --port ID --cap REF [--c F --esr OHM --esl H]:
// one simulator run for the S-parameters between the port and the capacitor's
// position, then the port impedance "Z11c" with the capacitor's own values or
// the ones given; --save sets the capacitor to them ("Set C ->") and stores
// the project.
#include <cmath>
#include <cstdio>

#include "cli_session.h"
#include "diagram/diagram_csv.h"
#include "jobs/commands.h"
#include "jobs/pdn_commands.h"
#include "quantity.h"
#include "util/number_text.h"

namespace korvex::cli {

namespace {

struct Options {
    CliOptions common;
    uint32_t port = 0;
    uint32_t cap = 0;
    double capacitance = NAN, esr = NAN, esl = NAN;  // NaN: the capacitor's own value
};

// The board capacitor's values, replaced by those given. Empty reason when valid.
std::string ChosenValues(SimMatrix& board, const Options& o, Cap* cap)
{
    PdnMessage message;
    if (CheckSimulateSCapacitor(&board, o.port, o.cap, &message) != 0) return message.Text;
    *cap = *PartRecord<Cap>(GetPartfromID(&board, PART_CAP, o.cap));
    if (!std::isnan(o.capacitance)) cap->Capacitance = static_cast<float>(o.capacitance);
    if (!std::isnan(o.esr)) cap->ESR = static_cast<float>(o.esr);
    if (!std::isnan(o.esl)) cap->ESL = static_cast<float>(o.esl);
    if (!(cap->Capacitance >= 0) || !(cap->ESR >= 0) || !(cap->ESL >= 0) || !std::isfinite(cap->Capacitance) ||
        !std::isfinite(cap->ESR) || !std::isfinite(cap->ESL))
        return "capacitance, ESR and ESL must be finite and not negative";
    return "";
}

void PrintZ11c(const SimulateSCapacitorData& data, const Cap& cap, uint32_t port)
{
    using korvex::cli::FormatQuantity;
    std::printf("Port %u with C%u = %s, ESR %s, ESL %s\n", port, cap.Ref, FormatQuantity(cap.Capacitance, "F").c_str(),
                FormatQuantity(cap.ESR, "Ohm").c_str(), FormatQuantity(cap.ESL, "H").c_str());
    int lo = 0, hi = 0;
    for (int k = 1; k < data.Points; ++k) {
        if (Cabs(data.Z11c[k]) < Cabs(data.Z11c[lo])) lo = k;
        if (Cabs(data.Z11c[k]) > Cabs(data.Z11c[hi])) hi = k;
    }
    std::printf("Z11c: %d points from %s to %s\n", data.Points, FormatQuantity(data.Frequency[0], "Hz").c_str(),
                FormatQuantity(data.Frequency[data.Points - 1], "Hz").c_str());
    std::printf("|Z11c| min %s at %s, max %s at %s\n", FormatQuantity(Cabs(data.Z11c[lo]), "Ohm").c_str(),
                FormatQuantity(data.Frequency[lo], "Hz").c_str(), FormatQuantity(Cabs(data.Z11c[hi]), "Ohm").c_str(),
                FormatQuantity(data.Frequency[hi], "Hz").c_str());
}

const KorvexCommand kCapSim(
    "cap-sim", "Port impedance with one placed capacitor, for its own or other values (one simulator run)",
    [](CLI::App& sub) {
        auto o = std::make_shared<Options>();
        AddCommonOptions(sub, o->common, true);
        sub.add_option("--port", o->port, "ID of the port")->required();
        sub.add_option("--cap", o->cap, "Reference number of the capacitor (C<REF>)")->required();
        korvex::cli::AddQuantityOption(sub, "--c", o->capacitance, "F", "Capacitance (default: the capacitor's)", 0, 1e3);
        korvex::cli::AddQuantityOption(sub, "--esr", o->esr, "Ohm", "ESR (default: the capacitor's)", 0, 1e6);
        korvex::cli::AddQuantityOption(sub, "--esl", o->esl, "H", "ESL (default: the capacitor's)", 0, 1);
        return [o]() {
            CliSession s(o->common);
            std::string reason;
            if (const Status opened = s.Open(); !opened) return Refuse(opened.Reason());
            Cap cap;
            reason = ChosenValues(s.Board, *o, &cap);
            if (!reason.empty()) return Refuse(reason);
            if (s.BuildMesh(&reason) != 0) return s.Stop(reason);
            const JobOutcome outcome =
                s.RunJob([&](const JobEnvironment& env) { return CommandSimulateSCapacitor(env, o->port, o->cap); });
            if (!outcome.Success) return s.Failed(outcome);
            if (DrawSimulateSCapacitor(s.Environment(), cap) != 0) return Refuse("Z11c could not be computed");
            PrintZ11c(s.SParameters, cap, o->port);
            if (!o->common.Csv.empty()) {
                if (SaveDiagramCurvesCsv(&s.DiagramRecord, kDiagramDataCurves, o->common.Csv.c_str(), &reason) != 0)
                    return Refuse(reason);
                std::fprintf(stderr, "korvex-cli: curves written to %s\n", o->common.Csv.c_str());
            }
            if (o->common.Save)
                SetBoardCapacitorValues(&s.Board, cap.Ref, cap.Capacitance, cap.ESR, cap.ESL, nullptr);
            return s.Finish();
        };
    });

}  // namespace

}  // namespace korvex::cli
