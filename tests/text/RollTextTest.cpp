#include "text/RollText.h"
#include "dice/DiceEngine.h"
#include "dice/ScriptedSource.h"
#include "karma/KarmaCaption.h"
#include "steps/RollLog.h"
#include "steps/RollReportingErrors.h"
#include "steps/StepTable.h"
#include "text/RollCsv.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace velmora {
namespace {

using fixtures::FrozenClock;
using fixtures::ScriptedSource;

class Caption final : public KarmaCaption {
public:
    std::string caption() const override { return text; }
    std::string text = "0";
};

struct Face {
    int sides;
    int face;
};

struct TextCase {
    const char* name;
    int step;
    const char* karma;
    std::vector<Face> faces;
    const char* copy;
    const char* logLine;
    const char* spoken; // result, then dice
    const char* spokenLog;
};

class RollTexts : public ::testing::TestWithParam<TextCase> {};

// A real roll through the real engine, then its record's text forms,
// written out by hand.
TEST_P(RollTexts, AreMadeFromTheRecordOfTheRoll)
{
    const TextCase& c = GetParam();
    ScriptedSource source;
    FrozenClock clock;
    Caption karma;
    karma.text = c.karma;
    DiceEngine dice(source, clock);
    StepRoll roll(dice, karma);
    for (const Face f : c.faces) {
        source.push(f.face, f.sides);
    }
    const RollRecord record = rollReportingErrors(roll, stepDefinition(c.step));

    EXPECT_EQ(rolltext::copy(record), c.copy);
    EXPECT_EQ(rolltext::logLine(record, "20:14:03"), c.logLine);
    const std::string spoken = rolltext::spokenResult(record) + " | " + rolltext::spokenDice(record);
    EXPECT_EQ(spoken, c.spoken);
    EXPECT_EQ(spoken.find_first_of(":()-\u2013"), std::string::npos) << "read aloud as punctuation";
    const std::string spokenLog = rolltext::spokenLogLine(record, "20:04:03");
    EXPECT_EQ(spokenLog, c.spokenLog);
    EXPECT_EQ(spokenLog.find_first_of(":()-+\u2013\u00b7"), std::string::npos) << "read aloud as punctuation";
}

INSTANTIATE_TEST_SUITE_P(Rolls, RollTexts,
    ::testing::Values(
        TextCase{"Plain", 14, "0", {{20, 7}, {4, 3}},
            "Stufe 14\nEin D20 wird gewürfelt: 7\nEin D4 wird gewürfelt: 3\nDie Summe lautet: 10",
            "20:14:03 Stufe 14 · D20 7, D4 3 · Summe 10", "Summe 10 | D20 7, D4 3.", "Stufe 14, Summe 10, 20 Uhr 4"},
        TextCase{"RolledAgainWithKarma", 14, "2", {{20, 20}, {20, 7}, {4, 3}, {6, 6}, {6, 2}},
            "Stufe 14, Karma +6\nEin D20 wird gewürfelt: 20\nNeuer Wurf!\nEin D20 wird gewürfelt: 7\n"
            "Ein D4 wird gewürfelt: 3\nKarma +6!\nEin D6 wird gewürfelt: 6\nNeuer Wurf!\n"
            "Ein D6 wird gewürfelt: 2\nDie Summe lautet: 38",
            "20:14:03 Stufe 14, Karma +6 · D20 20+7, D4 3, Karma D6 6+2 · Summe 38",
            "Summe 38 | D20 20 und 7, D4 3, Karma D6 6 und 2.", "Stufe 14, Karma plus 6, Summe 38, 20 Uhr 4"},
        TextCase{"Fumble", 8, "0", {{6, 1}, {6, 1}},
            "Stufe 08\nEin D6 wird gewürfelt: 1\nEin D6 wird gewürfelt: 1\nPatzer!",
            "20:14:03 Stufe 08 · D6 1, D6 1 · Patzer!", "Patzer! | D6 1, D6 1.", "Stufe 08, Patzer! 20 Uhr 4"},
        TextCase{"StepOne", 1, "1", {{4, 3}, {4, 2}},
            "Stufe 01, Karma +4\nEin D4 wird gewürfelt: 3\nKarma +4!\nEin D4 wird gewürfelt: 2\n"
            "Die Summe lautet: 3 (5-2)",
            "20:14:03 Stufe 01, Karma +4 · D4 3, Karma D4 2 · Summe 3 (5-2)",
            "Summe 3, das ist 5 minus 2 | D4 3, Karma D4 2.",
            "Stufe 01, Karma plus 4, Summe 3, das ist 5 minus 2, 20 Uhr 4"},
        TextCase{"StepTwo", 2, "0", {{4, 2}}, "Stufe 02\nEin D4 wird gewürfelt: 2\nDie Summe lautet: 1 (2-1)",
            "20:14:03 Stufe 02 · D4 2 · Summe 1 (2-1)", "Summe 1, das ist 2 minus 1 | D4 2.",
            "Stufe 02, Summe 1, das ist 2 minus 1, 20 Uhr 4"},
        // The script runs out after a highest face: the source fails as an
        // error the rules do not know, and the roll stops there.
        TextCase{"Error", 3, "0", {{4, 4}},
            "Stufe 03\nEin D4 wird gewürfelt: 4\nNeuer Wurf!\nFehler: unbekannt –\nder Wurf wurde\nabgebrochen.",
            "20:14:03 Stufe 03 · D4 4 · Fehler: unbekannt – der Wurf wurde abgebrochen.",
            "Fehler, unbekannt, der Wurf wurde abgebrochen. | D4 4.",
            "Stufe 03, Fehler, unbekannt, der Wurf wurde abgebrochen. 20 Uhr 4"}),
    [](const auto& info) { return std::string(info.param.name); });

// A chain of highest faces that passes the 16-bit range stops at that face,
// without its notice, and then says why.
TEST(RollText, AnOverflowEndsTheBandAtTheFaceThatCausedIt)
{
    ScriptedSource source;
    FrozenClock clock;
    Caption karma;
    DiceEngine dice(source, clock);
    StepRoll roll(dice, karma);
    source.repeatForever(4, 4);
    const RollRecord record = rollReportingErrors(roll, stepDefinition(3));
    EXPECT_EQ(record.outcome, RollRecord::Outcome::Error);
    ASSERT_EQ(record.dice.at(0).faces.size(), 8192U);
    const std::vector<std::string> band = rolltext::bandLines(record);
    ASSERT_EQ(band.size(), 3 * 8192U - 2 + 3);
    EXPECT_EQ(band[3 * 8192 - 3], "Ein D4 wird gewürfelt: 4");
    EXPECT_EQ(band[3 * 8192 - 2], "Fehler: Überlauf –");
    EXPECT_EQ(rolltext::result(record), "Fehler: Überlauf – der Wurf wurde abgebrochen.");
    // Hours of speech otherwise: the first faces, then how many more.
    EXPECT_EQ(rolltext::spokenResult(record), "Fehler, Überlauf, der Wurf wurde abgebrochen.");
    EXPECT_EQ(rolltext::spokenDice(record),
        "D4 4 und 4 und 4 und 4 und 4 und 4 und 4 und 4 und 4 und 4 und 4 und 4 "
        "und 4 und 4 und 4 und 4 und 4 und 4 und 4 und 4, und 8172 weitere Würfe.");
}

// A talent's roll carries the names wherever the roll is told, and the
// band alone stays the step's.
TEST(RollText, ATalentsRollIsNamedInEveryFormButTheBand)
{
    RollRecord step;
    step.step = 14;
    step.karmaLevel = 2;
    step.dice = {{20, false, {20, 7}}, {4, false, {3}}, {6, true, {2}}};
    step.outcome = RollRecord::Outcome::Sum;
    step.total = 32;
    RollRecord talent = step;
    talent.character = "Arven";
    talent.talent = "Schwertkampf";
    EXPECT_EQ(rolltext::bandLines(talent), rolltext::bandLines(step));
    EXPECT_EQ(rolltext::header(talent), "Arven: Schwertkampf (Stufe 14), Karma +6");
    EXPECT_EQ(rolltext::copy(talent).substr(0, rolltext::copy(talent).find('\n')),
        "Arven: Schwertkampf (Stufe 14), Karma +6");
    const std::string lucky = rolltext::copy(talent, 0.73);
    EXPECT_EQ(lucky.substr(0, lucky.find('\n')), "Arven: Schwertkampf (Stufe 14), Karma +6, Glück 73 %");
    EXPECT_EQ(lucky.substr(lucky.find('\n')), rolltext::copy(talent).substr(rolltext::copy(talent).find('\n')));
    EXPECT_EQ(rolltext::logLine(talent, "21:15:02"),
        "21:15:02 Arven: Schwertkampf (Stufe 14), Karma +6 · D20 20+7, D4 3, Karma D6 2 · Summe 32");
    EXPECT_EQ(rolltext::spokenLogLine(talent, "21:15:02"),
        "Arven, Schwertkampf, Stufe 14, Karma plus 6, Summe 32, 21 Uhr 15");
    EXPECT_EQ(rolltext::announcement(talent), "Schwertkampf, Summe 32. D20 20 und 7, D4 3, Karma D6 2.");
    EXPECT_EQ(rolltext::announcement(talent, true), rolltext::announcement(talent));
}

// What a screen reader is told: the result first, then the dice, one
// sentence each, whatever the result ends in.
TEST(RollText, TheAnnouncementTellsTheResultBeforeTheDice)
{
    RollRecord sum;
    sum.step = 14;
    sum.dice = {{20, false, {20, 7}}, {4, false, {3}}};
    sum.outcome = RollRecord::Outcome::Sum;
    sum.total = 30;
    RollRecord fumble;
    fumble.step = 8;
    fumble.dice = {{6, false, {1}}, {6, false, {1}}};
    fumble.outcome = RollRecord::Outcome::Fumble;
    RollRecord error = fumble;
    error.outcome = RollRecord::Outcome::Error;
    error.error = RollError::Kind::Overflow;
    EXPECT_EQ(rolltext::announcement(sum), "Summe 30. D20 20 und 7, D4 3.");
    EXPECT_EQ(rolltext::announcement(fumble), "Patzer! D6 1, D6 1.");
    EXPECT_EQ(rolltext::announcement(error), "Fehler, Überlauf, der Wurf wurde abgebrochen. D6 1, D6 1.");
    // Named where the focus does not tell it; a talent names itself.
    EXPECT_EQ(rolltext::announcement(sum, true), "Stufe 14, Summe 30. D20 20 und 7, D4 3.");
    EXPECT_EQ(rolltext::announcement(fumble, true), "Stufe 08, Patzer! D6 1, D6 1.");
}

TEST(RollLog, KeepsTheLatestThousandRollsOldestFirst)
{
    RollLog log;
    for (int i = 1; i <= 1001; ++i) {
        RollRecord roll;
        roll.step = i % 40 + 1;
        log.add(roll, std::to_string(i));
    }
    ASSERT_EQ(log.size(), RollLog::kCapacity);
    EXPECT_EQ(log[0].time, "2");
    EXPECT_EQ(log.latest().time, "1001");
    EXPECT_EQ(log.latest().roll.step, 1001 % 40 + 1);
}

// Once full, each roll takes over the storage of the oldest: nothing of
// what that one held may show through, whatever the number of dice.
TEST(RollLog, AFullLogHoldsEveryRollAsItWasRolled)
{
    // Every field with a period prime to the capacity, so that a slot's
    // next roll differs from its last in each.
    const auto rollNumber = [](int n) {
        RollRecord roll;
        roll.step = n % 39 + 1;
        roll.karmaLevel = n % 7 % 5;
        // 0 to 6 dice, with 1 to 4 faces each: more and fewer than the
        // roll before in the same place.
        for (int d = 0; d < (n * 7) % 11 % 7; ++d) {
            DieRoll die{static_cast<std::int16_t>(4 + 2 * d), d == 0 && n % 7 == 1, {}};
            for (int f = 0; f <= (n + d) % 3; ++f) {
                die.faces.push_back(n * 10 + d + f);
            }
            roll.dice.push_back(die);
        }
        roll.outcome = n % 3 == 0 ? RollRecord::Outcome::Error : RollRecord::Outcome::Sum;
        if (n % 7 == 0) {
            roll.error = RollError::Kind::Overflow;
        }
        roll.total = n;
        roll.modifier = n % 3;
        if (n % 7 < 3) {
            roll.character = n % 3 == 0 ? "Arven" : "Brom von der langen Küste, Sohn des Erik";
            roll.talent = "Talent " + std::to_string(n);
        }
        return roll;
    };
    RollLog log;
    constexpr int kRolls = 3 * static_cast<int>(RollLog::kCapacity) + 17;
    for (int n = 1; n <= kRolls; ++n) {
        log.add(rollNumber(n), std::to_string(n));
    }
    ASSERT_EQ(log.size(), RollLog::kCapacity);
    for (std::size_t i = 0; i < log.size(); ++i) {
        const int n = kRolls - static_cast<int>(RollLog::kCapacity) + 1 + static_cast<int>(i);
        const RollRecord want = rollNumber(n);
        const RollRecord& got = log[i].roll;
        ASSERT_EQ(log[i].time, std::to_string(n));
        ASSERT_EQ(got.dice.size(), want.dice.size()) << n;
        for (std::size_t d = 0; d < want.dice.size(); ++d) {
            EXPECT_EQ(got.dice[d].sides, want.dice[d].sides) << n;
            EXPECT_EQ(got.dice[d].karma, want.dice[d].karma) << n;
            EXPECT_EQ(got.dice[d].faces, want.dice[d].faces) << n;
        }
        EXPECT_EQ(std::tie(got.step, got.karmaLevel, got.outcome, got.total, got.modifier, got.error, got.character,
                      got.talent),
            std::tie(want.step, want.karmaLevel, want.outcome, want.total, want.modifier, want.error, want.character,
                want.talent))
            << n;
    }
}

} // namespace
} // namespace velmora

