#include "dice/ChiSquare.h"
#include "dice/DiceEngine.h"
#include "dice/MixingGenerator.h"
#include "dice/RollError.h"
#include "dice/ScriptedSource.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {
namespace {

using fixtures::chiSquare;
using fixtures::FrozenClock;

constexpr double kAlpha = 1e-6;

// A generator that throws its state away at every reseed, as a plain
// srand(clock) would: the statistics below must catch it.
class ClockOnlyReseed final : public RandomSource {
public:
    void reseed(std::uint64_t clockReading) override { m_generator = MixingGenerator(clockReading); }
    float draw() override { return m_generator.draw(); }

private:
    MixingGenerator m_generator{0};
};

struct SourceCase {
    const char* name;
    std::uint64_t seed;
    bool fair;
};

std::unique_ptr<RandomSource> makeSource(const SourceCase& c)
{
    if (c.fair) {
        return std::make_unique<MixingGenerator>(c.seed);
    }
    return std::make_unique<ClockOnlyReseed>();
}

class Fairness : public ::testing::TestWithParam<SourceCase> {};

// P(total = 6k + j) = 6^-(k+1) for j in 1..5.
TEST_P(Fairness, ExplodingDieTotalsFollowTheExactDistribution)
{
    constexpr int kRolls = 60000;
    constexpr int kSides = 6;
    constexpr int kPooledFrom = 4; // chains of four or more re-rolls share one bin
    auto source = makeSource(GetParam());
    FrozenClock clock;
    DiceEngine dice(*source, clock);

    std::vector<double> observed(kPooledFrom * (kSides - 1) + 1, 0.0);
    std::vector<double> expected(observed.size(), 0.0);
    for (int k = 0; k < kPooledFrom; ++k) {
        for (int j = 1; j < kSides; ++j) {
            expected[static_cast<std::size_t>(k * (kSides - 1) + j - 1)] = kRolls * std::pow(kSides, -(k + 1));
        }
    }
    expected.back() = kRolls * std::pow(kSides, -kPooledFrom);

    const std::int16_t sides = kSides;
    for (int i = 0; i < kRolls; ++i) {
        int total = 0;
        try {
            total = dice.wuerfel(sides);
        } catch (const RollError&) {
            // Only a source stuck on the highest face gets here.
            EXPECT_FALSE(GetParam().fair);
            return;
        }
        ASSERT_NE(total % kSides, 0);
        const int k = (total - 1) / kSides;
        const int j = total - k * kSides;
        const auto bin = k >= kPooledFrom ? observed.size() - 1 : static_cast<std::size_t>(k * (kSides - 1) + j - 1);
        observed[bin] += 1.0;
    }
    const auto result = chiSquare(observed, expected);
    if (GetParam().fair) {
        EXPECT_GT(result.pValue, kAlpha) << "chi2 " << result.statistic;
    } else {
        EXPECT_LT(result.pValue, kAlpha) << "chi2 " << result.statistic;
    }
}

// Consecutive faces, taken in non-overlapping pairs, fill all 36 cells evenly.
TEST_P(Fairness, ConsecutiveFacesAreIndependent)
{
    constexpr std::size_t kFaces = 36000;
    constexpr int kSides = 6;
    auto source = makeSource(GetParam());
    FrozenClock clock;
    DiceEngine dice(*source, clock);
    const std::int16_t sides = kSides;
    std::vector<std::int32_t> faces;
    // A generator that never leaves the highest face would loop here for ever.
    for (int guard = 0; faces.size() < kFaces && guard < 1000000; ++guard) {
        if (GetParam().fair) {
            dice.wuerfel(sides, &faces);
        } else {
            source->reseed(clock.now());
            faces.push_back(dice.rand(1, kSides));
        }
    }
    ASSERT_GE(faces.size(), kFaces);

    std::vector<double> observed(kSides * kSides, 0.0);
    for (std::size_t i = 0; i + 1 < kFaces; i += 2) {
        const auto cell = static_cast<std::size_t>((faces[i] - 1) * kSides + faces[i + 1] - 1);
        observed[cell] += 1.0;
    }
    const std::vector<double> expected(observed.size(), kFaces / 2.0 / (kSides * kSides));
    const auto result = chiSquare(observed, expected);
    if (GetParam().fair) {
        EXPECT_GT(result.pValue, kAlpha) << "chi2 " << result.statistic;
    } else {
        EXPECT_LT(result.pValue, kAlpha) << "chi2 " << result.statistic;
    }
}

INSTANTIATE_TEST_SUITE_P(Dice, Fairness,
    ::testing::Values(SourceCase{"seed1", 1, true}, SourceCase{"seed2", 20261208, true},
        SourceCase{"seed3", 0xDEADBEEF, true}, SourceCase{"clockOnly", 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ChiSquareHelper, MatchesKnownQuantiles)
{
    // Upper 5 % points of chi-square with 1, 10 and 35 degrees of freedom.
    EXPECT_NEAR(fixtures::upperGamma(0.5, 3.841459 / 2), 0.05, 1e-6);
    EXPECT_NEAR(fixtures::upperGamma(5.0, 18.307038 / 2), 0.05, 1e-6);
    EXPECT_NEAR(fixtures::upperGamma(17.5, 49.801850 / 2), 0.05, 1e-6);
}

} // namespace
} // namespace velmora
