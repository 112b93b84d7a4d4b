// Plausibility of settings read from a file or typed by a user.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "jobs/settings_check.h"

using namespace korvex;

TEST(SettingsCheck, RefusesImplausibleFieldsOneAtATime)
{
    EXPECT_EQ(korvex::CheckSettings(Settings{}), "");
    const struct {
        const char* reason;
        std::function<void(Settings&)> spoil;
    } cases[] = {
        {"BatchMode is 2, not 0 or 1", [](Settings& s) { s.BatchMode = 2; }},
        {"AutoMinMax is 7, not 0 or 1", [](Settings& s) { s.AutoMinMax = 7; }},
        {"MaxMeshOrder is 31, at most 30", [](Settings& s) { s.MaxMeshOrder = 31; }},
        {"StartFrequency must lie between 0 and 1PHz", [](Settings& s) { s.StartFrequency = 0; }},
        {"StartFrequency must lie between 0 and 1PHz", [](Settings& s) { s.StartFrequency = NAN; }},
        {"StopFrequency must lie between 0 and 1PHz", [](Settings& s) { s.StopFrequency = 1e300; }},
        {"StartFrequency must lie below StopFrequency", [](Settings& s) { s.StartFrequency = 2e9; }},
        {"ZinDistributionFrequency must lie between 0 and 1PHz", [](Settings& s) { s.ZinDistributionFrequency = -1; }},
        {"NumberOfPoints must lie in 1 ... 100000", [](Settings& s) { s.NumberOfPoints = 0; }},
        {"Steps must lie in 1 ... 10000", [](Settings& s) { s.Steps = 4000000000u; }},
        {"YAxisMode must be 0", [](Settings& s) { s.YAxisMode = 3; }},
        {"DiagramClickMode must be 0, 1 or 2", [](Settings& s) { s.DiagramClickMode = 3; }},
        {"MinValue and MaxValue must be finite", [](Settings& s) { s.MaxValue = INFINITY; }},
        {"LTspicePath is not terminated", [](Settings& s) { std::memset(s.LTspicePath, 'x', sizeof s.LTspicePath); }},
    };
    for (const auto& c : cases) {
        Settings s;
        c.spoil(s);
        const std::string why = korvex::CheckSettings(s);
        EXPECT_EQ(why.rfind(c.reason, 0), 0u) << c.reason << " / " << why;
    }
    Settings edge;
    edge.MaxMeshOrder = 30;
    edge.YAxisMode = 2;
    edge.DiagramClickMode = 2;
    edge.NumberOfPoints = 1;
    EXPECT_EQ(korvex::CheckSettings(edge), "");
}
