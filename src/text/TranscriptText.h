#pragma once

#include "dice/RollError.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::text {

// Every text the system writes to the transcript; br is its line break.
std::string br();
std::string dieLine(int sides, std::int32_t face);
std::string rerollNotice(const std::string& lineBreak);
std::string sumLine(std::int64_t total, int modifier);
// The sum as the sum line gives it after its words: "32", or "3 (5-2)".
std::string sumValue(std::int64_t total, int modifier);
std::string fumbleLine();
std::string errorLine(RollError::Kind kind);
std::string unexpectedErrorLine();
// What the error line says was wrong, "Überlauf"; without a kind, an error
// that the rules do not know.
std::string errorReason(std::optional<RollError::Kind> kind);
// The words after the reason, on the error line's two further lines.
inline constexpr const char* kAbortedWords[] = {"der Wurf wurde", "abgebrochen."};

// Whether a transcript line is the line of one die roll.
bool isDieLine(std::string_view line);

} // namespace velmora::text
