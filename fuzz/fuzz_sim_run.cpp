// A whole korvex-sim run, .op or .ac, on netlists of at most 200 elements and 200 sweep
// points in all, writing its result into a scratch folder.
#include <cstdint>
#include <new>
#include <string>

#include "analysis.h"
#include "fuzz_support.h"
#include "netlist_parser.h"
#include "netlist_text.h"
#include "sim_error.h"

using namespace korvex::sim;

namespace {
constexpr size_t kMaxElements = 200;
constexpr size_t kMaxPoints = 200;

// Sweep points of all steps, or more than the cap.
size_t SweepPoints(Circuit& circuit)
{
    ParamEvaluator evaluator(circuit);
    const std::vector<double> steps = stepValues(circuit);
    if (steps.size() > kMaxPoints) return kMaxPoints + 1;
    size_t total = 0;
    for (double value : steps) {
        if (circuit.step.active) evaluator.setStepValue(circuit.step.param, value);
        total += circuit.ac ? acFrequencies(circuit, evaluator).size() : 1;
        if (total > kMaxPoints) break;
    }
    return total;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string rawPath = (fuzz::ScratchFolder() / "run.raw").string();
    try {
        NetlistText text;
        text.loadString(std::string(reinterpret_cast<const char*>(data), size));
        Circuit circuit;
        parseNetlist(text, circuit);
        if (circuit.elements.size() > kMaxElements || SweepPoints(circuit) > kMaxPoints) return 0;
        SimLog log;
        AnalysisOptions options;
        if (circuit.op) runOperatingPoint(circuit, log, options, rawPath);
        else runAcAnalysis(circuit, log, options, rawPath);
    } catch (const std::exception&) {  // korvex-sim reports these as errors too
    }
    return 0;
}
