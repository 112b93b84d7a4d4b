#pragma once
// Synthetic impedance curves, boards and capacitor records for the PDN tool tests.
#include <cmath>
#include <initializer_list>
#include <vector>

#include "board/sim_matrix.h"
#include "diagram/diagram.h"
#include "pdn/cap_database.h"
#include "pdn/complex.h"
#include "pdn/port_zin_curve.h"

namespace korvex::pdn_test {

constexpr double kTwoPi = 6.283185307179586;

inline std::vector<double> LogGrid(double from, double to, int points)
{
    std::vector<double> f(points);
    for (int k = 0; k < points; ++k) f[k] = from * std::pow(to / from, static_cast<double>(k) / (points - 1));
    return f;
}

// Series R-L-C impedance.
inline DComplex SeriesRlc(double f, double c, double r, double l)
{
    const double w = kTwoPi * f;
    return Complex(r, w * l - 1.0 / (w * c));
}

// A plane's impedance seen from a port: its capacitance behind a spreading
// inductance and a small resistance.
inline std::vector<DComplex> PlaneZin(const std::vector<double>& f, double c = 10e-9, double l = 50e-12,
                                      double r = 2e-3)
{
    std::vector<DComplex> z(f.size());
    for (size_t k = 0; k < f.size(); ++k) z[k] = SeriesRlc(f[k], c, r, l);
    return z;
}

// Impedance of capacitor records in parallel.
inline std::vector<DComplex> ParallelBranches(const std::vector<double>& f, const std::vector<CapRecord>& branches)
{
    std::vector<DComplex> z(f.size());
    for (size_t k = 0; k < f.size(); ++k) {
        DComplex y = Complex(0, 0);
        for (const CapRecord& b : branches)
            y = Cadd(y, Cdiv(Complex(1, 0), SeriesRlc(f[k], b.Capacitance, b.ESR, b.ESL)));
        z[k] = Cdiv(Complex(1, 0), y);
    }
    return z;
}

inline CapRecord Branch(float c, float esr = 0.01f, float esl = 1e-9f)
{
    return CapRecord{.Capacitance = c, .ESR = esr, .ESL = esl};
}

// A list owned by the test.
struct CapList : CapDatabase {
    CapList() = default;
    CapList(std::initializer_list<CapRecord> records)
    {
        for (const CapRecord& r : records) AddCap(this, Count, &r);
    }
    CapList(const CapList&) = delete;
    ~CapList() { FreeCapDatabase(this); }
};

inline void AddPort(SimMatrix& board, uint32_t id, uint32_t x = 0, uint32_t y = 0, uint32_t layer = 0)
{
    Port port{.x = x, .y = y, .ID = id, .Layer = layer};
    AddPart(&board, PART_PORT, &port);
}

inline void AddCapacitor(SimMatrix& board, uint32_t ref)
{
    Cap cap{.Ref = ref};
    AddPart(&board, PART_CAP, &cap);
}

// Owns a board's part list for one test.
struct Board {
    SimMatrix board;
    ~Board() { FreePartList(&board); }
};

}  // namespace korvex::pdn_test
