#include "text/TranscriptText.h"

namespace velmora::text {
namespace {

constexpr std::string_view kDiePrefix = "Ein D";
constexpr std::string_view kDieMiddle = " wird gew\u00fcrfelt: ";

// Broken so that the whole message stays inside the transcript band.
std::string aborted(const std::string& reason)
{
    return "Fehler: " + reason + " \u2013" + br() + kAbortedWords[0] + br() + kAbortedWords[1];
}

} // namespace

std::string br() { return "\r\n"; }

std::string dieLine(int sides, std::int32_t face)
{
    return std::string(kDiePrefix) + std::to_string(sides) + std::string(kDieMiddle) + std::to_string(face);
}

std::string rerollNotice(const std::string& lineBreak) { return "Neuer Wurf!" + lineBreak; }

std::string sumLine(std::int64_t total, int modifier) { return "Die Summe lautet: " + sumValue(total, modifier); }

std::string sumValue(std::int64_t total, int modifier)
{
    if (modifier == 0) {
        return std::to_string(total);
    }
    return std::to_string(total - modifier) + " (" + std::to_string(total) + "-" + std::to_string(modifier) + ")";
}

std::string fumbleLine() { return "Patzer!"; }

std::string errorLine(RollError::Kind kind) { return aborted(errorReason(kind)); }

std::string unexpectedErrorLine() { return aborted(errorReason(std::nullopt)); }

std::string errorReason(std::optional<RollError::Kind> kind)
{
    if (!kind) {
        return "unbekannt";
    }
    switch (*kind) {
    case RollError::Kind::Overflow:
        return "\u00dcberlauf";
    case RollError::Kind::FloatingPoint:
        return "Rechenfehler";
    case RollError::Kind::KarmaNotANumber:
        return "Karma ung\u00fcltig";
    case RollError::Kind::InvalidDieSize:
        return "kein W\u00fcrfel";
    }
    return "unbekannt";
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
