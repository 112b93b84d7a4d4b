#pragma once

namespace korvex {
// Complex numbers in double precision as plain values: every operation returns
// a fresh value and leaves its inputs alone.

struct DComplex {
    double r = 0;
    double i = 0;
};

DComplex Complex(double re, double im);
DComplex Cadd(DComplex a, DComplex b);
DComplex Csub(DComplex a, DComplex b);
DComplex Cmul(DComplex a, DComplex b);
DComplex RCmul(double x, DComplex a);
DComplex Conjg(DComplex a);
// a / b, scaled so that intermediate products cannot overflow; b = 0 is not guarded.
DComplex Cdiv(DComplex a, DComplex b);
// |a| without overflow for large parts.
double Cabs(DComplex a);
// Principal square root.
DComplex Csqrt(DComplex a);
// Angle in radians in [0, 2*pi), except -pi/2 on the negative imaginary axis.
float Cphase(DComplex a);

}  // namespace korvex
