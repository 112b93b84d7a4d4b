#include "diagram/diagram_citi.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "board/citi_file.h"
#include "diagram/diagram.h"
#include "diagram/diagram_axes.h"

namespace korvex {

namespace {

struct Trace {
    const char* name;
    const double* re;
    const double* im;
};

}  // namespace

int FillDiagramFromCITI(Diagram* diagram, const SPARAM* data)
{
    if (diagram == nullptr || data == nullptr) return -1;
    KillDiagramRef(diagram);
    InitDiagramRef(diagram);
    const double start = static_cast<double>(data->FrequencyStart);
    const double stop = static_cast<double>(data->FrequencyStop);
    {
        std::lock_guard<std::mutex> guard(diagram->Lock);
        diagram->fMinX = static_cast<float>(start);
        diagram->fMaxX = static_cast<float>(stop);
        diagram->bLogX = data->LogSpacing == 1 ? 1 : 0;
        diagram->fGridX = static_cast<float>((stop - start) / 10);
        diagram->YAxis = kYAxisDb;
        diagram->fMaxY = 0.1f;
        diagram->fMinY = 0.01f;
        diagram->fGridY = 0.05f;
    }
    const Trace traces[kDiagramRefCurves] = {{"S11", data->S11Re, data->S11Im},
                                             {"S12", data->S12Re, data->S12Im},
                                             {"S21", data->S21Re, data->S21Im},
                                             {"S22", data->S22Re, data->S22Im}};
    const int count = static_cast<int>(data->Count);
    bool present[kDiagramRefCurves] = {};
    for (int t = 0; t < kDiagramRefCurves; ++t)
        present[t] = traces[t].re != nullptr && traces[t].im != nullptr &&
                     InitDiagramDataRef(diagram, traces[t].name, t, count) == 0;

    bool first = true;
    float maxY = 0.1f, minY = 0.01f;
    for (int i = 0; i < count; ++i) {
        double f;
        if (data->LogSpacing == 1)
            f = std::pow(10.0, i * static_cast<double>(data->ExponentStep) + data->StartExponent);
        else
            f = count > 1 ? start + i * (stop - start) / (count - 1) : start;  // one point: no step
        for (int t = 0; t < kDiagramRefCurves; ++t) {
            if (!present[t]) continue;
            const double re = traces[t].re[i];
            const double im = traces[t].im[i];
            SetDataPointRef(diagram, t, i, static_cast<float>(f), static_cast<float>(re), static_cast<float>(im));
            const float magnitude = static_cast<float>(std::sqrt(re * re + im * im));
            if (first) {
                maxY = minY = magnitude;
                first = false;
            } else {
                maxY = std::max(maxY, magnitude);
                minY = std::min(minY, magnitude);
            }
        }
    }
    {
        std::lock_guard<std::mutex> guard(diagram->Lock);
        diagram->fMaxY = RoundUpToOneSignificantDigit(maxY);
        diagram->fMinY = minY;
        diagram->fGridY = diagram->fMaxY / 10;
    }
    UpdateDiagram(diagram);
    return 0;
}

}  // namespace korvex
