#include "text/TranscriptText.h"

namespace velmora::text {
namespace {

constexpr std::string_view kDiePrefix = "Ein D";
constexpr std::string_view kDieMiddle = " wird gew\u00fcrfelt: ";

// Broken so that the whole message stays inside the transcript band.
std::string aborted(const char* reason)
{
    return std::string("Fehler: ") + reason + "\r\nder Wurf wurde\r\nabgebrochen.";
}

} // namespace

std::string br()
{
    return "\r\n";
}

std::string dieLine(int sides, std::int32_t face)
{
    return std::string(kDiePrefix) + std::to_string(sides) + std::string(kDieMiddle) + std::to_string(face);
}

std::string rerollNotice(const std::string& lineBreak)
{
    return "Neuer Wurf!" + lineBreak;
}

std::string sumLine(std::int64_t total, int modifier)
{
    std::string line = "Die Summe lautet: ";
    if (modifier == 0) {
        return line + std::to_string(total);
    }
    return line + std::to_string(total - modifier) + " (" + std::to_string(total) + "-"
        + std::to_string(modifier) + ")";
}

std::string fumbleLine()
{
    return "Patzer!";
}

std::string errorLine(RollError::Kind kind)
{
    switch (kind) {
    case RollError::Kind::Overflow:
        return aborted("\u00dcberlauf \u2013");
    case RollError::Kind::FloatingPoint:
        return aborted("Rechenfehler \u2013");
    case RollError::Kind::KarmaNotANumber:
        return aborted("Karma ung\u00fcltig \u2013");
    case RollError::Kind::InvalidDieSize:
        return aborted("kein W\u00fcrfel \u2013");
    }
    return unexpectedErrorLine();
}

std::string unexpectedErrorLine()
{
    return aborted("unbekannt \u2013");
}

bool isDieLine(std::string_view line)
{
    const auto isDigits = [](std::string_view s) {
        return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (!line.starts_with(kDiePrefix)) {
        return false;
    }
    line.remove_prefix(kDiePrefix.size());
    const std::size_t middle = line.find(kDieMiddle);
    return middle != std::string_view::npos && isDigits(line.substr(0, middle))
        && isDigits(line.substr(middle + kDieMiddle.size()));
}

} // namespace velmora::text
