#include "pdn/complex.h"

#include <cmath>

namespace korvex {

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
}  // namespace

DComplex Complex(double re, double im)
{
    return DComplex{re, im};
}

DComplex Cadd(DComplex a, DComplex b)
{
    return DComplex{a.r + b.r, a.i + b.i};
}

DComplex Csub(DComplex a, DComplex b)
{
    return DComplex{a.r - b.r, a.i - b.i};
}

DComplex Cmul(DComplex a, DComplex b)
{
    return DComplex{a.r * b.r - a.i * b.i, a.i * b.r + a.r * b.i};
}

DComplex RCmul(double x, DComplex a)
{
    return DComplex{x * a.r, x * a.i};
}

DComplex Conjg(DComplex a)
{
    return DComplex{a.r, -a.i};
}

DComplex Cdiv(DComplex a, DComplex b)
{
    if (std::fabs(b.r) >= std::fabs(b.i)) {
        const double r = b.i / b.r;
        const double den = b.r + r * b.i;
        return DComplex{(a.r + r * a.i) / den, (a.i - r * a.r) / den};
    }
    const double r = b.r / b.i;
    const double den = b.i + r * b.r;
    return DComplex{(a.r * r + a.i) / den, (a.i * r - a.r) / den};
}

double Cabs(DComplex a)
{
    const double x = std::fabs(a.r), y = std::fabs(a.i);
    if (x == 0.0) return y;
    if (y == 0.0) return x;
    if (x > y) {
        const double t = y / x;
        return x * std::sqrt(1.0 + t * t);
    }
    const double t = x / y;
    return y * std::sqrt(1.0 + t * t);
}

DComplex Csqrt(DComplex a)
{
    if (a.r == 0.0 && a.i == 0.0) return DComplex{0.0, 0.0};
    const double x = std::fabs(a.r), y = std::fabs(a.i);
    double w;
    if (x >= y) {
        const double t = y / x;
        w = std::sqrt(x) * std::sqrt(0.5 * (1.0 + std::sqrt(1.0 + t * t)));
    } else {
        const double t = x / y;
        w = std::sqrt(y) * std::sqrt(0.5 * (t + std::sqrt(1.0 + t * t)));
    }
    if (a.r >= 0.0) return DComplex{w, a.i / (2.0 * w)};
    if (a.i < 0.0) w = -w;
    return DComplex{a.i / (2.0 * w), w};
}

float Cphase(DComplex a)
{
    if (a.r == 0.0) return a.i >= 0.0 ? static_cast<float>(kPi / 2) : static_cast<float>(-kPi / 2);
    const float t = static_cast<float>(std::atan(a.i / a.r));
    if (a.r > 0.0 && a.i >= 0.0) return t;
    if (a.r < 0.0) return static_cast<float>(t + kPi);
    return static_cast<float>(t + kTwoPi);
}

}  // namespace korvex
