#include "app/store/LogStore.h"

#include "talents/Roster.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QRegularExpression>
#include <QStandardPaths>

#include <array>
#include <cmath>
#include <optional>
#include <utility>

namespace velmora {
namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

template <typename Enum, std::size_t N>
struct Names {
    std::array<std::pair<Enum, const char*>, N> pairs;

    QString name(Enum value) const
    {
        for (const auto& [e, n] : pairs) {
            if (e == value) {
                return QString::fromLatin1(n);
            }
        }
        return {};
    }
    std::optional<Enum> value(const QString& name) const
    {
        for (const auto& [e, n] : pairs) {
            if (name == QLatin1String(n)) {
                return e;
            }
        }
        return std::nullopt;
    }
};

constexpr Names<RollRecord::Outcome, 4> kOutcomes{
    {{{RollRecord::Outcome::Unfinished, "unfinished"}, {RollRecord::Outcome::Sum, "sum"},
        {RollRecord::Outcome::Fumble, "fumble"}, {RollRecord::Outcome::Error, "error"}}}};
constexpr Names<RollError::Kind, 4> kErrors{{{{RollError::Kind::Overflow, "overflow"},
    {RollError::Kind::FloatingPoint, "floating-point"}, {RollError::Kind::KarmaNotANumber, "karma-not-a-number"},
    {RollError::Kind::InvalidDieSize, "invalid-die-size"}}}};

QJsonObject toJson(const RollLog::Entry& entry)
{
    const RollRecord& roll = entry.roll;
    QJsonArray dice;
    for (const DieRoll& die : roll.dice) {
        QJsonArray faces;
        for (const std::int32_t face : die.faces) {
            faces.append(face);
        }
        dice.append(QJsonObject{{QStringLiteral("sides"), die.sides}, {QStringLiteral("karma"), die.karma},
            {QStringLiteral("faces"), faces}});
    }
    QJsonObject object{{QStringLiteral("id"), QString::number(entry.id, 16)},
        {QStringLiteral("when"), static_cast<double>(entry.when)}, {QStringLiteral("time"), qt(entry.time)},
        {QStringLiteral("step"), roll.step}, {QStringLiteral("karma"), roll.karmaLevel}, {QStringLiteral("dice"), dice},
        {QStringLiteral("outcome"), kOutcomes.name(roll.outcome)},
        {QStringLiteral("total"), static_cast<double>(roll.total)}, {QStringLiteral("modifier"), roll.modifier}};
    if (roll.error) {
        object.insert(QStringLiteral("error"), kErrors.name(*roll.error));
    }
    if (!roll.talent.empty()) {
        object.insert(QStringLiteral("character"), qt(roll.character));
        object.insert(QStringLiteral("talent"), qt(roll.talent));
    }
    return object;
}

bool isWhole(const QJsonValue& value, double lowest, double highest)
{
    // The range first: a cast of a double beyond it would be undefined.
    const double v = value.toDouble();
    return value.isDouble() && v >= lowest && v <= highest && std::trunc(v) == v;
}

// "hh:mm:ss", as the log writes times.
bool isTime(const QString& time)
{
    static const QRegularExpression kTime(QStringLiteral("^([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]$"));
    return kTime.match(time).hasMatch();
}

// A character and a talent, both named as the talents are, or neither.
bool areNames(const std::string& character, const std::string& talent)
{
    if (character.empty() && talent.empty()) {
        return true;
    }
    return !talent.empty() && !nameRefusal(talent) && trimmedName(talent) == talent
        && (character.empty() || (!nameRefusal(character) && trimmedName(character) == character));
}

std::optional<RollLog::Entry> fromJson(const QJsonValue& value)
{
    const QJsonObject o = value.toObject();
    bool idOk = false;
    const std::uint64_t id = o.value(QStringLiteral("id")).toString().toULongLong(&idOk, 16);
    const auto outcome = kOutcomes.value(o.value(QStringLiteral("outcome")).toString());
    const QJsonValue error = o.value(QStringLiteral("error"));
    const QJsonValue time = o.value(QStringLiteral("time"));
    if (!idOk || id == 0 || !outcome || !isWhole(o.value(QStringLiteral("when")), 0, 9e15)
        || !isWhole(o.value(QStringLiteral("step")), 1, 40) || !isWhole(o.value(QStringLiteral("karma")), 0, 4)
        || !isWhole(o.value(QStringLiteral("total")), -9e15, 9e15)
        || !isWhole(o.value(QStringLiteral("modifier")), -1000, 1000) || !isTime(time.toString())
        || !o.value(QStringLiteral("dice")).isArray() || (!error.isUndefined() && !kErrors.value(error.toString()))) {
        return std::nullopt;
    }
    RollLog::Entry entry;
    entry.id = id;
    entry.when = static_cast<std::int64_t>(o.value(QStringLiteral("when")).toDouble());
    entry.time = time.toString().toStdString();
    RollRecord& roll = entry.roll;
    roll.step = o.value(QStringLiteral("step")).toInt();
    roll.karmaLevel = o.value(QStringLiteral("karma")).toInt();
    roll.outcome = *outcome;
    roll.total = static_cast<std::int64_t>(o.value(QStringLiteral("total")).toDouble());
    roll.modifier = o.value(QStringLiteral("modifier")).toInt();
    if (!error.isUndefined()) {
        roll.error = kErrors.value(error.toString());
    }
    roll.character = o.value(QStringLiteral("character")).toString().toStdString();
    roll.talent = o.value(QStringLiteral("talent")).toString().toStdString();
    if (!areNames(roll.character, roll.talent)) {
        return std::nullopt;
    }
    for (const QJsonValue& d : o.value(QStringLiteral("dice")).toArray()) {
        const QJsonObject die = d.toObject();
        if (!isWhole(die.value(QStringLiteral("sides")), 1, 1000) || !die.value(QStringLiteral("karma")).isBool()
            || !die.value(QStringLiteral("faces")).isArray()) {
            return std::nullopt;
        }
        DieRoll& to = roll.dice.emplace_back();
        to.sides = static_cast<std::int16_t>(die.value(QStringLiteral("sides")).toInt());
        to.karma = die.value(QStringLiteral("karma")).toBool();
        for (const QJsonValue& face : die.value(QStringLiteral("faces")).toArray()) {
            if (!isWhole(face, 1, to.sides)) {
                return std::nullopt;
            }
            to.faces.push_back(face.toInt());
        }
    }
    return entry;
}

std::optional<std::vector<RollLog::Entry>> rollsOf(const QJsonObject& root)
{
    const QJsonValue rolls = root.value(QStringLiteral("rolls"));
    if (!rolls.isArray()) {
        return std::nullopt;
    }
    std::vector<RollLog::Entry> entries;
    for (const QJsonValue& value : rolls.toArray()) {
        std::optional<RollLog::Entry> entry = fromJson(value);
        if (!entry) {
            return std::nullopt;
        }
        entries.push_back(std::move(*entry));
    }
    return entries;
}

} // namespace

