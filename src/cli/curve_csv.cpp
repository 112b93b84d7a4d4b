#include "curve_csv.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

namespace korvex::cli {
namespace {

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> cells;
    std::stringstream in(line);
    std::string cell;
    while (std::getline(in, cell, ',')) cells.push_back(cell);
    if (!line.empty() && line.back() == ',') cells.emplace_back();
    return cells;
}

// "Zin(i000)_ohm" → {"Zin(i000)", "ohm"}; a name without a known unit keeps it whole.
std::pair<std::string, std::string> NameAndUnit(const std::string& column)
{
    const size_t cut = column.rfind('_');
    if (cut != std::string::npos) {
        const std::string unit = column.substr(cut + 1);
        for (const char* known : {"ohm", "V", "A", "Hz", "s"})
            if (unit == known) return {column.substr(0, cut), unit};
    }
    return {column, ""};
}

bool Number(const std::string& text, double* v)
{
    if (text.empty()) return false;
    char* end = nullptr;
    *v = std::strtod(text.c_str(), &end);
    return end != nullptr && *end == '\0' && std::isfinite(*v);
}

}  // namespace

bool ReadCurveCsv(const std::string& path, maps::Plot* plot, std::string* why)
{
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) {
        *why = "cannot read " + path;
        return false;
    }
    const std::vector<std::string> header = Split(line);
    if (header.size() < 2) {
        *why = path + " is not a curve CSV (no curve columns)";
        return false;
    }
    const auto [xLabel, xUnit] = NameAndUnit(header[0]);
    plot->XLabel = xLabel;
    plot->XUnit = xUnit;
    plot->LogX = xUnit != "s";
    // Per curve: the columns of its real and imaginary part, or of its magnitude.
    struct Columns {
        int re = -1, im = -1, abs = -1;
        std::string unit;
        size_t curve = 0;
    };
    std::map<std::string, Columns> byName;
    std::vector<std::string> order;
    for (size_t i = 1; i < header.size(); ++i) {
        const size_t dot = header[i].rfind('.');
        const std::string part = dot == std::string::npos ? "" : header[i].substr(dot + 1);
        if (part != "re" && part != "im" && part != "abs") {
            *why = path + ": column " + header[i] + " is not NAME.re, NAME.im or NAME.abs";
            return false;
        }
        const auto [name, unit] = NameAndUnit(header[i].substr(0, dot));
        auto [it, added] = byName.try_emplace(name);
        if (added) order.push_back(name);
        it->second.unit = unit;
        (part == "re" ? it->second.re : part == "im" ? it->second.im : it->second.abs) = static_cast<int>(i);
    }
    plot->Curves.clear();
    std::string unit = byName[order[0]].unit;
    for (const std::string& name : order) {
        byName[name].curve = plot->Curves.size();
        plot->Curves.push_back({name + (byName[name].unit.empty() ? "" : " [" + byName[name].unit + "]"), {}, {}});
        if (byName[name].unit != unit) unit = "mixed units";
    }
    plot->YUnit = unit;
    int row = 1;
    while (std::getline(in, line)) {
        ++row;
        if (line.empty()) continue;
        const std::vector<std::string> cells = Split(line);
        double x = 0;
        if (!Number(cells[0], &x)) {
            *why = path + ": line " + std::to_string(row) + " does not start with a number";
            return false;
        }
        for (const std::string& name : order) {
            const Columns& c = byName[name];
            double re = 0, im = 0, value = 0;
            const auto cell = [&](int i, double* v) { return i >= 0 && static_cast<size_t>(i) < cells.size() && Number(cells[i], v); };
            if (c.abs >= 0) {
                if (!cell(c.abs, &value)) continue;
            } else {
                if (!cell(c.re, &re)) continue;
                if (!cell(c.im, &im)) im = 0;
                value = std::hypot(re, im);
            }
            plot->Curves[c.curve].X.push_back(x);
            plot->Curves[c.curve].Y.push_back(value);
        }
    }
    return true;
}

}  // namespace korvex::cli
