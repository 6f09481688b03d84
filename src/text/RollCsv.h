#pragma once

#include "steps/RollLog.h"

#include <optional>
#include <string>
#include <string_view>

namespace velmora::rollcsv {

// The rolls as a table for a spreadsheet: RFC 4180, comma-separated, each
// line ended by CR LF, a field quoted where it holds a comma, a quote or a
// line break, its quotes doubled. Numbers as numbers, the luck as a
// fraction of 1, the date as given: ISO 8601 with its offset.
std::string header();
std::string row(const RollLog::Entry& entry, std::string_view isoTime, std::optional<double> luck);
std::string field(std::string_view text);

} // namespace velmora::rollcsv
