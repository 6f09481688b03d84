#include "text/RollText.h"

#include "karma/KarmaState.h"
#include "steps/StepTable.h"
#include "text/LuckText.h"
#include "text/TranscriptModel.h"
#include "text/TranscriptText.h"

#include <chrono>
#include <cstdint>
#include <limits>

namespace velmora::rolltext {
namespace {

const KarmaLevel* karmaOf(const RollRecord& roll)
{
    for (const KarmaLevel& level : karmaTable()) {
        if (level.level == roll.karmaLevel) {
            return &level;
        }
    }
    return nullptr;
}

std::string errorText(const RollRecord& roll)
{
    return roll.error ? text::errorLine(*roll.error) : text::unexpectedErrorLine();
}

// How the roll ended, as written on one line, "Summe 3 (5-2)", or as said,
// "Summe 3, das ist 5 minus 2", without what speech would name aloud.
std::string outcome(const RollRecord& roll, bool spoken)
{
    const std::string aborted = std::string(text::kAbortedWords[0]) + " " + text::kAbortedWords[1];
    switch (roll.outcome) {
    case RollRecord::Outcome::Sum:
        if (!spoken || roll.modifier == 0) {
            return "Summe " + (spoken ? std::to_string(roll.total) : text::sumValue(roll.total, roll.modifier));
        }
        return "Summe " + std::to_string(roll.total - roll.modifier) + ", das ist " + std::to_string(roll.total)
            + " minus " + std::to_string(roll.modifier);
    case RollRecord::Outcome::Fumble:
        return text::fumbleLine();
    case RollRecord::Outcome::Error:
        return spoken ? "Fehler, " + text::errorReason(roll.error) + ", " + aborted
                      : "Fehler: " + text::errorReason(roll.error) + " \u2013 " + aborted;
    case RollRecord::Outcome::Unfinished:
        break;
    }
    return {};
}

} // namespace

std::vector<std::string> bandLines(const RollRecord& roll)
{
    // Printed through the transcript's own rules, so that the lines are
    // exactly those the roll wrote.
    TranscriptModel band;
    for (const DieRoll& die : roll.dice) {
        if (die.karma && karmaOf(roll) != nullptr) {
            band.print(karmaOf(roll)->line);
        }
        // A chain that passes the 16-bit range stops at that face, before
        // its notice; every other highest face rolls again.
        std::int64_t chain = 0;
        for (const std::int32_t face : die.faces) {
            band.print(text::dieLine(die.sides, face));
            chain += face;
            if (face == die.sides && chain <= std::numeric_limits<std::int16_t>::max()) {
                band.print(text::rerollNotice(text::br()));
            }
        }
    }
    switch (roll.outcome) {
    case RollRecord::Outcome::Sum:
        band.print(text::sumLine(roll.total, roll.modifier));
        break;
    case RollRecord::Outcome::Fumble:
        band.print(text::fumbleLine());
        break;
    case RollRecord::Outcome::Error:
        band.print(errorText(roll));
        break;
    case RollRecord::Outcome::Unfinished:
        break;
    }
    return band.lines();
}

std::string header(const RollRecord& roll)
{
    std::string text = stepCaption(roll.step);
    if (!roll.talent.empty()) {
        text = (roll.character.empty() ? "" : roll.character + ": ") + roll.talent + " (" + text + ")";
    }
    if (const KarmaLevel* karma = karmaOf(roll)) {
        text += ", " + karmaName(karma->level);
    }
    return text;
}

std::string result(const RollRecord& roll) { return outcome(roll, false); }

std::string copy(const RollRecord& roll, std::optional<double> luck)
{
    std::string text = header(roll);
    if (luck) {
        text += ", " + spokenLuck(*luck);
    }
    for (const std::string& line : bandLines(roll)) {
        if (!line.empty()) {
            text += "\n" + line;
        }
    }
    return text;
}

LogCells logCells(const RollRecord& roll, const std::string& time)
{
    LogCells cells;
    cells.time = time;
    cells.what = stepCaption(roll.step);
    if (!roll.talent.empty()) {
        cells.what = (roll.character.empty() ? "" : roll.character + ": ") + roll.talent + ", " + cells.what;
    }
    if (const KarmaLevel* karma = karmaOf(roll)) {
        cells.karma = "+" + std::to_string(karma->die);
    }
    // An error by its reason: the rest is the tooltip's whole line.
    cells.result =
        roll.outcome == RollRecord::Outcome::Error ? "Fehler: " + text::errorReason(roll.error) : result(roll);
    for (const DieRoll& die : roll.dice) {
        cells.dice += cells.dice.empty() ? "" : ", ";
        cells.dice += (die.karma ? "Karma D" : "D") + std::to_string(die.sides) + " ";
        for (std::size_t f = 0; f < die.faces.size(); ++f) {
            cells.dice += (f == 0 ? "" : "+") + std::to_string(die.faces[f]);
        }
    }
    return cells;
}

LogCells spokenLogCells(const RollRecord& roll, const std::string& time)
{
    LogCells cells;
    // The log keeps its times as "hh:mm:ss"; a listener wants hours and
    // minutes, without leading zeros.
    const auto number = [&time](std::size_t at) {
        return at + 2 <= time.size() ? std::to_string((time[at] - '0') * 10 + (time[at + 1] - '0')) : std::string();
    };
    if (time.size() >= 5) {
        const std::string minutes = number(3);
        cells.time = number(0) + " Uhr" + (minutes == "0" ? "" : " " + minutes);
    }
    cells.what = stepCaption(roll.step);
    if (!roll.talent.empty()) {
        cells.what = (roll.character.empty() ? "" : roll.character + ", ") + roll.talent + ", " + cells.what;
    }
    const KarmaLevel* karma = karmaOf(roll);
    cells.karma = karma != nullptr ? "Karma plus " + std::to_string(karma->die) : "kein Karma";
    cells.result = spokenResult(roll);
    cells.dice = spokenDice(roll);
    return cells;
}

namespace {

std::chrono::sys_days daysOf(Day day)
{
    return std::chrono::year_month_day{
        std::chrono::year{day.year}, std::chrono::month{day.month}, std::chrono::day{day.day}};
}

// What to call a day other than today: yesterday by name, else its weekday
// and date, the year where it is not this one's.
template <typename Words>
std::string nameDay(Day day, Day today, const Words& words)
{
    const auto days = (daysOf(today) - daysOf(day)).count();
    if (days == 0) {
        return {};
    }
    if (days == 1) {
        return words.yesterday;
    }
    const unsigned weekday = std::chrono::weekday{daysOf(day)}.iso_encoding(); // 1 Monday, 7 Sunday
    return words.date(weekday - 1, day, day.year != today.year);
}

} // namespace

std::string dayLabel(Day day, Day today)
{
    struct {
        std::string yesterday = "Gestern";
        std::string date(unsigned weekday, Day d, bool withYear) const
        {
            static constexpr const char* kDays[] = {"Mo", "Di", "Mi", "Do", "Fr", "Sa", "So"};
            return std::string(kDays[weekday]) + ' ' + std::to_string(d.day) + '.' + std::to_string(d.month) + '.'
                + (withYear ? std::to_string(d.year) : std::string());
        }
    } words;
    return nameDay(day, today, words);
}

std::string spokenDayLabel(Day day, Day today)
{
    struct {
        std::string yesterday = "gestern";
        std::string date(unsigned weekday, Day d, bool withYear) const
        {
            static constexpr const char* kDays[] = {
                "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag", "Sonntag"};
            static constexpr const char* kMonths[] = {"Januar", "Februar", "März", "April", "Mai", "Juni", "Juli",
                "August", "September", "Oktober", "November", "Dezember"};
            return std::string(kDays[weekday]) + ", " + std::to_string(d.day) + ". " + kMonths[(d.month - 1) % 12]
                + (withYear ? ' ' + std::to_string(d.year) : std::string());
        }
    } words;
    return nameDay(day, today, words);
}

std::string logLine(const RollRecord& roll, const std::string& time)
{
    const LogCells cells = logCells(roll, time);
    return time + " " + header(roll) + " \u00b7 " + cells.dice + " \u00b7 " + result(roll);
}

std::string spokenLogLine(const RollRecord& roll, const std::string& time)
{
    const LogCells cells = spokenLogCells(roll, time);
    std::string text = cells.what + (karmaOf(roll) != nullptr ? ", " + cells.karma : "") + ", " + cells.result;
    if (!cells.time.empty()) {
        const bool ended = !cells.result.empty() && (cells.result.back() == '!' || cells.result.back() == '.');
        text += (ended ? " " : ", ") + cells.time;
    }
    return text;
}

std::string announcement(const RollRecord& roll, bool nameTheStep)
{
    const std::string result = spokenResult(roll);
    const bool ended = !result.empty() && (result.back() == '.' || result.back() == '!');
    const std::string what = !roll.talent.empty() ? roll.talent + ", "
        : nameTheStep                             ? stepCaption(roll.step) + ", "
                                                  : "";
    return what + result + (ended ? " " : ". ") + spokenDice(roll);
}

std::string spokenResult(const RollRecord& roll) { return outcome(roll, true); }

std::string spokenDice(const RollRecord& roll)
{
    std::string text;
    std::size_t spoken = 0;
    std::size_t total = 0;
    for (const DieRoll& die : roll.dice) {
        for (std::size_t f = 0; f < die.faces.size(); ++f, ++total) {
            if (spoken == kSpokenFaces) {
                continue;
            }
            if (f == 0) {
                text += (text.empty() ? "" : ", ") + std::string(die.karma ? "Karma D" : "D")
                    + std::to_string(die.sides) + " ";
            } else {
                text += " und ";
            }
            text += std::to_string(die.faces[f]);
            ++spoken;
        }
    }
    if (total > spoken) {
        text += ", und " + std::to_string(total - spoken) + " weitere W\u00fcrfe";
    }
    return text.empty() ? text : text + ".";
}

} // namespace velmora::rolltext
