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
    std::printf("Port %u with C%u = %sF, ESR %sOhm, ESL %sH\n", port, cap.Ref, FloatToChar(cap.Capacitance).c_str(),
                FloatToChar(cap.ESR).c_str(), FloatToChar(cap.ESL).c_str());
    int lo = 0, hi = 0;
    for (int k = 1; k < data.Points; ++k) {
        if (Cabs(data.Z11c[k]) < Cabs(data.Z11c[lo])) lo = k;
        if (Cabs(data.Z11c[k]) > Cabs(data.Z11c[hi])) hi = k;
    }
    std::printf("Z11c: %d points from %sHz to %sHz\n", data.Points,
                FloatToChar(static_cast<float>(data.Frequency[0])).c_str(),
                FloatToChar(static_cast<float>(data.Frequency[data.Points - 1])).c_str());
    std::printf("|Z11c| min %g Ohm @%sHz, max %g Ohm @%sHz\n", Cabs(data.Z11c[lo]),
                FloatToChar(static_cast<float>(data.Frequency[lo])).c_str(), Cabs(data.Z11c[hi]),
                FloatToChar(static_cast<float>(data.Frequency[hi])).c_str());
}

const KorvexCommand kCapSim(
    "cap-sim", "Port impedance with one placed capacitor, for its own or other values (one simulator run)",
    [](CLI::App& sub) {
        auto o = std::make_shared<Options>();
        AddCommonOptions(sub, o->common, true);
        sub.add_option("--port", o->port, "ID of the port")->required();
        sub.add_option("--cap", o->cap, "Reference number of the capacitor (C<REF>)")->required();
        sub.add_option("--c", o->capacitance, "Capacitance in F (default: the capacitor's)");
        sub.add_option("--esr", o->esr, "ESR in Ohm (default: the capacitor's)");
        sub.add_option("--esl", o->esl, "ESL in H (default: the capacitor's)");
        return [o]() {
            CliSession s(o->common);
            std::string reason;
            if (s.Open(&reason) != 0) return Refuse(reason);
            Cap cap;
            reason = ChosenValues(s.Board, *o, &cap);
            if (!reason.empty()) return Refuse(reason);
            if (s.BuildMesh(&reason) != 0) return Refuse(reason);
            const JobOutcome outcome =
                RunExclusive([&] { return CommandSimulateSCapacitor(s.Environment(), o->port, o->cap); });
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
