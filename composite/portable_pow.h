#pragma once
// base^exponent with the same bits on every build. The runtimes' pow differ between the
// 32-bit and the 64-bit program in the last bit of about one result in 160, which moves a
// composite's byte now and then; this one uses only +, -, *, / and exact scalings, in
// double-double arithmetic (about 100 bits), and rounds once at the end, so it is also
// correctly rounded but for results within 2^-95 of a halfway point. A result below the
// normal range (under 2^-1022, far below any weight that moves a byte) is rounded twice
// and may be one unit of its last place off.
//
// For a positive base; 1 to any power is 1, anything to the power 0 is 1, an infinite
// exponent gives 0 or infinity as pow does, a base of 0 or below or not a number gives
// not-a-number, and a result past the double range, for any finite exponent, gives 0 or
// infinity.
double portablePow(double base, double exponent);
