#pragma once

#include "odds/Evening.h"

#include <string>

namespace velmora::rolltext {

// A roll's luck as the log shows it, "73 %", and as it is said, "Glück 73 %".
std::string luckCell(double luck);
std::string spokenLuck(double luck);

// Tonight at a glance: "Heute: 30 Würfe, Glück im Mittel 54 %, 17 über dem
// Mittel (erwartet 14,2); so ein Abend: 1 von 6". A talent's group starts
// with its name instead, "Arven: Schwertkampf: 4 Würfe, …", and where its
// rolls are too few to make a rare evening, "so ein Abend: zu wenige
// Würfe". Numbers are held to their units by no-break spaces, for a line
// that wraps.
std::string eveningLine(const EveningGroup& group);
// The same for speech, without colons and parentheses, in under 25 words.
std::string spokenEvening(const EveningGroup& group);

// A past evening in the list, after its date and time: "Mi 9.12., 19:02:
// 120 Würfe, Glück im Mittel 52 %, so ein Abend 1 von 3".
std::string pastEveningLine(const std::string& when, const EveningGroup& group);
// The chosen rolls' record: how many, their mean result against the mean
// of their dice, the best, the "Patzer!", their luck and how rare that is.
std::string recordLine(const EveningGroup& group, bool spoken);

} // namespace velmora::rolltext