namespace velmora {
namespace {

// A roll's day beside its time, shown and heard; today has none. The
// weekdays are the calendar's, looked up by hand.
TEST(RollText, ADayIsNamedAsTheLogShowsAndSaysIt)
{
    const rolltext::Day today{2026, 12, 11}; // a Friday
    const struct {
        rolltext::Day day;
        const char* shown;
        const char* said;
    } cases[] = {
        {{2026, 12, 11}, "", ""}, {{2026, 12, 10}, "Gestern", "gestern"},
        {{2026, 12, 9}, "Mi 9.12.", "Mittwoch, 9. Dezember"}, {{2026, 11, 30}, "Mo 30.11.", "Montag, 30. November"},
        {{2026, 3, 1}, "So 1.3.", "Sonntag, 1. März"}, {{2025, 12, 31}, "Mi 31.12.2025", "Mittwoch, 31. Dezember 2025"},
        {{2026, 12, 12}, "Sa 12.12.", "Samstag, 12. Dezember"}, // a clock set back since
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rolltext::dayLabel(c.day, today), c.shown) << c.shown;
        EXPECT_EQ(rolltext::spokenDayLabel(c.day, today), c.said) << c.said;
    }
    EXPECT_EQ(rolltext::dayLabel({2026, 12, 31}, {2027, 1, 1}), "Gestern") << "across the year's end";
}

// A field of a CSV line, as RFC 4180 wants it: quoted only where it must
// be, its quotes doubled.
TEST(RollCsv, AFieldIsQuotedWhereItMustBe)
{
    const struct {
        const char* text;
        const char* field;
    } cases[] = {
        {"Wahrnehmung", "Wahrnehmung"},
        {"", ""},
        {"Schwert, Kampf", "\"Schwert, Kampf\""},
        {"der \"Schnelle\"", "\"der \"\"Schnelle\"\"\""},
        {"zwei\nZeilen", "\"zwei\nZeilen\""},
        {"Wagen\rRücklauf", "\"Wagen\rRücklauf\""},
        {"Glück 73 %", "Glück 73 %"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rollcsv::field(c.text), c.field) << c.text;
    }
    EXPECT_EQ(rollcsv::header().substr(rollcsv::header().size() - 2), "\r\n");
}

} // namespace
} // namespace velmora
