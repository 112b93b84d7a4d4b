// korvex-cli citi FILE.D1 [--csv FILE]: reads measured two-port S-parameters,
// shows them as the diagram's reference curves and writes those as CSV.
#include <cmath>
#include <cstdio>

#include "board/citi_file.h"
#include "command_registry.h"
#include "diagram/diagram.h"
#include "diagram/diagram_citi.h"
#include "diagram/diagram_csv.h"
#include "output_guard.h"
#include "util/number_text.h"

namespace korvex::cli {

namespace {

struct Sparameters : SPARAM {
    ~Sparameters() { freeSPARAM(this); }
};

void PrintSummary(const SPARAM& data, const Diagram& diagram)
{
    // The points' own frequencies: for list files the x axis reaches one step
    // beyond the last point.
    float first = 0, last = 0;
    for (const DiagramCurve& curve : diagram.RefCurve)
        if (DiagramCurveHasData(curve)) {
            first = curve.pX[0];
            last = curve.pX[curve.PointCount - 1];
            break;
        }
    std::printf("Points: %u, %s frequencies from %sHz to %sHz\n", data.Count,
                data.LogSpacing == 1 ? "list of" : "segment of", FloatToChar(first).c_str(),
                FloatToChar(last).c_str());
    std::printf("Curves:");
    for (const DiagramCurve& curve : diagram.RefCurve)
        if (DiagramCurveHasData(curve)) std::printf(" %s", curve.szName);
    std::printf("\n|S| from %s to %s (%.1f dB to %.1f dB)\n", FloatToChar(diagram.fMinY).c_str(),
                FloatToChar(diagram.fMaxY).c_str(), diagram.fMinY > 0 ? 20.0 * std::log10(diagram.fMinY) : -INFINITY,
                20.0 * std::log10(diagram.fMaxY));
}

const KorvexCommand kCiti("citi", "Read a CITI S-parameter file (.D1) and write its curves as CSV", [](CLI::App& sub) {
    struct Options {
        std::string file, csv;
        bool force = false;
    };
    auto o = std::make_shared<Options>();
    sub.add_option("FILE", o->file, "CITI file with S11, S21, S12 and S22")->required();
    sub.add_option("--csv", o->csv, "Write the curves S11, S12, S21, S22 as CSV (frequency,NAME.re,NAME.im,...)");
    sub.add_flag("--force", o->force, "Replace a file that is not a KORVEX file");
    return [o]() {
        if (!o->csv.empty())
            if (std::string why = korvex::cli::CheckOutputPath(o->csv, {o->file}, o->force, "CSV"); !why.empty())
                return Refuse(why);
        Sparameters data;
        std::string error;
        if (ReadCITIFile(&data, o->file.c_str(), &error) != 0)
            return Refuse(o->file + ": " + (error.empty() ? "not a readable CITI file" : error));
        Diagram diagram;
        FillDiagramFromCITI(&diagram, &data);
        PrintSummary(data, diagram);
        if (!o->csv.empty()) {
            if (SaveDiagramCurvesCsv(&diagram, kDiagramReferenceCurves, o->csv.c_str(), &error) != 0)
                return Refuse(o->csv + ": " + error);
            std::printf("Wrote %s\n", o->csv.c_str());
        }
        return 0;
    };
});

}  // namespace

}  // namespace korvex::cli
