#include "ac_modes.h"

#include "netlist/ac_job.h"

namespace korvex::cli {
namespace {

const struct {
    const char* name;
    uint32_t mode;
} kModes[] = {
    {"zin", AC_MODE_ZIN_OF_PORTS},
    {"s21", AC_MODE_S21},
    {"noise", AC_MODE_NOISE_TRANSFER},
    {"current-noise", AC_MODE_CURRENT_NOISE_TRANSFER},
    {"z-at", AC_MODE_Z_AT_F},
    {"j-at", AC_MODE_CURRENT_DENSITY_AT_F},
    {"vnoise-at", AC_MODE_VOLTAGE_NOISE_AT_F},
    {"cap-s", AC_MODE_CAPACITOR_SPARAMETERS},
};

}  // namespace

bool ParseAcMode(const std::string& text, uint32_t* mode, std::string* why)
{
    for (const auto& m : kModes)
        if (text == m.name || text == std::to_string(m.mode)) {
            *mode = m.mode;
            return true;
        }
    *why = "unknown AC mode " + text + " (" + AcModeNames() + ")";
    return false;
}

std::string AcModeName(uint32_t mode)
{
    for (const auto& m : kModes)
        if (m.mode == mode) return m.name;
    return {};
}

std::string AcModeNames()
{
    std::string names;
    for (const auto& m : kModes) names += std::string(names.empty() ? "" : " | ") + m.name;
    return names;
}

}  // namespace korvex::cli
