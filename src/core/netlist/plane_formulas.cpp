#include "netlist/plane_formulas.h"

#include <cmath>

namespace korvex {

namespace {
constexpr double kEpsilon0 = 8.852e-12;
constexpr double kMu0Line = 1.2566e-06;     // of the parallel-plate line
constexpr double kMu0Stray = 1.2566371e-06;  // of the stray correction
}  // namespace

PlaneLineValues PlaneLine(float flength, float fwidth, float d, float er)
{
    PlaneLineValues v;
    v.C = static_cast<float>(flength * er * kEpsilon0 * fwidth / d / 2);
    v.Lv = static_cast<float>(flength * d * kMu0Line / fwidth);
    v.Td = static_cast<float>(std::sqrt(static_cast<double>(v.Lv) * v.C));
    v.Z0 = static_cast<float>(std::sqrt(static_cast<double>(v.Lv) / v.C));
    return v;
}

MicrostripStray ComputeMicrostripStray(float w, float h, float er, int edgeCode)
{
    MicrostripStray s;
    if (edgeCode < 1 || edgeCode > 3 || !(w > 0) || !(h > 0)) return s;
    const double u = static_cast<double>(w) / h;
    s.CParallel = static_cast<float>(w * er * kEpsilon0 / h);
    if (u >= 1)
        s.CMicrostrip = static_cast<float>(er * (u + 1.393 + 0.667 * std::log(u + 1.444)) / 113019127967.73184);
    else
        s.CMicrostrip = static_cast<float>(er / (17987553280.0 * std::log(8 / u + u / 4)));
    const float cStray = s.CMicrostrip - s.CParallel;
    s.CStray = edgeCode == 3 ? cStray : cStray / 2;
    s.LParallel = static_cast<float>(h * kMu0Stray / w);
    if (u > 1)
        s.LMicrostrip = static_cast<float>(1.2575066356578522e-06 / (u + 1.393 + 0.667 * std::log(u + 1.444)));
    else
        s.LMicrostrip = static_cast<float>(2.0013840185129084e-07 * std::log(u / 4 + 8 / u));
    const float lStray = s.LParallel * s.LMicrostrip / (s.LParallel - s.LMicrostrip);
    s.LStray = edgeCode == 3 ? lStray : lStray * 2;
    s.Valid = 1;
    return s;
}

void ApplyStray(PlaneLineValues* line, float flength, float lStray, float cStray)
{
    const float cs = cStray * flength;
    const float ls = lStray * flength;
    const float l = line->Lv * ls / (line->Lv + ls);
    const float c = line->C + cs;
    line->Td = static_cast<float>(std::sqrt(static_cast<double>(l) * c));
    line->Z0 = static_cast<float>(std::sqrt(static_cast<double>(l) / c));
}

DielectricLoss ComputeDielectricLoss(float er, float df, float nodeSizeX, float nodeSizeY, float d)
{
    DielectricLoss loss;
    loss.C = static_cast<float>(er * kEpsilon0 * nodeSizeX * nodeSizeY / d);
    loss.R = static_cast<float>(1.0 / (2 * M_PI * loss.C * df));
    return loss;
}

}  // namespace korvex
