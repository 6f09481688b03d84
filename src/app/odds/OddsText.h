#pragma once

#include "odds/Odds.h"

#include <QString>

#include <array>

namespace velmora {

inline constexpr int kKarmaColumns = kHighestKarmaLevel + 1;

// One step's odds at the five karma levels, 0 (none) to 4.
using StepOddsSet = std::array<const RollOdds*, kKarmaColumns>;
StepOddsSet stepOddsSet(OddsCache& cache, int step);

// A chance in per cent with one decimal and a comma: "37,5 %". A chance that
// would round to 0,0 or 100,0 without being so reads "< 0,1 %" or
// "> 99,9 %": a roll that can happen is never shown as impossible, nor one
// that can fail as certain.
QString percentText(double chance);
// A mean, never negative, with one decimal and a comma: "14,4".
QString decimalText(double value);

// The step's dice in roll order, with the deduction: "D20 + D4", "D4 − 2".
QString diceText(int step);
// "ohne Karma", "Karma +4" .. "Karma +10".
QString karmaColumnTitle(int karmaLevel);

// Tooltip of a step button: its dice and mean, and at a chosen karma level
// the mean with the karma die as well; and the same for speech, its
// accessible description.
QString stepButtonDescription(int step, int karmaLevel);
QString stepButtonSpokenDescription(int step, int karmaLevel);

// The table's last minimum roll: the first one at which every column's
// chance is below 0.1 %.
int lastMinimumRoll(const StepOddsSet& odds);

} // namespace velmora
