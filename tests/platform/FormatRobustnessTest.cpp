#include "NvFormat.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

// Random patterns fed to the formatters with a fixed seed: never a crash (run
// under the sanitizers), never a runaway text.
namespace {

// A pattern's output is bounded by the pattern, not by the value: at most its
// text plus every digit a double can have.
TEST(Robustness, PatternsAlwaysGiveBoundedText) {
    using L = std::numeric_limits<double>;
    static const double kSpecial[] = {
        -0.0,           0.5,           1e-300,         -1e300,           L::max(), L::denorm_min(),
        L::quiet_NaN(), L::infinity(), -L::infinity(), 2958465.99999999, -693594.0};
    std::mt19937 engine(42);
    const auto uniform = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(engine);
    };
    const auto text = [&](const QString& alphabet) {
        QString made;
        for (int length = uniform(0, 24); length > 0; --length)
            made += alphabet[uniform(0, static_cast<int>(alphabet.size()) - 1)];
        return made;
    };
    for (int i = 0; i < 3000; ++i) {
        const QString number = text(QStringLiteral("0#.,;'\"Ee+- xX%9"));
        const QString date = text(QStringLiteral("dDmMyYhHnNsSzZtTcCaApP/:'\" .-m/"));
        const double value = uniform(0, 3) == 0
                                 ? kSpecial[uniform(0, std::size(kSpecial) - 1)]
                                 : std::uniform_real_distribution<double>(-10.0, 10.0)(engine) *
                                       std::pow(10.0, uniform(-20, 20));
        ASSERT_LT(nv::FormatFloat(number, value).size(), number.size() * 2 + 420)
            << number.toStdString();
        ASSERT_LT(nv::FormatDateTime(date, value).size(), date.size() * 40 + 40)
            << date.toStdString();
    }
}

} // namespace
