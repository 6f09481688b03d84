#include "dice/DiceEngine.h"
#include "dice/RollError.h"
#include "dice/ScriptedSource.h"
#include "steps/RollRecord.h"
#include "text/RollText.h"
#include "text/TranscriptText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace velmora {
namespace {

using fixtures::FrozenClock;
using fixtures::ScriptedSource;
using Lines = std::vector<std::string>;

struct Rig {
    ScriptedSource source;
    FrozenClock clock;
    DiceEngine dice{source, clock};
    std::vector<std::int32_t> faces;

    std::int16_t roll(const std::int16_t& sides) { return dice.wuerfel(sides, &faces); }
    // The die's lines as the band shows them, made from its faces.
    Lines lines(std::int16_t sides) const
    {
        RollRecord record;
        record.dice.push_back({sides, false, faces});
        return rolltext::bandLines(record);
    }
};

struct ChainCase {
    std::int16_t sides;
    std::vector<int> faces;
    int total;
    Lines lines;
};

class WuerfelChain : public ::testing::TestWithParam<ChainCase> {};

TEST_P(WuerfelChain, WritesEveryRollAndReturnsTheSum)
{
    const ChainCase& c = GetParam();
    Rig rig;
    for (const int face : c.faces) {
        rig.source.push(face, c.sides);
    }
    const std::int16_t sides = c.sides;
    EXPECT_EQ(rig.roll(sides), c.total);
    EXPECT_EQ(sides, c.sides);
    EXPECT_EQ(rig.lines(c.sides), c.lines);
    EXPECT_EQ(rig.source.left(), 0U);
    // Every roll, re-rolls included, is preceded by its own reseed.
    EXPECT_EQ(rig.source.reseeds(), c.faces.size());
    EXPECT_EQ(rig.source.draws(), c.faces.size());
    EXPECT_EQ(rig.clock.calls(), c.faces.size());
}

INSTANTIATE_TEST_SUITE_P(Dice, WuerfelChain,
    ::testing::Values(ChainCase{6, {6, 6, 3}, 15,
                          {"Ein D6 wird gewürfelt: 6", "Neuer Wurf!", "", "Ein D6 wird gewürfelt: 6", "Neuer Wurf!", "",
                              "Ein D6 wird gewürfelt: 3"}},
        ChainCase{4, {3}, 3, {"Ein D4 wird gewürfelt: 3"}}, ChainCase{4, {1}, 1, {"Ein D4 wird gewürfelt: 1"}},
        ChainCase{20, {20, 19}, 39, {"Ein D20 wird gewürfelt: 20", "Neuer Wurf!", "", "Ein D20 wird gewürfelt: 19"}},
        ChainCase{12, {11}, 11, {"Ein D12 wird gewürfelt: 11"}},
        ChainCase{10, {10, 10, 10, 1}, 31,
            {"Ein D10 wird gewürfelt: 10", "Neuer Wurf!", "", "Ein D10 wird gewürfelt: 10", "Neuer Wurf!", "",
                "Ein D10 wird gewürfelt: 10", "Neuer Wurf!", "", "Ein D10 wird gewürfelt: 1"}}));

TEST(Wuerfel, TheLineBreakIsCarriageReturnThenLineFeed) { EXPECT_EQ(text::br(), std::string("\x0d\x0a")); }

struct EndlessCase {
    std::int16_t sides;
    std::size_t rollsBeforeOverflow;
};

class EndlessHighestFace : public ::testing::TestWithParam<EndlessCase> {};

TEST_P(EndlessHighestFace, EndsInOverflowOnceTheTotalPassesTheSixteenBitRange)
{
    const EndlessCase& c = GetParam();
    Rig rig;
    rig.source.repeatForever(c.sides, c.sides);
    try {
        rig.roll(c.sides);
        FAIL() << "no overflow";
    } catch (const RollError& e) {
        EXPECT_EQ(e.kind(), RollError::Kind::Overflow);
    }
    EXPECT_EQ(rig.source.draws(), c.rollsBeforeOverflow);
    // The last die line stands, but no re-roll notice follows it.
    const Lines lines = rig.lines(c.sides);
    ASSERT_EQ(lines.size(), 3 * c.rollsBeforeOverflow - 2);
    EXPECT_EQ(lines.back(), "Ein D" + std::to_string(c.sides) + " wird gewürfelt: " + std::to_string(c.sides));
    EXPECT_GT(static_cast<int>(c.rollsBeforeOverflow) * c.sides, 32767);
    EXPECT_LE(static_cast<int>(c.rollsBeforeOverflow - 1) * c.sides, 32767);
}

INSTANTIATE_TEST_SUITE_P(Dice, EndlessHighestFace,
    ::testing::Values(EndlessCase{20, 1639}, EndlessCase{4, 8192}, EndlessCase{6, 5462}, EndlessCase{2, 16384}));

TEST(Wuerfel, RefusesADieSizeBelowTwoWithoutRolling)
{
    for (const std::int16_t sides :
        {std::int16_t{1}, std::int16_t{0}, std::int16_t{-4}, std::numeric_limits<std::int16_t>::min()}) {
        Rig rig;
        rig.source.repeatForever(1, 1);
        try {
            rig.roll(sides);
            FAIL() << "size " << sides << " was rolled";
        } catch (const RollError& e) {
            EXPECT_EQ(e.kind(), RollError::Kind::InvalidDieSize);
        }
        EXPECT_EQ(rig.source.draws(), 0U);
        EXPECT_TRUE(rig.faces.empty());
    }
}

struct RandCase {
    float draw;
    std::int32_t lower;
    std::int32_t upper;
    std::int32_t expected;
};

class RandMapping : public ::testing::TestWithParam<RandCase> {};

TEST_P(RandMapping, MapsOneDrawOntoTheBounds)
{
    const RandCase& c = GetParam();
    Rig rig;
    rig.source.pushDraw(c.draw);
    EXPECT_EQ(rig.dice.rand(c.lower, c.upper), c.expected);
    EXPECT_EQ(rig.source.draws(), 1U);
    EXPECT_EQ(rig.source.reseeds(), 0U);
}

const float kJustBelowOne = std::nextafter(1.0f, 0.0f);

INSTANTIATE_TEST_SUITE_P(Dice, RandMapping,
    ::testing::Values(RandCase{0.0f, 5, 5, 5}, RandCase{kJustBelowOne, 5, 5, 5}, RandCase{kJustBelowOne, 1, 6, 6},
        RandCase{kJustBelowOne, 1, 20, 20}, RandCase{0.0f, 1, 20, 1}, RandCase{0.5f, 1, 4, 3},
        RandCase{0.0f, -3, 3, -3}, RandCase{kJustBelowOne, -3, 3, 3},
        RandCase{0.0f, std::numeric_limits<std::int32_t>::min(), -2, std::numeric_limits<std::int32_t>::min()},
        RandCase{kJustBelowOne, 0, std::numeric_limits<std::int32_t>::max() - 1,
            std::numeric_limits<std::int32_t>::max() - 128}));

struct RandFailure {
    float draw;
    std::int32_t lower;
    std::int32_t upper;
    RollError::Kind kind;
};

class RandFails : public ::testing::TestWithParam<RandFailure> {};

TEST_P(RandFails, RaisesTheError)
{
    const RandFailure& c = GetParam();
    Rig rig;
    rig.source.pushDraw(c.draw);
    try {
        rig.dice.rand(c.lower, c.upper);
        FAIL() << "no error for " << c.lower << ".." << c.upper;
    } catch (const RollError& e) {
        EXPECT_EQ(e.kind(), c.kind);
    }
    EXPECT_EQ(rig.source.draws(), 1U);
}

constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
constexpr auto kMax = std::numeric_limits<std::int32_t>::max();

INSTANTIATE_TEST_SUITE_P(Dice, RandFails,
    ::testing::Values(RandFailure{0.5f, kMin, kMax, RollError::Kind::Overflow},
        RandFailure{0.5f, 0, kMax, RollError::Kind::Overflow},
        RandFailure{0.5f, -1, kMax - 1, RollError::Kind::Overflow},
        RandFailure{0.5f, kMin, -1, RollError::Kind::Overflow},
        RandFailure{0.5f, kMax, kMin, RollError::Kind::Overflow},
        RandFailure{std::numeric_limits<float>::quiet_NaN(), 1, 6, RollError::Kind::FloatingPoint},
        RandFailure{std::numeric_limits<float>::infinity(), 1, 0, RollError::Kind::FloatingPoint}));

// All 2^24 draws that the generator can make, pushed through the mapping.
TEST(FaceMapping, EveryTwentyFourBitDrawGivesEachFaceEquallyOften)
{
    constexpr std::uint32_t kDraws = 1U << 24;
    for (const int sides : {4, 6, 8, 10, 12, 20}) {
        std::vector<std::uint32_t> counts(static_cast<std::size_t>(sides) + 1, 0);
        std::uint32_t outside = 0;
        for (std::uint32_t v = 0; v < kDraws; ++v) {
            const float r = static_cast<float>(v) / static_cast<float>(kDraws);
            const std::int32_t face = DiceEngine::mapDraw(r, 1, sides);
            if (face < 1 || face > sides) {
                ++outside;
            } else {
                ++counts[static_cast<std::size_t>(face)];
            }
        }
        EXPECT_EQ(outside, 0U) << "d" << sides;
        const std::uint32_t low = kDraws / static_cast<std::uint32_t>(sides);
        for (int face = 1; face <= sides; ++face) {
            EXPECT_GE(counts[static_cast<std::size_t>(face)], low) << "d" << sides << " face " << face;
            EXPECT_LE(counts[static_cast<std::size_t>(face)], low + 1) << "d" << sides << " face " << face;
        }
    }
}

} // namespace
} // namespace velmora
