#include "NvFormat.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>

// Random patterns fed to the formatters with a fixed seed: never a crash (run
// under the sanitizers), never a runaway text.
namespace {

class TRandomText {
public:
    explicit TRandomText(std::uint32_t seed)
        : FEngine(seed) {}

    QString Make(const QString& alphabet, int maxLength) {
        QString text;
        const int length = Uniform(0, maxLength);
        for (int i = 0; i < length; ++i)
            text += alphabet[Uniform(0, static_cast<int>(alphabet.size()) - 1)];
        return text;
    }

    int Uniform(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(FEngine);
    }

    double Value() {
        using L = std::numeric_limits<double>;
        // clang-format off
        static const double kSpecial[] = {-0.0, 0.5, 1e-300, -1e300, L::max(), L::denorm_min(),
            L::quiet_NaN(), L::infinity(), -L::infinity(), 2958465.99999999, -693594.0};
        // clang-format on
        if (Uniform(0, 3) == 0)
            return kSpecial[Uniform(0, std::size(kSpecial) - 1)];
        const double mantissa = std::uniform_real_distribution<double>(-10.0, 10.0)(FEngine);
        return mantissa * std::pow(10.0, Uniform(-20, 20));
    }

private:
    std::mt19937 FEngine;
};

// A pattern's output is bounded by the pattern, not by the value: at most its
// text plus every digit a double can have.
TEST(Robustness, PatternsAlwaysGiveBoundedText) {
    TRandomText random(42);
    for (int i = 0; i < 3000; ++i) {
        const QString number = random.Make(QStringLiteral("0#.,;'\"Ee+- xX%9"), 24);
        const QString date = random.Make(QStringLiteral("dDmMyYhHnNsSzZtTcCaApP/:'\" .-m/"), 24);
        const double value = random.Value();
        ASSERT_LT(nv::FormatFloat(number, value).size(), number.size() * 2 + 420)
            << number.toStdString();
        ASSERT_LT(nv::FormatDateTime(date, value).size(), date.size() * 40 + 40)
            << date.toStdString();
    }
}

} // namespace
