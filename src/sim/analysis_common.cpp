// Helpers shared by the operating point and the AC analysis.
#include "analysis.h"

#include "sim_error.h"

namespace korvex::sim {

bool structureChanged(const UnknownMap& a, const UnknownMap& b)
{
    return a.size != b.size || a.nodeCode != b.nodeCode || a.branch != b.branch;
}

void throwSingular(const Circuit& circuit, const UnknownMap& map, const FactorResult& result, double frequency)
{
    std::string where;
    int line = 0;
    if (result.column >= 0 && result.column < map.size) {
        where = " at " + describeUnknown(circuit, map, result.column);
        if (result.column < static_cast<int>(map.unknownNode.size())) {
            const int node = map.unknownNode[result.column];
            for (const Element& e : circuit.elements) {
                for (int t = 0; t < e.nodeCount() && line == 0; ++t)
                    if (e.nodes[t] == node) line = e.line;
                if (line) break;
            }
        } else {
            line = circuit.elements[map.unknownElement[result.column]].line;
        }
    }
    std::string at = frequency > 0 ? " (f = " + std::to_string(frequency) + " Hz)" : "";
    throw SimError(line, "singular matrix" + where + at + ": " + result.message +
                             " (floating node, loop of voltage sources or inductors, or a short across a source?)");
}

template <class S>
std::vector<S> fixedSourceCurrents(const Circuit& circuit, const UnknownMap& map, const S* x, const S* fixed,
                                   AnalysisPoint point)
{
    std::vector<S> sum(map.fixedSource.size(), S(0));
    if (sum.empty()) return sum;
    for (uint32_t k = 0; k < circuit.elements.size(); ++k) {
        const Element& e = circuit.elements[k];
        bool touches = false;
        for (int t = 0; t < e.nodeCount(); ++t) touches |= map.nodeCode[e.nodes[t]] <= -2;
        if (!touches) continue;
        const bool isFixedSource = e.kind == ElementKind::VoltageSource && map.branch[k] < 0 && e.values[kSrcRser] == 0;
        if (isFixedSource) continue;
        const auto currents = terminalCurrents(e, k, map, x, fixed, point);
        for (int t = 0; t < e.nodeCount(); ++t) {
            const int code = map.nodeCode[e.nodes[t]];
            if (code <= -2) sum[fixedIndex(code)] += currents[t];
        }
    }
    std::vector<S> result(sum.size());
    for (size_t k = 0; k < sum.size(); ++k) {
        sum[k] += circuit.options.gshunt * fixed[k];
        const Element& source = circuit.elements[map.fixedSource[k]];
        // The source takes from its node what the other elements do not: into + terminal.
        result[k] = source.nodes[0] == map.fixedNode[k] ? -sum[k] : sum[k];
    }
    return result;
}

template <class S>
void fillSolutionValues(const OutputPlan& plan, const Circuit& circuit, const UnknownMap& map, const S* x,
                        const S* fixed, AnalysisPoint point, std::vector<S>& record, size_t offset)
{
    std::vector<S> sourceCurrents;
    bool haveSourceCurrents = false;
    std::vector<int> fixedOfElement;
    for (size_t v = 0; v < plan.size(); ++v) {
        const OutputVariable var = plan[v];
        if (var.kind == OutputVariable::Kind::Voltage) {
            record[offset + v] = nodeVoltage(map, x, fixed, var.index);
        } else if (var.kind == OutputVariable::Kind::Current) {
            const Element& e = circuit.elements[var.index];
            const bool isFixedSource = e.kind == ElementKind::VoltageSource && map.branch[var.index] < 0 && e.values[kSrcRser] == 0;
            if (isFixedSource) {
                if (!haveSourceCurrents) {
                    sourceCurrents = fixedSourceCurrents(circuit, map, x, fixed, point);
                    fixedOfElement.assign(circuit.elements.size(), -1);
                    for (size_t k = 0; k < map.fixedSource.size(); ++k) fixedOfElement[map.fixedSource[k]] = static_cast<int>(k);
                    haveSourceCurrents = true;
                }
                record[offset + v] = sourceCurrents[fixedOfElement[var.index]];
            } else {
                record[offset + v] = terminalCurrents(e, static_cast<uint32_t>(var.index), map, x, fixed, point)[0];
            }
        }
    }
}

template std::vector<double> fixedSourceCurrents<double>(const Circuit&, const UnknownMap&, const double*, const double*, AnalysisPoint);
template std::vector<Complex> fixedSourceCurrents<Complex>(const Circuit&, const UnknownMap&, const Complex*, const Complex*, AnalysisPoint);
template void fillSolutionValues<double>(const OutputPlan&, const Circuit&, const UnknownMap&, const double*, const double*,
                                         AnalysisPoint, std::vector<double>&, size_t);
template void fillSolutionValues<Complex>(const OutputPlan&, const Circuit&, const UnknownMap&, const Complex*, const Complex*,
                                          AnalysisPoint, std::vector<Complex>&, size_t);

}  // namespace korvex::sim
