#include "odds/Luck.h"
#include "odds/Evening.h"
#include "steps/StepTable.h"
#include "text/LuckText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
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

namespace velmora {
namespace {

RollFilter chosen(const char* character, const char* talent, int step,
    std::int64_t from = std::numeric_limits<std::int64_t>::min(),
    std::int64_t before = std::numeric_limits<std::int64_t>::max())
{
    RollFilter filter;
    filter.character = character;
    filter.talent = talent;
    filter.step = step;
    filter.from = from;
    filter.before = before;
    return filter;
}

// Every roll kept, looked back on: evenings split at a pause of exactly
// three hours, and the chosen rolls' record. Step 3 is one d4: mean 10/3,
// "Patzer!" on a 1, above the mean on a 4 (1/4).
TEST(LookBack, EveningsAndTheChosenRollsRecord)
{
    using Outcome = RollRecord::Outcome;
    std::vector<RollLog::Entry> rolls;
    const auto add = [&rolls](RollRecord roll, std::int64_t at, const char* character, const char* talent) {
        roll.character = character;
        roll.talent = talent;
        rolls.push_back({roll, "", rolls.size() + 1, at});
    };
    add(rolled(3, 0, Outcome::Sum, 5), 0, "Arven", "Schwertkampf");
    add(rolled(3, 0, Outcome::Fumble, 1), kHour, "Arven", "Schwertkampf");
    add(rolled(3, 0, Outcome::Sum, 3), 4 * kHour, "Borin", "Bogen"); // exactly three hours: a new evening
    add(rolled(3, 0, Outcome::Sum, 5), 7 * kHour - 1, "", ""); // a millisecond short: the same
    add(rolled(3, 0, Outcome::Error, 0), 10 * kHour - 1, "", "");

    const struct {
        const char* what;
        RollFilter filter;
        std::vector<std::uint64_t> chosen; // newest first
        int rolls; // with a luck
        double meanResult;
        std::int64_t best;
        int fumbles;
        double meanLuck;
    } cases[] = {
        {"a character", chosen("Arven", "", 0), {2, 1}, 2, 3.0, 5, 1, (25.0 / 32 + 1.0 / 8) / 2},
        {"a talent", chosen("", "Bogen", 0), {3}, 1, 3.0, 3, 0, 5.0 / 8},
        {"a range: from inclusive, before exclusive", chosen("", "", 0, 4 * kHour, 7 * kHour - 1), {3}, 1, 3.0, 3, 0,
            5.0 / 8},
        {"a step", chosen("", "", 3), {5, 4, 3, 2, 1}, 4, 3.5, 5, 1, (25.0 / 32 + 1.0 / 8 + 5.0 / 8 + 25.0 / 32) / 4},
        {"nothing matches", chosen("", "", 4), {}, 0, 0.0, 0, 0, 0.0},
    };
    for (const auto& c : cases) {
        OddsCache cache;
        LookBack look(c.filter, cache);
        for (const RollLog::Entry& entry : rolls) {
            look.take(entry);
        }
        std::vector<std::uint64_t> chosen;
        for (const RollLog::Entry& entry : look.chosen()) {
            chosen.push_back(entry.id);
        }
        EXPECT_EQ(chosen, c.chosen) << c.what;
        EXPECT_EQ(look.chosenIds().size(), c.chosen.size()) << c.what;
        const EveningGroup record = look.record();
        EXPECT_EQ(record.odds.rolls, c.rolls) << c.what;
        EXPECT_NEAR(record.meanResult, c.meanResult, 1e-9) << c.what;
        EXPECT_NEAR(record.meanOfDice, c.rolls > 0 ? 10.0 / 3 : 0.0, 1e-9) << c.what;
        EXPECT_EQ(record.best, c.best) << c.what;
        EXPECT_EQ(record.fumbles, c.fumbles) << c.what;
        EXPECT_NEAR(record.meanLuck, c.meanLuck, 1e-9) << c.what;

        const std::vector<PastEvening> evenings = look.evenings();
        ASSERT_EQ(evenings.size(), 3U) << c.what;
        EXPECT_EQ(evenings[0].first, 10 * kHour - 1);
        EXPECT_EQ(evenings[0].summary.odds.rolls, 0) << "an error has no luck";
        EXPECT_EQ(evenings[1].first, 4 * kHour);
        EXPECT_EQ(evenings[1].last, 7 * kHour - 1);
        EXPECT_EQ(evenings[1].summary.odds.rolls, 2);
        EXPECT_EQ(evenings[1].summary.odds.above, 1);
        EXPECT_EQ(evenings[2].last, kHour);
        EXPECT_NEAR(evenings[2].summary.meanLuck, (25.0 / 32 + 1.0 / 8) / 2, 1e-9);
        EXPECT_EQ(look.talents().size(), 2U);
    }
    OddsCache cache;
    LookBack none({}, cache);
    none.take(rolls[0]);
    EXPECT_TRUE(none.chosen().empty()) << "without a filter, the evenings only";
}

// An evening ends after three hours as they pass, not as the clock on the
// wall shows them: across midnight, and where daylight saving time begins
// or ends (Berlin, times in UTC ms).
TEST(LookBack, EveningsFollowElapsedTimeNotTheWallClock)
{
    const struct {
        const char* what;
        std::int64_t first;
        std::int64_t second;
        std::size_t evenings;
    } cases[] = {
        {"23:30 and 00:30: one evening across midnight", 1797028200000, 1797031800000, 1},
        {"25.10.2026 00:30 CEST, 02:45 CET: 2:15 on the wall, 3:15 passed", 1792881000000, 1792892700000, 2},
        {"29.3.2026 01:30 CET, 04:45 CEST: 3:15 on the wall, 2:15 passed", 1774744200000, 1774752300000, 1},
    };
    for (const auto& c : cases) {
        OddsCache cache;
        LookBack look({}, cache);
        look.take({rolled(3, 0, RollRecord::Outcome::Sum, 3), "", 1, c.first});
        look.take({rolled(3, 0, RollRecord::Outcome::Sum, 3), "", 2, c.second});
        EXPECT_EQ(look.evenings().size(), c.evenings) << c.what;
    }
}

// Past the newest kShown, a chosen roll is kept by its id only: a year of
// one character's rolls in bounded memory, each still deleted by a clearing.
TEST(LookBack, KeepsTheNewestChosenRollsAndEveryId)
{
    OddsCache cache;
    LookBack look(chosen("", "", 3), cache);
    for (std::uint64_t id = 1; id <= LookBack::kShown + 5; ++id) {
        look.take({rolled(3, 0, RollRecord::Outcome::Sum, 3), "", id, static_cast<std::int64_t>(id)});
    }
    ASSERT_EQ(look.chosen().size(), LookBack::kShown);
    EXPECT_EQ(look.chosen().front().id, LookBack::kShown + 5);
    EXPECT_EQ(look.chosen().back().id, 6U);
    EXPECT_EQ(look.chosenIds().size(), LookBack::kShown + 5);
    EXPECT_EQ(look.record().odds.rolls, static_cast<int>(LookBack::kShown + 5));
}

// Beyond the exact count's reach the normal curve, within two thousandths of
// the binomial worked exactly (Python's integers) for 5,000 rolls at 1/2:
// "1 von 409" for 409.5.
TEST(LookBack, ManyRollsChanceByTheNormalCurve)
{
    const struct {
        int above;
        double chance;
        std::int64_t oneIn;
    } cases[] = {{2550, 0.08074261119868845, 12}, {2450, 0.08074261119868845, 12}, {2600, 0.002441824868758759, 410},
        {2500, 0.50564161374774, 2}};
    for (const auto& c : cases) {
        std::vector<double> chances(5000, 0.5);
        std::vector<bool> above(5000, false);
        std::fill_n(above.begin(), c.above, true);
        const EveningOdds odds = eveningOdds(chances, above);
        EXPECT_NEAR(odds.chance, c.chance, 2e-3 * c.chance) << c.above;
        EXPECT_NEAR(static_cast<double>(oneIn(odds.chance)), static_cast<double>(c.oneIn), 1.0) << c.above;
        EXPECT_EQ(odds.rarest, 0.0) << "2^-5000 is no double";
    }
}

// The record's line: how many, the mean result against the dice's, the
// best, the fumbles, the luck and how rare; too few rolls for a rarity said so.
TEST(LookBack, TheRecordsLine)
{
    OddsCache cache;
    LuckTally tally(cache);
    tally.add(rolled(3, 0, RollRecord::Outcome::Sum, 5));
    tally.add(rolled(3, 0, RollRecord::Outcome::Fumble, 1));
    EXPECT_EQ(rolltext::recordLine(tally.done(), true),
        "Gewählt: 2 Würfe, Ergebnis im Mittel 3,0, die Würfel 3,3, bestes 5, 1 Patzer, Glück im Mittel 45 %, "
        "1 über dem Mittel, erwartet 0,5, so selten zu wenige Würfe.");
    EXPECT_EQ(rolltext::recordLine(LuckTally(cache).done(), false), "Keine Würfe gewählt.");
    // Step 1 takes 2 off its d4: a total of 5 shows 3, the dice's mean 10/3 - 2.
    LuckTally step1(cache);
    step1.add(rolled(1, 0, RollRecord::Outcome::Sum, 5));
    EXPECT_EQ(step1.done().meanResult, 3.0);
    EXPECT_EQ(step1.done().best, 3);
    EXPECT_NEAR(step1.done().meanOfDice, 4.0 / 3, 1e-9);
}

} // namespace
} // namespace velmora
