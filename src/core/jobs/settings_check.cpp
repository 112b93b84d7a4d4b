#include "jobs/settings_check.h"

#include <cmath>
#include <cstring>

#include "mesh/mesh_generation.h"

namespace korvex {
namespace {

std::string Flag(const char* name, uint32_t value)
{
    return value <= 1 ? "" : std::string(name) + " is " + std::to_string(value) + ", not 0 or 1";
}

}  // namespace

std::string CheckSettings(const Settings& s)
{
    if (std::memchr(s.LTspicePath, '\0', sizeof s.LTspicePath) == nullptr) return "LTspicePath is not terminated";
    const struct {
        const char* name;
        uint32_t value;
    } flags[] = {
        {"ShowConsole", s.ShowConsole},
        {"BatchMode", s.BatchMode},
        {"AsymmetricMesh", s.AsymmetricMesh},
        {"ProcessCopperHeating", s.ProcessCopperHeating},
        {"ProcessViaHeating", s.ProcessViaHeating},
        {"ProcessHeatSourceHeating", s.ProcessHeatSourceHeating},
        {"CompressFiles", s.CompressFiles},
        {"LogFrequencyAxis", s.LogFrequencyAxis},
        {"ComputeStrayCapacitance", s.ComputeStrayCapacitance},
        {"LinkEditAndViewWindow", s.LinkEditAndViewWindow},
        {"AutoMinMax", s.AutoMinMax},
    };
    for (const auto& f : flags)
        if (std::string why = Flag(f.name, f.value); !why.empty()) return why;
    if (s.MaxMeshOrder > kLargestMeshOrder)
        return "MaxMeshOrder is " + std::to_string(s.MaxMeshOrder) + ", at most " + std::to_string(kLargestMeshOrder);
    const auto frequency = [](double f) { return std::isfinite(f) && f > 0 && f <= 1e15; };
    if (!frequency(s.StartFrequency)) return "StartFrequency must lie between 0 and 1PHz";
    if (!frequency(s.StopFrequency)) return "StopFrequency must lie between 0 and 1PHz";
    if (!(s.StartFrequency < s.StopFrequency)) return "StartFrequency must lie below StopFrequency";
    if (!frequency(s.ZinDistributionFrequency)) return "ZinDistributionFrequency must lie between 0 and 1PHz";
    if (s.NumberOfPoints < 1 || s.NumberOfPoints > 100000) return "NumberOfPoints must lie in 1 ... 100000";
    if (s.Steps < 1 || s.Steps > 10000) return "Steps must lie in 1 ... 10000";
    if (s.YAxisMode > 2) return "YAxisMode must be 0 (linear), 1 (logarithmic) or 2 (dB)";
    if (s.DiagramClickMode > 2) return "DiagramClickMode must be 0, 1 or 2";
    if (!std::isfinite(s.MinValue) || !std::isfinite(s.MaxValue)) return "MinValue and MaxValue must be finite";
    return {};
}

}  // namespace korvex
