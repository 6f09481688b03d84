#include "text/RollCsv.h"

#include "text/RollText.h"

#include <charconv>
#include <vector>

namespace velmora::rollcsv {
namespace {

std::string line(const std::vector<std::string>& fields)
{
    std::string text;
    for (const std::string& f : fields) {
        text += (text.empty() ? "" : ",") + field(f);
    }
    return text + "\r\n";
}

} // namespace

std::string field(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quoted + '"';
}

std::string header()
{
    return line({"Zeit", "Charakter", "Talent", "Stufe", "Karma", "Würfel", "Ergebnis", "Summe", "Glück", "Wurf"});
}

std::string row(const RollLog::Entry& entry, std::string_view isoTime, std::optional<double> luck)
{
    const RollRecord& roll = entry.roll;
    const rolltext::LogCells cells = rolltext::logCells(roll, entry.time);
    // Whatever the program's locale: a point, never a comma.
    char luckText[32] = "";
    if (luck) {
        *std::to_chars(luckText, luckText + sizeof luckText - 1, *luck, std::chars_format::fixed, 4).ptr = '\0';
    }
    char id[17] = "";
    *std::to_chars(id, id + sizeof id - 1, entry.id, 16).ptr = '\0';
    return line({std::string(isoTime), roll.character, roll.talent, std::to_string(roll.step), cells.karma, cells.dice,
        cells.result, roll.outcome == RollRecord::Outcome::Sum ? std::to_string(roll.total) : std::string(), luckText,
        id});
}

} // namespace velmora::rollcsv
