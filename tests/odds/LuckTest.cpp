#include "odds/Luck.h"
#include "odds/Evening.h"
#include "steps/StepTable.h"
#include "text/LuckText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace velmora {
namespace {

constexpr std::int64_t kHour = 60 * 60 * 1000;

RollRecord rolled(int step, int karmaLevel, RollRecord::Outcome outcome, std::int64_t total)
{
    RollRecord roll;
    roll.step = step;
    roll.karmaLevel = karmaLevel;
    roll.outcome = outcome;
    roll.total = total;
    roll.modifier = stepDefinition(step).modifier;
    return roll;
}

// Worked from the dice: an exploding die of n faces shows 1..n-1 with 1/n
// each, and n plus a new roll with 1/n.
TEST(Luck, OfRollsWorkedByHand)
{
    using Outcome = RollRecord::Outcome;
    const struct {
        const char* what;
        int step;
        int karma;
        Outcome outcome;
        std::int64_t total;
        double luck;
    } cases[] = {
        // d4 - 2: "Patzer!" 1/4 and total 2 with 1/4 below, half of total 3's 1/4.
        {"step 1, sum 1 (3-2)", 1, 0, Outcome::Sum, 3, 0.625},
        {"step 1, Patzer!", 1, 0, Outcome::Fumble, 1, 0.125},
        // d4 + d6: below total 5 are the pairs 1+1 (Patzer!), 1+2, 1+3,
        // 2+1, 2+2, 3+1: 6/24; equal are 1+4, 2+3, 3+2: 3/24, half of it.
        {"step 1 at karma +6, sum 3 (5-2)", 1, 2, Outcome::Sum, 5, 0.3125},
        {"step 3, Patzer!", 3, 0, Outcome::Fumble, 1, 0.125},
        {"step 3 at karma +4, Patzer!", 3, 1, Outcome::Fumble, 2, 1.0 / 32},
        // d20 + d4: the d20 shows a in 1..19, the d4 at most 19 - a; summed
        // over a, P(d4 <= m) for m = 0..18 is 15.6708984375, over 20. Equal:
        // 3/20 * (1/4 + 1/16 + 1/64 + 1/256 + 1/1024) = 1023/20480.
        // Below 7: a + b <= 6, over a = 1..5 P(d4 <= 6 - a) = 13/16 + 3/4 +
        // 3/4 + 1/2 + 1/4 = 49/16; equal: 1+6, 2+5 at 1/16, 4+3, 5+2, 6+1 at 1/4.
        {"step 14, sum 7", 14, 0, Outcome::Sum, 7, 49.0 / 320 + 14.0 / 320 / 2},
        {"step 14, sum 20", 14, 0, Outcome::Sum, 20, 15.6708984375 / 20 + 1023.0 / 20480 / 2},
        // d20 + d20 + d12 + d10 + d8: all ones once in 384000; a sum of 6 is
        // one die showing 2, in five ways.
        {"step 40, Patzer!", 40, 0, Outcome::Fumble, 5, 0.5 / 384000},
        {"step 40, sum 6", 40, 0, Outcome::Sum, 6, 3.5 / 384000},
    };
    OddsCache cache;
    for (const auto& c : cases) {
        const std::optional<double> luck =
            luckOf(cache.odds(c.step, c.karma), rolled(c.step, c.karma, c.outcome, c.total));
        ASSERT_TRUE(luck.has_value()) << c.what;
        EXPECT_NEAR(*luck, c.luck, 1e-9) << c.what;
    }
    EXPECT_FALSE(luckOf(cache.odds(5, 0), rolled(5, 0, Outcome::Error, 0)).has_value());
    EXPECT_EQ(luckPercent(0.625), 63);
    EXPECT_EQ(luckPercent(*luckOf(cache.odds(14, 0), rolled(14, 0, Outcome::Sum, 7))), 18) << "17.5 % goes up";
    EXPECT_EQ(luckPercent(0.8085205078125), 81);
    EXPECT_EQ(luckPercent(0.5 / 384000), 0);
}

// What fair dice give in each band: step 3's d4 puts "Patzer!" at 1/8, a 2
// at 3/8 and a 3 at 5/8, a quarter each; of the exploded 4s, 5 at 25/32, 6 at
// 27/32 and all above at 29/32 or more. Nothing ever lands in 0-10 %.
TEST(Luck, FairDiceFillTheBandsAsTheirFewValuesFall)
{
    OddsCache cache;
    const std::array<double, 10> step3 = fairBands(cache.odds(3, 0));
    const double expected[10] = {0, 0.25, 0, 0.25, 0, 0, 0.25, 1.0 / 16, 1.0 / 16, 1.0 / 8};
    for (std::size_t band = 0; band < 10; ++band) {
        EXPECT_NEAR(step3[band], expected[band], 1e-12) << band;
    }
}

// Step 3's d4 has its mean at 10/3: above it only where it explodes.
TEST(Luck, AboveTheMean)
{
    OddsCache cache;
    EXPECT_NEAR(chanceAboveMean(cache.odds(3, 0)), 0.25, 1e-12);
    EXPECT_TRUE(aboveMean(cache.odds(3, 0), rolled(3, 0, RollRecord::Outcome::Sum, 5)));
    EXPECT_FALSE(aboveMean(cache.odds(3, 0), rolled(3, 0, RollRecord::Outcome::Sum, 3)));
    // 14.4 for d20 + d4.
    EXPECT_TRUE(aboveMean(cache.odds(14, 0), rolled(14, 0, RollRecord::Outcome::Sum, 15)));
    EXPECT_FALSE(aboveMean(cache.odds(14, 0), rolled(14, 0, RollRecord::Outcome::Sum, 14)));
}

// Evenings of two and three rolls, worked by hand.
TEST(Luck, EveningsWorkedByHand)
{
    const struct {
        const char* what;
        std::vector<double> chances;
        std::vector<bool> above;
        double expected;
        double chance;
        std::int64_t oneIn;
        double rarest; // none or all above, whichever is rarer
    } cases[] = {
        // P(0) = 1/2 * 3/4, P(1) = 1/2 * 3/4 + 1/2 * 1/4, P(2) = 1/8.
        {"both above", {0.5, 0.25}, {true, true}, 0.75, 0.125, 8, 0.125},
        {"one above, more than expected", {0.5, 0.25}, {false, true}, 0.75, 0.625, 2, 0.125},
        {"none above, fewer than expected", {0.5, 0.25}, {false, false}, 0.75, 0.375, 3, 0.125},
        {"three of step 3, all above", {0.25, 0.25, 0.25}, {true, true, true}, 0.75, 1.0 / 64, 64, 1.0 / 64},
        {"three of step 3, none above", {0.25, 0.25, 0.25}, {false, false, false}, 0.75, 27.0 / 64, 2, 1.0 / 64},
        {"two, each above nine times in ten", {0.9, 0.9}, {true, true}, 1.8, 0.81, 1, 0.01},
        {"no roll", {}, {}, 0.0, 1.0, 1, 1.0},
    };
    for (const auto& c : cases) {
        const EveningOdds evening = eveningOdds(c.chances, c.above);
        EXPECT_EQ(evening.rolls, static_cast<int>(c.chances.size())) << c.what;
        EXPECT_NEAR(evening.expectedAbove, c.expected, 1e-12) << c.what;
        EXPECT_NEAR(evening.chance, c.chance, 1e-12) << c.what;
        EXPECT_EQ(oneIn(evening.chance), c.oneIn) << c.what;
        EXPECT_NEAR(evening.rarest, c.rarest, 1e-12) << c.what;
    }
    EXPECT_EQ(oneIn(0.0), INT64_MAX);
}

TEST(Luck, TheEveningStartsAfterThreeHoursWithoutARoll)
{
    const struct {
        const char* what;
        std::vector<std::int64_t> when;
        std::int64_t now;
        std::size_t start;
    } cases[] = {
        {"a pause of four hours", {0, 1 * kHour, 5 * kHour, 6 * kHour}, 6 * kHour + 1, 2},
        {"a pause of exactly three hours", {0, 3 * kHour}, 3 * kHour + 1, 1},
        {"just under three hours", {0, 3 * kHour - 1}, 3 * kHour, 0},
        {"three hours since the last roll: nothing yet tonight", {0, kHour}, 4 * kHour, 2},
        {"a clock set back is no pause", {5 * kHour, 0}, kHour, 0},
        {"no roll", {}, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(eveningStart(c.when, c.now), c.start) << c.what;
    }
}

// Tonight in groups: after the pause only, errors in none, a talent's rolls
// in its own group as well. Step 3's luck as worked above: 1/8 for
// "Patzer!", 5/8 for a sum of 3, 25/32 for 5, the only one above the mean.
TEST(Luck, TonightAllAndEachTalent)
{
    using Outcome = RollRecord::Outcome;
    RollLog log;
    auto add = [&log](RollRecord roll, std::int64_t at, const char* talent) {
        roll.character = *talent != 0 ? "Arven" : "";
        roll.talent = talent;
        log.add(roll, "20:00:00", 0, at);
    };
    add(rolled(3, 0, Outcome::Sum, 5), 0, "");
    add(rolled(3, 0, Outcome::Sum, 5), 4 * kHour, "");
    add(rolled(3, 0, Outcome::Fumble, 1), 8 * kHour, "");
    add(rolled(3, 0, Outcome::Sum, 5), 8 * kHour + 1, "Schwertkampf");
    add(rolled(3, 0, Outcome::Error, 0), 8 * kHour + 2, "Schwertkampf");
    add(rolled(3, 0, Outcome::Sum, 3), 8 * kHour + 3, "Schwertkampf");
    OddsCache cache;
    const std::vector<EveningGroup> evening = tonight(log, 9 * kHour, cache);
    ASSERT_EQ(evening.size(), 2U);
    const EveningGroup& all = evening[0];
    EXPECT_TRUE(all.talent.empty());
    EXPECT_EQ(all.odds.rolls, 3);
    EXPECT_EQ(all.odds.above, 1);
    EXPECT_NEAR(all.odds.chance, 37.0 / 64, 1e-9); // at least one of three at 1/4
    EXPECT_NEAR(all.meanLuck, (0.125 + 0.625 + 0.78125) / 3, 1e-9);
    EXPECT_EQ(all.bands, (std::array<int, 10>{0, 1, 0, 0, 0, 0, 1, 1, 0, 0}));
    const EveningGroup& talent = evening[1];
    EXPECT_EQ(talent.character, "Arven");
    EXPECT_EQ(talent.talent, "Schwertkampf");
    EXPECT_EQ(talent.odds.rolls, 2);
    EXPECT_NEAR(talent.odds.chance, 7.0 / 16, 1e-9);
    EXPECT_TRUE(tonight(log, 12 * kHour, cache).empty()) << "three hours after the last roll";
}

// A talent's chance is said only where its rolls could have made an
// evening rarer than one in twenty; tonight's always.
TEST(Luck, ATalentsChanceIsSaidOnlyFromEnoughRolls)
{
    const struct {
        const char* talent;
        int rolls;
        bool said;
    } cases[] = {
        {"Schwertkampf", 4, false}, // at best 1 in 16
        {"Schwertkampf", 5, true}, // 1 in 32 possible
        {"", 2, true},
    };
    for (const auto& c : cases) {
        EveningGroup group;
        group.talent = c.talent;
        group.character = c.talent[0] == '\0' ? "" : "Arven";
        group.odds = eveningOdds(std::vector<double>(static_cast<std::size_t>(c.rolls), 0.5),
            std::vector<bool>(static_cast<std::size_t>(c.rolls), true));
        const std::string shown = rolltext::eveningLine(group);
        const std::string said = rolltext::spokenEvening(group);
        EXPECT_EQ(shown.find("zu wenige Würfe") == std::string::npos, c.said) << shown;
        EXPECT_EQ(said.find("1 von") != std::string::npos, c.said) << said;
    }
}

} // namespace
} // namespace velmora
