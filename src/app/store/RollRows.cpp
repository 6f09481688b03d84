#include "app/store/RollRows.h"

#include "steps/StepTable.h"
#include "talents/Roster.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace velmora::rollrows {
namespace {

constexpr std::array<std::pair<RollRecord::Outcome, const char*>, 4> kOutcomes{
    {{RollRecord::Outcome::Unfinished, "unfinished"}, {RollRecord::Outcome::Sum, "sum"},
        {RollRecord::Outcome::Fumble, "fumble"}, {RollRecord::Outcome::Error, "error"}}};
constexpr std::array<std::pair<RollError::Kind, const char*>, 4> kErrors{{{RollError::Kind::Overflow, "overflow"},
    {RollError::Kind::FloatingPoint, "floating-point"}, {RollError::Kind::KarmaNotANumber, "karma-not-a-number"},
    {RollError::Kind::InvalidDieSize, "invalid-die-size"}}};

template <typename Enum, std::size_t N>
const char* nameOf(const std::array<std::pair<Enum, const char*>, N>& names, Enum value)
{
    for (const auto& [e, n] : names) {
        if (e == value) {
            return n;
        }
    }
    return "";
}

template <typename Enum, std::size_t N>
std::optional<Enum> valueOf(const std::array<std::pair<Enum, const char*>, N>& names, const QString& name)
{
    for (const auto& [e, n] : names) {
        if (name == QLatin1String(n)) {
            return e;
        }
    }
    return std::nullopt;
}

bool isWhole(const QJsonValue& value, double lowest, double highest)
{
    // The range first: a cast of a double beyond it would be undefined.
    const double v = value.toDouble();
    return value.isDouble() && v >= lowest && v <= highest && std::trunc(v) == v;
}

bool isName(const std::string& name) { return !nameRefusal(name) && trimmedName(name) == name; }

// Beyond these, a date or a sum no roll had: the end of the year 9999, and
// sums far from any the dice make, whose arithmetic would overflow.
constexpr std::int64_t kLatestWhen = 253'402'300'799'999;
constexpr std::int64_t kLargestTotal = 9'000'000'000'000'000;

} // namespace

const char* outcomeName(RollRecord::Outcome outcome) { return nameOf(kOutcomes, outcome); }
std::optional<RollRecord::Outcome> outcome(const QString& name) { return valueOf(kOutcomes, name); }
const char* errorName(RollError::Kind kind) { return nameOf(kErrors, kind); }
std::optional<RollError::Kind> error(const QString& name) { return valueOf(kErrors, name); }

QString diceJson(const std::vector<DieRoll>& dice)
{
    QJsonArray all;
    for (const DieRoll& die : dice) {
        QJsonArray faces;
        for (const std::int32_t face : die.faces) {
            faces.append(face);
        }
        all.append(QJsonObject{{QStringLiteral("sides"), die.sides}, {QStringLiteral("karma"), die.karma},
            {QStringLiteral("faces"), faces}});
    }
    return QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Compact));
}

namespace {

std::optional<std::vector<DieRoll>> diceOf(const QJsonValue& value)
{
    if (!value.isArray()) {
        return std::nullopt;
    }
    std::vector<DieRoll> dice;
    for (const QJsonValue& d : value.toArray()) {
        const QJsonObject die = d.toObject();
        if (!isWhole(die.value(QStringLiteral("sides")), 1, 1000) || !die.value(QStringLiteral("karma")).isBool()
            || !die.value(QStringLiteral("faces")).isArray()) {
            return std::nullopt;
        }
        DieRoll& to = dice.emplace_back();
        to.sides = static_cast<std::int16_t>(die.value(QStringLiteral("sides")).toInt());
        to.karma = die.value(QStringLiteral("karma")).toBool();
        for (const QJsonValue& face : die.value(QStringLiteral("faces")).toArray()) {
            if (!isWhole(face, 1, to.sides)) {
                return std::nullopt;
            }
            to.faces.push_back(face.toInt());
        }
    }
    return dice;
}

} // namespace

std::optional<std::vector<DieRoll>> dice(const QString& json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        return std::nullopt;
    }
    return diceOf(QJsonValue(document.array()));
}

