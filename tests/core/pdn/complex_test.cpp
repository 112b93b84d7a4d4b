#include <gtest/gtest.h>

#include <cmath>

#include "pdn/complex.h"

using namespace korvex;

namespace {
constexpr double kPi = 3.141592653589793;

void ExpectComplex(DComplex v, double r, double i)
{
    EXPECT_NEAR(v.r, r, 1e-12);
    EXPECT_NEAR(v.i, i, 1e-12);
}

// The scaled forms keep huge values finite; both branches of each are taken.
TEST(Complex, ArithmeticAbsoluteValueAndSquareRoot)
{
    const DComplex a = Complex(1, 2), b = Complex(3, -4);
    ExpectComplex(Cadd(a, b), 4, -2);
    ExpectComplex(Csub(a, b), -2, 6);
    ExpectComplex(Cmul(a, b), 11, 2);
    ExpectComplex(RCmul(2, a), 2, 4);
    ExpectComplex(Conjg(a), 1, -2);
    ExpectComplex(Cmul(Cdiv(a, b), b), 1, 2);
    ExpectComplex(Cdiv(Complex(1, 0), Complex(0, 1)), 0, -1);  // |b.i| > |b.r|
    ExpectComplex(Cdiv(Complex(4, 2), Complex(2, 0)), 2, 1);   // |b.r| >= |b.i|
    ExpectComplex(Cdiv(Complex(1e300, 1e300), Complex(1e300, 1e300)), 1, 0);
    EXPECT_DOUBLE_EQ(Cabs(Complex(3, 4)), 5.0);
    EXPECT_DOUBLE_EQ(Cabs(Complex(0, -2)), 2.0);
    EXPECT_DOUBLE_EQ(Cabs(Complex(-7, 0)), 7.0);
    EXPECT_NEAR(Cabs(Complex(1e300, 1e300)) / 1e300, std::sqrt(2.0), 1e-12);
    ExpectComplex(Csqrt(Complex(-4, 0)), 0, 2);
    ExpectComplex(Csqrt(Complex(0, -2)), 1, -1);
    ExpectComplex(Csqrt(Complex(0, 0)), 0, 0);
    ExpectComplex(Csqrt(Complex(-3, -4)), 1, -2);
    const DComplex s = Csqrt(Complex(3, 4));
    ExpectComplex(Cmul(s, s), 3, 4);
}

TEST(Complex, PhaseRange)
{
    const double cases[][3] = {{1, 1, kPi / 4},   {-1, 1, 3 * kPi / 4}, {-1, -1, 5 * kPi / 4},
                               {1, -1, 7 * kPi / 4}, {0, -1, -kPi / 2},  {0, 1, kPi / 2},
                               {0, 0, kPi / 2},    {-1, 0, kPi},        {2, 0, 0}};
    for (const auto& c : cases) EXPECT_NEAR(Cphase(Complex(c[0], c[1])), c[2], 1e-6) << c[0] << "," << c[1];
}
}  // namespace
