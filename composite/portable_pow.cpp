#include "composite/portable_pow.h"

#include <cmath>
#include <limits>

namespace {

// A number as the unevaluated sum hi + lo, |lo| at most half an ulp of hi.
struct Wide {
    double hi;
    double lo;
};

// ln 2 to 107 bits.
const Wide kLn2 = {0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56};

Wide twoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

Wide quickTwoSum(double a, double b) {  // |a| >= |b|
    const double s = a + b;
    return {s, b - (s - a)};
}

// a = hi + lo with hi of 26 bits, so that products of halves are exact.
Wide split(double a) {
    const double c = 134217729.0 * a;  // 2^27 + 1
    const double hi = c - (c - a);
    return {hi, a - hi};
}

Wide twoProduct(double a, double b) {
    const double p = a * b;
    const Wide x = split(a);
    const Wide y = split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

Wide add(Wide a, Wide b) {
    Wide s = twoSum(a.hi, b.hi);
    const Wide t = twoSum(a.lo, b.lo);
    s.lo += t.hi;
    s = quickTwoSum(s.hi, s.lo);
    s.lo += t.lo;
    return quickTwoSum(s.hi, s.lo);
}

Wide minus(Wide a) { return {-a.hi, -a.lo}; }

Wide times(Wide a, Wide b) {
    Wide p = twoProduct(a.hi, b.hi);
    p.lo += a.hi * b.lo + a.lo * b.hi;
    return quickTwoSum(p.hi, p.lo);
}

Wide times(Wide a, double b) {
    Wide p = twoProduct(a.hi, b);
    p.lo += a.lo * b;
    return quickTwoSum(p.hi, p.lo);
}

Wide dividedBy(Wide a, Wide b) {
    const double q1 = a.hi / b.hi;
    Wide r = add(a, minus(times(b, q1)));
    const double q2 = r.hi / b.hi;
    r = add(r, minus(times(b, q2)));
    const double q3 = r.hi / b.hi;
    return add(quickTwoSum(q1, q2), {q3, 0.0});
}

// ln x for a positive, normal x: x = m 2^e with m in [sqrt(1/2), sqrt(2)), and
// ln m = 2 atanh(s) = 2 (s + s^3/3 + s^5/5 + ...) with s = (m - 1) / (m + 1), |s| < 0.172.
Wide logOf(double x) {
    int e = 0;
    double m = std::frexp(x, &e);
    if (m < 0.70710678118654752) {
        m *= 2.0;
        --e;
    }
    const Wide s = dividedBy({m - 1.0, 0.0}, twoSum(m, 1.0));  // m - 1 is exact here
    const Wide s2 = times(s, s);
    Wide term = s;
    Wide sum = s;
    for (int k = 1; k <= 24; ++k) {  // s^48 / 49 < 2^-120
        term = times(term, s2);
        sum = add(sum, dividedBy(term, {2.0 * k + 1.0, 0.0}));
    }
    return add(times(kLn2, static_cast<double>(e)), {2.0 * sum.hi, 2.0 * sum.lo});
}

// e^t: t = k ln 2 + r, e^r = (e^(r / 1024))^1024 with the Taylor series for the small power.
double expOf(Wide t) {
    if (t.hi > 710.0) return std::numeric_limits<double>::infinity();
    if (t.hi < -746.0) return 0.0;
    const double k = std::floor(t.hi / kLn2.hi + 0.5);
    Wide r = add(t, minus(times(kLn2, k)));
    r = {std::ldexp(r.hi, -10), std::ldexp(r.lo, -10)};
    Wide term = {1.0, 0.0};
    Wide sum = {1.0, 0.0};
    for (int j = 1; j <= 12; ++j) {  // |r| < 2^-11: r^13 / 13! < 2^-150
        term = dividedBy(times(term, r), {static_cast<double>(j), 0.0});
        sum = add(sum, term);
    }
    for (int i = 0; i < 10; ++i) sum = times(sum, sum);
    return std::ldexp(sum.hi + sum.lo, static_cast<int>(k));
}

}  // namespace

double portablePow(double base, double exponent) {
    if (base == 1.0 || exponent == 0.0) return 1.0;
    if (!(base > 0.0) || std::isnan(exponent) || std::isinf(base)) return std::numeric_limits<double>::quiet_NaN();
    if (std::isinf(exponent)) return (exponent > 0) == (base < 1.0) ? 0.0 : std::numeric_limits<double>::infinity();
    int scale = 0;
    if (base < 0x1p-1000) {  // subnormal bases are brought into the normal range first
        base = std::ldexp(base, 200);
        scale = -200;
    }
    Wide log = logOf(base);
    if (scale) log = add(log, times(kLn2, static_cast<double>(scale)));
    // Far past the range (an exponent above about 1e300) the exact product would overflow
    // on its way to infinity and give not-a-number.
    const double rough = log.hi * exponent;
    if (std::fabs(rough) > 1e4) return rough > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return expOf(times(log, exponent));
}