bool isSound(const RollLog::Entry& entry)
{
    static const QRegularExpression kTime(QStringLiteral("^([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]$"));
    const RollRecord& roll = entry.roll;
    const bool names = (roll.character.empty() && roll.talent.empty())
        || (isName(roll.talent) && (roll.character.empty() || isName(roll.character)));
    const bool faces = std::all_of(roll.dice.begin(), roll.dice.end(), [](const DieRoll& die) {
        return die.sides >= 1 && die.sides <= 1000 && std::all_of(die.faces.begin(), die.faces.end(), [&](int face) {
            return face >= 1 && face <= die.sides;
        });
    });
    return entry.id != 0 && entry.when >= 0 && entry.when <= kLatestWhen && roll.total >= -kLargestTotal
        && roll.total <= kLargestTotal && roll.step >= kFirstStep && roll.step <= kLastStep && roll.karmaLevel >= 0
        && roll.karmaLevel <= 4 && roll.modifier >= -1000 && roll.modifier <= 1000
        && (roll.outcome == RollRecord::Outcome::Error || !roll.error)
        && kTime.match(QString::fromStdString(entry.time)).hasMatch() && names && faces;
}

QJsonObject toLogFile(const RollLog::Entry& entry)
{
    const RollRecord& roll = entry.roll;
    QJsonObject o{{QStringLiteral("id"), QString::number(entry.id, 16)}, {QStringLiteral("when"), double(entry.when)},
        {QStringLiteral("time"), QString::fromStdString(entry.time)}, {QStringLiteral("step"), roll.step},
        {QStringLiteral("karma"), roll.karmaLevel}, {QStringLiteral("outcome"), outcomeName(roll.outcome)},
        {QStringLiteral("total"), double(roll.total)}, {QStringLiteral("modifier"), roll.modifier},
        {QStringLiteral("character"), QString::fromStdString(roll.character)},
        {QStringLiteral("talent"), QString::fromStdString(roll.talent)},
        {QStringLiteral("dice"), QJsonDocument::fromJson(diceJson(roll.dice).toUtf8()).array()}};
    if (roll.error) {
        o.insert(QStringLiteral("error"), errorName(*roll.error));
    }
    return o;
}

std::optional<RollLog::Entry> fromLogFile(const QJsonObject& o)
{
    bool idOk = false;
    const std::uint64_t id = o.value(QStringLiteral("id")).toString().toULongLong(&idOk, 16);
    const auto rolled = outcome(o.value(QStringLiteral("outcome")).toString());
    const QJsonValue errorValue = o.value(QStringLiteral("error"));
    auto dice = diceOf(o.value(QStringLiteral("dice")));
    if (!idOk || !rolled || !dice || !isWhole(o.value(QStringLiteral("when")), 0, static_cast<double>(kLatestWhen))
        || !isWhole(o.value(QStringLiteral("step")), kFirstStep, kLastStep)
        || !isWhole(o.value(QStringLiteral("karma")), 0, 4)
        || !isWhole(
            o.value(QStringLiteral("total")), -static_cast<double>(kLargestTotal), static_cast<double>(kLargestTotal))
        || !isWhole(o.value(QStringLiteral("modifier")), -1000, 1000) || !o.value(QStringLiteral("time")).isString()
        || (!errorValue.isUndefined() && !error(errorValue.toString()))) {
        return std::nullopt;
    }
    RollLog::Entry entry;
    entry.id = id;
    entry.when = static_cast<std::int64_t>(o.value(QStringLiteral("when")).toDouble());
    entry.time = o.value(QStringLiteral("time")).toString().toStdString();
    RollRecord& roll = entry.roll;
    roll.step = o.value(QStringLiteral("step")).toInt();
    roll.karmaLevel = o.value(QStringLiteral("karma")).toInt();
    roll.outcome = *rolled;
    roll.total = static_cast<std::int64_t>(o.value(QStringLiteral("total")).toDouble());
    roll.modifier = o.value(QStringLiteral("modifier")).toInt();
    if (!errorValue.isUndefined()) {
        roll.error = error(errorValue.toString());
    }
    roll.character = o.value(QStringLiteral("character")).toString().toStdString();
    roll.talent = o.value(QStringLiteral("talent")).toString().toStdString();
    roll.dice = std::move(*dice);
    if (!isSound(entry)) {
        return std::nullopt;
    }
    return entry;
}

} // namespace velmora::rollrows
