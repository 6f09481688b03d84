#pragma once

#include "steps/RollRecord.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace velmora::rolltext {

// The lines the band shows for the roll, empty lines included.
std::vector<std::string> bandLines(const RollRecord& roll);
// The step's caption, and the karma die where one was added: "Stufe 14, Karma +6";
// for a talent, "Arven: Schwertkampf (Stufe 14), Karma +6".
std::string header(const RollRecord& roll);
// How the roll ended, on one line: "Summe 32", "Summe 3 (5-2)", "Patzer!",
// or the error.
std::string result(const RollRecord& roll);
// The roll as plain text for the clipboard: the header, with the roll's
// luck where it is given ("Stufe 14, Glück 73 %"), then the band's lines
// without the empty ones, one a line.
std::string copy(const RollRecord& roll, std::optional<double> luck = std::nullopt);
// The roll as one line of the log, after its time of day "hh:mm:ss":
// "20:14:03 Stufe 14, Karma +6 · D20 20+7, D4 3, Karma D6 2 · Summe 32".
std::string logLine(const RollRecord& roll, const std::string& time);

// The log's columns: the time of day, what was rolled ("Stufe 14", "Arven:
// Schwertkampf, Stufe 14"), the karma ("+6", empty without), the result as
// result() writes it but an error by its reason alone ("Fehler: Überlauf"),
// and the dice ("D20 20+7, D4 3, Karma D6 2").
struct LogCells {
    std::string time;
    std::string what;
    std::string karma;
    std::string result;
    std::string dice;
};
LogCells logCells(const RollRecord& roll, const std::string& time);
// The same for speech: "20 Uhr 14", "Arven, Schwertkampf, Stufe 14",
// "Karma plus 6" or "kein Karma", spokenResult() and spokenDice().
LogCells spokenLogCells(const RollRecord& roll, const std::string& time);

// A day of the calendar where the roll was made, as the log names it
// beside its time: nothing for today, "Gestern", "Mi 9.12." and, in
// another year, "Mi 9.12.2025"; spoken "gestern", "Mittwoch, 9. Dezember".
struct Day {
    int year = 1970;
    unsigned month = 1;
    unsigned day = 1;
};
std::string dayLabel(Day day, Day today);
std::string spokenDayLabel(Day day, Day today);

// For speech, without the characters that a screen reader reads aloud at
// its usual punctuation level (colon, parenthesis, dash): the result,
// "Summe 38", "Summe 0, das ist 2 minus 2", "Patzer!" or "Fehler, Überlauf,
// der Wurf wurde abgebrochen."; and the dice, "D20 20 und 5, D4 3, Karma D6 2.",
// at most kSpokenFaces faces and then how many more.
inline constexpr std::size_t kSpokenFaces = 20;
std::string spokenResult(const RollRecord& roll);
std::string spokenDice(const RollRecord& roll);
// All that a screen reader is told of the roll, in this order: the talent
// where one was rolled, the result, then the dice,
// "Schwertkampf, Summe 38. D20 20 und 7, D4 3."; the step first where the
// listener cannot tell it from the focus, as after a re-roll from the log:
// "Stufe 14, Summe 38. D20 20 und 7, D4 3.".
std::string announcement(const RollRecord& roll, bool nameTheStep = false);
// The log's line for speech, its time of day "hh:mm:ss" last and as said:
// "Stufe 14, Karma plus 6, Summe 38, 20 Uhr 14", and for a talent
// "Arven, Schwertkampf, Stufe 14, Karma plus 6, Summe 38, 20 Uhr 14".
std::string spokenLogLine(const RollRecord& roll, const std::string& time);

} // namespace velmora::rolltext
