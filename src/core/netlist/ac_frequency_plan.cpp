#include "netlist/ac_frequency_plan.h"

#include <cmath>

#include "board/settings.h"
#include "board/sim_matrix.h"
#include "netlist/ac_job.h"
#include "util/debug_log.h"

namespace korvex {

using korvex::NetlistWriter;

int CheckAcFrequencyPlan(const Settings* settings, uint32_t mode, std::string* reason)
{
    auto refuse = [&](const char* why) {
        if (reason != nullptr) *reason = why;
        return -1;
    };
    if (settings == nullptr) return refuse("no settings");
    if (IsSingleFrequencyAcMode(mode)) {
        if (!(settings->ZinDistributionFrequency > 0) || !std::isfinite(settings->ZinDistributionFrequency))
            return refuse("the analysis frequency must be positive");
        return 0;
    }
    if (settings->Steps < 1) return refuse("the sweep needs at least one step");
    const double start = settings->StartFrequency;
    const double stop = settings->StopFrequency;
    if (!std::isfinite(start) || !std::isfinite(stop) || start < 0 || stop < 0)
        return refuse("start and stop frequency must not be negative");
    if (settings->LogFrequencyAxis != 0 && (!(start > 0) || !(stop > 0) || start == stop))
        return refuse("a logarithmic sweep needs two different positive frequencies");
    return 0;
}

void WriteAcParameterBlock(NetlistWriter& out, const SimMatrix* board)
{
    const float sx = board->SizeX / static_cast<float>(board->CountPixelX);
    const float sy = board->SizeY / static_cast<float>(board->CountPixelY);
    out.Text(".param u0=4*pi*1e-7\n");
    out.Text(".param e0=8.852e-12\n");
    out.Format(".param ka=%f ;Conductivity Copper\n", board->ElectricalConductivity);
    out.Format(".param sx=%f ;Length of Segment\n", sx);
    out.Format(".param sy=%f ;Length of Segment\n", sy);
    out.Text(".param f=(f1+f2)/2\n");
    out.Text(".param da=sqrt(1/(pi*f*u0*ka)) ;Skineindringtiefe\n");
    out.Text(".param RAC=sx/(da*sy*ka) ;AC Resistance of Element\n");
    for (int i = 0; i < board->LayerCount && i < 8; ++i) {
        out.Format(".param cond%uthickness=%f ;Thickness of Conductor %u\n", i, board->CopperThickness[i], i);
        out.Format(".param RDC%u=sx/(cond%uthickness*sy*ka) ;DC resistance of Conductor %u\n", i, i, i);
    }
}

void WriteAcFrequencyPlan(NetlistWriter& out, const Settings* settings, uint32_t mode)
{
    if (IsSingleFrequencyAcMode(mode)) {
        out.Format(".param f1=%e f2=%e\n", settings->ZinDistributionFrequency, settings->ZinDistributionFrequency);
        out.Text(".ac list {f1}\n");
        return;
    }
    // One simulator step per sub-band, so that f (and the skin depth) is the
    // centre of each sub-band.
    const uint32_t steps = settings->Steps;
    const float inc = 1.0f / static_cast<float>(steps);
    out.Format(".step param x 0 %f %f\n", 1.0f - inc, inc);
    const double start = settings->StartFrequency;
    const double stop = settings->StopFrequency;
    if (settings->LogFrequencyAxis == 0) {
        out.Format(".param f1=table(x, 0, %e, 1, %e)\n", start, stop);
        out.Format(".param f2=table(x+%e, 0, %e, 1, %e)\n", inc, start, stop);
        const uint32_t pointsPerStep = settings->NumberOfPoints / steps;
        if (pointsPerStep == 0)
            printDebug("NumberOfPoints %u is less than Steps %u: the sweep has no points\r\n",
                       settings->NumberOfPoints, steps);
        out.Format(".ac lin %u {f1} {f2}\n", pointsPerStep);
        return;
    }
    const double logStart = std::log10(start);
    const double logStop = std::log10(stop);
    out.Format(".param flog1=table(x, 0, %e, 1, %e)\n", logStart, logStop);
    out.Format(".param flog2=table(x+%e, 0, %e, 1, %e)\n", inc, logStart, logStop);
    out.Text(".param f1= pow(10, flog1)\n");
    out.Text(".param f2= pow(10, flog2)\n");
    out.Format(".ac dec %e {f1} {f2}\n", static_cast<double>(settings->NumberOfPoints) / (logStop - logStart));
}

}  // namespace korvex
