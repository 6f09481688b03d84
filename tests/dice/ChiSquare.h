#pragma once

#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <vector>

namespace velmora::fixtures {

// Regularised upper incomplete gamma Q(a, x), by series or continued fraction.
inline double upperGamma(double a, double x)
{
    if (x <= 0.0) {
        return 1.0;
    }
    const double logPrefix = a * std::log(x) - x - std::lgamma(a);
    if (x < a + 1.0) {
        double term = 1.0 / a;
        double sum = term;
        for (int n = 1; n < 10000 && std::fabs(term) > std::fabs(sum) * 1e-15; ++n) {
            term *= x / (a + n);
            sum += term;
        }
        return 1.0 - sum * std::exp(logPrefix);
    }
    constexpr double kTiny = 1e-300;
    double b = x + 1.0 - a;
    double c = 1.0 / kTiny;
    double d = 1.0 / b;
    double h = d;
    for (int i = 1; i < 10000; ++i) {
        const double an = -i * (i - a);
        b += 2.0;
        d = an * d + b;
        d = std::fabs(d) < kTiny ? kTiny : d;
        c = b + an / c;
        c = std::fabs(c) < kTiny ? kTiny : c;
        d = 1.0 / d;
        const double delta = d * c;
        h *= delta;
        if (std::fabs(delta - 1.0) < 1e-15) {
            break;
        }
    }
    return std::exp(logPrefix) * h;
}

struct ChiSquareResult {
    double statistic;
    std::size_t degreesOfFreedom;
    double pValue;
};

inline ChiSquareResult chiSquare(const std::vector<double>& observed, const std::vector<double>& expected)
{
    if (observed.size() != expected.size() || observed.size() < 2) {
        throw std::invalid_argument("chi-square needs matching bins");
    }
    double statistic = 0.0;
    for (std::size_t i = 0; i < observed.size(); ++i) {
        const double diff = observed[i] - expected[i];
        statistic += diff * diff / expected[i];
    }
    const std::size_t df = observed.size() - 1;
    return {statistic, df, upperGamma(static_cast<double>(df) / 2.0, statistic / 2.0)};
}

} // namespace velmora::fixtures
