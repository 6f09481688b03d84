#include "text/LuckText.h"

#include <cmath>
#include <cstdlib>

namespace velmora::rolltext {

namespace {

// One decimal, with the German comma.
std::string decimal(double value)
{
    const long long tenths = std::llround(value * 10.0);
    return std::to_string(tenths / 10) + "," + std::to_string(std::llabs(tenths % 10));
}

// Between a number and its unit where a line may wrap: never broken apart.
constexpr const char* kNoBreak = "\u00A0";

std::string rolls(int count, const std::string& space)
{
    return std::to_string(count) + space + (count == 1 ? "Wurf" : "Würfe");
}

std::string percent(double luck, const std::string& space) { return std::to_string(luckPercent(luck)) + space + "%"; }

std::string name(const EveningGroup& group, bool spoken)
{
    if (group.talent.empty()) {
        return "Heute";
    }
    if (group.character.empty()) {
        return group.talent;
    }
    return group.character + (spoken ? ", " : ": ") + group.talent;
}

// A talent's chance is said once its rolls could have made an evening
// rarer than one in twenty (five rolls or so): before, any count of them
// above the mean is as common as not, and "1 von 3" would claim a meaning.
constexpr double kRareEnough = 1.0 / 20;

bool tooFew(const EveningGroup& group) { return !group.talent.empty() && group.odds.rarest > kRareEnough; }

} // namespace

std::string luckCell(double luck) { return percent(luck, " "); }

std::string spokenLuck(double luck) { return "Glück " + luckCell(luck); }

std::string eveningLine(const EveningGroup& group)
{
    const EveningOdds& odds = group.odds;
    return name(group, false) + ": " + rolls(odds.rolls, kNoBreak) + ", Glück im Mittel "
        + percent(group.meanLuck, kNoBreak) + ", " + std::to_string(odds.above) + kNoBreak
        + "über dem Mittel (erwartet " + decimal(odds.expectedAbove) + "); so ein Abend: "
        + (tooFew(group) ? std::string("zu wenige Würfe")
                         : "1" + std::string(kNoBreak) + "von" + kNoBreak + std::to_string(oneIn(odds.chance)));
}

std::string spokenEvening(const EveningGroup& group)
{
    const EveningOdds& odds = group.odds;
    return name(group, true) + ", " + rolls(odds.rolls, " ") + ", Glück im Mittel " + luckCell(group.meanLuck) + ", "
        + std::to_string(odds.above) + " über dem Mittel, erwartet " + decimal(odds.expectedAbove) + ", so ein Abend "
        + (tooFew(group) ? std::string("zu wenige Würfe") : "1 von " + std::to_string(oneIn(odds.chance))) + ".";
}

std::string pastEveningLine(const std::string& when, const EveningGroup& group)
{
    const EveningOdds& odds = group.odds;
    return when + ": " + rolls(odds.rolls, " ") + ", Glück im Mittel " + luckCell(group.meanLuck) + ", so ein Abend "
        + (odds.rarest > kRareEnough ? std::string("zu wenige Würfe") : "1 von " + std::to_string(oneIn(odds.chance)));
}

std::string recordLine(const EveningGroup& group, bool spoken)
{
    const EveningOdds& odds = group.odds;
    if (odds.rolls == 0) {
        return "Keine Würfe gewählt.";
    }
    const std::string space = spoken ? " " : kNoBreak;
    std::string line = "Gewählt: " + rolls(odds.rolls, space) + ", Ergebnis im Mittel " + decimal(group.meanResult)
        + (spoken ? ", die Würfel " : " (die Würfel ") + decimal(group.meanOfDice) + (spoken ? ", " : "), ");
    if (group.fumbles < odds.rolls) {
        line += "bestes " + std::to_string(group.best) + ", ";
    }
    line += std::to_string(group.fumbles) + space + "Patzer" + ", Glück im Mittel " + percent(group.meanLuck, space)
        + ", " + std::to_string(odds.above) + space + "über dem Mittel" + (spoken ? ", erwartet " : " (erwartet ")
        + decimal(odds.expectedAbove) + (spoken ? ", " : "); ") + (spoken ? "so selten " : "so selten: ")
        + (odds.rarest > kRareEnough ? std::string("zu wenige Würfe")
                                     : "1" + space + "von" + space + std::to_string(oneIn(odds.chance)));
    return line + (spoken ? "." : "");
}

} // namespace velmora::rolltext
