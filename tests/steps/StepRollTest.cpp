#include "steps/StepRoll.h"
#include "dice/DiceEngine.h"
#include "dice/RollError.h"
#include "dice/ScriptedSource.h"
#include "karma/KarmaCaption.h"
#include "steps/StepTable.h"
#include "text/RollText.h"
#include "text/TranscriptModel.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora {
namespace {

using fixtures::FrozenClock;
using fixtures::ScriptedSource;
using Lines = std::vector<std::string>;

class FakeKarma final : public KarmaCaption {
public:
    explicit FakeKarma(std::string text) : m_text(std::move(text)) {}
    std::string caption() const override
    {
        ++reads;
        return m_text;
    }
    mutable int reads = 0;

private:
    std::string m_text;
};

struct Rig {
    explicit Rig(std::string karmaCaption) : karma(std::move(karmaCaption)) {}
    ScriptedSource source;
    FrozenClock clock;
    TranscriptModel transcript;
    FakeKarma karma;
    DiceEngine dice{source, clock};
    StepRoll roll{dice, karma};

    // The roll as the window shows it, its band in place of the one before,
    // also as far as it went when it failed.
    void run(const StepDefinition& step)
    {
        RollRecord record;
        try {
            roll.run(step, record);
        } catch (...) {
            transcript.show(rolltext::bandLines(record));
            throw;
        }
        transcript.show(rolltext::bandLines(record));
    }
};

struct Face {
    int sides;
    int face;
};

struct RollCase {
    const char* name;
    int step;
    std::string karma;
    std::vector<Face> faces;
    Lines lines;
    int karmaReads;
};

class StepRolls : public ::testing::TestWithParam<RollCase> {};

TEST_P(StepRolls, WriteTheDiceThenKarmaThenOneResultLine)
{
    const RollCase& c = GetParam();
    Rig rig(c.karma);
    for (const Face f : c.faces) {
        rig.source.push(f.face, f.sides);
    }
    rig.transcript.print("line of an earlier roll");
    rig.run(stepDefinition(c.step));
    EXPECT_EQ(rig.transcript.lines(), c.lines);
    EXPECT_EQ(rig.source.left(), 0U);
    EXPECT_EQ(rig.karma.reads, c.karmaReads);
}

const std::string kD4 = "Ein D4 wird gewürfelt: ";
const std::string kD6 = "Ein D6 wird gewürfelt: ";
const std::string kD8 = "Ein D8 wird gewürfelt: ";
const std::string kD10 = "Ein D10 wird gewürfelt: ";
const std::string kD12 = "Ein D12 wird gewürfelt: ";
const std::string kD20 = "Ein D20 wird gewürfelt: ";

INSTANTIATE_TEST_SUITE_P(Steps, StepRolls,
    ::testing::Values(
        RollCase{"step10Plain", 10, "0", {{10, 7}, {6, 3}}, {kD10 + "7", kD6 + "3", "Die Summe lautet: 10"}, 1},
        RollCase{"step1Karma2", 1, "2", {{4, 3}, {6, 2}},
            {kD4 + "3", "Karma +6!", kD6 + "2", "Die Summe lautet: 3 (5-2)"}, 5},
        RollCase{"step8Fumble", 8, "0", {{6, 1}, {6, 1}}, {kD6 + "1", kD6 + "1", "Patzer!"}, 1},
        RollCase{"step1ShowsTwo", 1, "0", {{4, 2}}, {kD4 + "2", "Die Summe lautet: 0 (2-2)"}, 1},
        RollCase{"step1ShowsOne", 1, "0", {{4, 1}}, {kD4 + "1", "Patzer!"}, 1},
        RollCase{"step1KarmaOnes", 1, "1", {{4, 1}, {4, 1}}, {kD4 + "1", "Karma +4!", kD4 + "1", "Patzer!"}, 5},
        RollCase{"step1KarmaTwo", 1, "1", {{4, 1}, {4, 2}},
            {kD4 + "1", "Karma +4!", kD4 + "2", "Die Summe lautet: 1 (3-2)"}, 5},
        RollCase{"step2ShowsTwo", 2, "0", {{4, 2}}, {kD4 + "2", "Die Summe lautet: 1 (2-1)"}, 1},
        RollCase{"step3ShowsThree", 3, "0", {{4, 3}}, {kD4 + "3", "Die Summe lautet: 3"}, 1},
        RollCase{"step1ShowsThree", 1, "0", {{4, 3}}, {kD4 + "3", "Die Summe lautet: 1 (3-2)"}, 1},
        RollCase{"step30AllOnes", 30, "0", {{20, 1}, {10, 1}, {8, 1}, {6, 1}, {6, 1}},
            {kD20 + "1", kD10 + "1", kD8 + "1", kD6 + "1", kD6 + "1", "Patzer!"}, 1},
        RollCase{"step30OneTwo", 30, "0", {{20, 1}, {10, 1}, {8, 2}, {6, 1}, {6, 1}},
            {kD20 + "1", kD10 + "1", kD8 + "2", kD6 + "1", kD6 + "1", "Die Summe lautet: 6"}, 1},
        RollCase{"step40Karma4", 40, "4", {{20, 1}, {20, 1}, {12, 1}, {10, 1}, {8, 1}, {10, 1}},
            {kD20 + "1", kD20 + "1", kD12 + "1", kD10 + "1", kD8 + "1", "Karma +10!", kD10 + "1", "Patzer!"}, 5},
        RollCase{"step40Karma4Sum", 40, "4", {{20, 1}, {20, 1}, {12, 1}, {10, 1}, {8, 1}, {10, 2}},
            {kD20 + "1", kD20 + "1", kD12 + "1", kD10 + "1", kD8 + "1", "Karma +10!", kD10 + "2",
                "Die Summe lautet: 7"},
            5},
        RollCase{"step14D20First", 14, "0", {{20, 5}, {4, 2}}, {kD20 + "5", kD4 + "2", "Die Summe lautet: 7"}, 1},
        RollCase{"step12TwoD10", 12, "0", {{10, 10}, {10, 4}, {10, 3}},
            {kD10 + "10", "Neuer Wurf!", "", kD10 + "4", kD10 + "3", "Die Summe lautet: 17"}, 1},
        RollCase{"step36TwoD20", 36, "3", {{20, 2}, {20, 20}, {20, 1}, {10, 1}, {8, 1}, {4, 1}, {8, 8}, {8, 5}},
            {kD20 + "2", kD20 + "20", "Neuer Wurf!", "", kD20 + "1", kD10 + "1", kD8 + "1", kD4 + "1", "Karma +8!",
                kD8 + "8", "Neuer Wurf!", "", kD8 + "5", "Die Summe lautet: 39"},
            5},
        RollCase{"step7ExplodesNeverFumbles", 7, "0", {{12, 12}, {12, 1}},
            {kD12 + "12", "Neuer Wurf!", "", kD12 + "1", "Die Summe lautet: 13"}, 1},
        // Above 0 but none of 1 to 4: no karma die, yet the karma threshold.
        RollCase{"karmaSevenThreshold", 3, "7", {{4, 2}}, {kD4 + "2", "Patzer!"}, 5},
        RollCase{"karmaSevenSum", 8, "7", {{6, 3}, {6, 1}}, {kD6 + "3", kD6 + "1", "Die Summe lautet: 4"}, 5},
        RollCase{"karmaHalf", 3, "2.5", {{4, 3}}, {kD4 + "3", "Die Summe lautet: 3"}, 5},
        RollCase{"karmaNegative", 3, "-1", {{4, 2}}, {kD4 + "2", "Die Summe lautet: 2"}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

struct ErrorCase {
    const char* name;
    int step;
    std::string karma;
    RollError::Kind kind;
    std::size_t diceLinesBeforeError;
};

class StepRollErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(StepRollErrors, EndTheRollWithoutAResultLine)
{
    const ErrorCase& c = GetParam();
    Rig rig(c.karma);
    rig.source.repeatForever(1, 2);
    try {
        rig.run(stepDefinition(c.step));
        FAIL() << "no error";
    } catch (const RollError& e) {
        EXPECT_EQ(e.kind(), c.kind);
    }
    EXPECT_EQ(rig.transcript.lines().size(), c.diceLinesBeforeError);
}

INSTANTIATE_TEST_SUITE_P(Steps, StepRollErrors,
    ::testing::Values(ErrorCase{"letters", 10, "abc", RollError::Kind::KarmaNotANumber, 2},
        ErrorCase{"empty", 1, "", RollError::Kind::KarmaNotANumber, 1},
        ErrorCase{"trailingJunk", 40, "4x", RollError::Kind::KarmaNotANumber, 5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StepRoll, AStepDiceSumAboveTheSixteenBitRangeIsAnOverflow)
{
    Rig rig("0");
    // First d10: 3276 tens and a 1 make 32761; the second d10 shows 7.
    for (int i = 0; i < 3276; ++i) {
        rig.source.push(10, 10);
    }
    rig.source.push(1, 10);
    rig.source.push(7, 10);
    try {
        rig.run(stepDefinition(12));
        FAIL() << "no overflow";
    } catch (const RollError& e) {
        EXPECT_EQ(e.kind(), RollError::Kind::Overflow);
    }
    EXPECT_EQ(rig.transcript.lines().back(), kD10 + "7");
    EXPECT_EQ(rig.source.left(), 0U);
}

TEST(StepRoll, KarmaDieWidensPastTheSixteenBitRange)
{
    Rig rig("4");
    // Step 3: a d4 that totals 32767 exactly, then a karma d10 of 5.
    for (int i = 0; i < 8191; ++i) {
        rig.source.push(4, 4);
    }
    rig.source.push(3, 4);
    rig.source.push(5, 10);
    rig.run(stepDefinition(3));
    EXPECT_EQ(rig.transcript.lines().back(), "Die Summe lautet: 32772");
}

} // namespace
} // namespace velmora
