#pragma once

#include "steps/RollLog.h"

#include <QJsonObject>
#include <QString>

#include <optional>
#include <vector>

namespace velmora {

// A roll as the database and the older log file hold it. What comes in is
// checked against the rules one roll at a time: a roll they refuse is
// skipped, never taken in, and never costs the rolls around it.
namespace rollrows {

const char* outcomeName(RollRecord::Outcome outcome);
std::optional<RollRecord::Outcome> outcome(const QString& name);
const char* errorName(RollError::Kind kind);
std::optional<RollError::Kind> error(const QString& name);

// The dice with every face, as compact JSON.
QString diceJson(const std::vector<DieRoll>& dice);
std::optional<std::vector<DieRoll>> dice(const QString& json);

// Whether the rules could have made it: a step of the table, a karma level,
// faces of their dice, a time of day, names as the talents take them.
bool isSound(const RollLog::Entry& entry);

// One roll of the older log file ("log.json"), where it is sound; and a
// roll as that file holds it, as the journal of what could not be written does.
std::optional<RollLog::Entry> fromLogFile(const QJsonObject& roll);
QJsonObject toLogFile(const RollLog::Entry& entry);

} // namespace rollrows
} // namespace velmora
