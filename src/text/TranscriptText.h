#pragma once

#include "dice/RollError.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora::text {

// Every text the system writes to the transcript; br is its line break.
std::string br();
std::string dieLine(int sides, std::int32_t face);
std::string rerollNotice(const std::string& lineBreak);
std::string sumLine(std::int64_t total, int modifier);
std::string fumbleLine();
std::string errorLine(RollError::Kind kind);
std::string unexpectedErrorLine();

// Whether a transcript line is the line of one die roll.
bool isDieLine(std::string_view line);

} // namespace velmora::text
