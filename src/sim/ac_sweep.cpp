// Frequencies of an .ac sweep: dec and oct (points per decade or octave, also non-integer),
// lin (points from start to stop) and list.
#include <cmath>

#include "analysis.h"
#include "sim_error.h"

namespace korvex::sim {

std::vector<double> acFrequencies(const Circuit& circuit, ParamEvaluator& evaluator)
{
    const AcSpec& spec = circuit.acSpec;
    std::vector<double> args;
    for (uint32_t expr : spec.args) args.push_back(evaluator.evaluate(expr));
    std::vector<double> f;
    if (spec.sweep == AcSpec::Sweep::List) {
        f = args;
    } else {
        const double points = args[0], start = args[1], stop = args[2];
        if (spec.sweep == AcSpec::Sweep::Lin) {
            const double wanted = std::floor(points + 1e-9);
            if (!(wanted <= 1e8)) throw SimError(spec.line, ".ac asks for too many points");
            const long count = static_cast<long>(wanted);
            for (long k = 0; k < count; ++k)
                f.push_back(count == 1 ? start : start + (stop - start) * static_cast<double>(k) / static_cast<double>(count - 1));
        } else {
            if (start <= 0 || stop <= 0) throw SimError(spec.line, ".ac dec/oct needs positive start and stop frequencies");
            const double base = spec.sweep == AcSpec::Sweep::Dec ? 10.0 : 2.0;
            if (points > 0 && stop >= start) {
                const double span = std::log(stop / start) / std::log(base);
                const double count = std::floor(points * span + 1e-9) + 1;
                if (count > 1e8) throw SimError(spec.line, ".ac asks for too many points");
                for (long k = 0; k < static_cast<long>(count); ++k) f.push_back(start * std::pow(base, k / points));
            }
        }
    }
    if (f.empty()) throw SimError(spec.line, "empty sweep: .ac gives 0 frequency points");
    for (double frequency : f)
        if (!(frequency > 0) || !std::isfinite(frequency))
            throw SimError(spec.line, ".ac frequencies must be positive (got " + std::to_string(frequency) + ")");
    return f;
}

}  // namespace korvex::sim