LogStore::LogStore()
    : LogStore(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/log.json"))
{
}

LogStore::LogStore(QString path)
    : m_file(std::move(path), kFormat, QCoreApplication::translate("velmora::LogStore", "des Verlaufs"))
{
}

LogStore::Loaded LogStore::load()
{
    auto [rolls, problem] = m_file.readAs<std::vector<RollLog::Entry>>(rollsOf);
    return {rolls ? std::move(*rolls) : std::vector<RollLog::Entry>(), problem};
}

QString LogStore::save(RollLog& log, std::int64_t notBefore)
{
    if (!m_file.lock()) {
        return QCoreApplication::translate("velmora::LogStore",
            "Der Verlauf konnte nicht gespeichert werden: ein anderes Velmora schreibt ihn gerade.");
    }
    // What another program wrote meanwhile, or nothing where the file is unreadable.
    auto [theirs, readProblem] = m_file.readAs<std::vector<RollLog::Entry>>(rollsOf);
    if (theirs) {
        std::erase_if(*theirs, [notBefore](const RollLog::Entry& e) { return e.when < notBefore; });
        log.merge(*theirs);
    }
    QJsonArray rolls;
    for (std::size_t i = 0; i < log.size(); ++i) {
        rolls.append(toJson(log[i]));
    }
    QString problem = m_file.write(QJsonObject{{QStringLiteral("rolls"), rolls}});
    m_file.unlock();
    return readProblem.isEmpty() ? problem : readProblem;
}

QString LogStore::clear()
{
    if (!m_file.lock()) {
        return QCoreApplication::translate(
            "velmora::LogStore", "Der Verlauf konnte nicht geleert werden: ein anderes Velmora schreibt ihn gerade.");
    }
    QString problem = m_file.write(QJsonObject{{QStringLiteral("rolls"), QJsonArray()}});
    m_file.unlock();
    return problem;
}

} // namespace velmora
