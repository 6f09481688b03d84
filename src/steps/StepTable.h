#pragma once

#include "steps/StepDefinition.h"

#include <span>
#include <string>

namespace velmora {

inline constexpr int kFirstStep = 1;
inline constexpr int kLastStep = 40;

// All forty rows, in step order.
std::span<const StepDefinition> stepTable();
// Row of step 1..40; throws std::out_of_range for any other number.
const StepDefinition& stepDefinition(int step);
// "Stufe " followed by the step in two digits.
std::string stepCaption(int step);

} // namespace velmora
