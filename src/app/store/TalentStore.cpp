#include "app/store/TalentStore.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStandardPaths>

#include <optional>
#include <utility>

namespace velmora {
namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

QJsonObject toJson(const Roster& roster)
{
    QJsonArray characters;
    for (const Character& character : roster.characters()) {
        QJsonArray talents;
        for (const Talent& talent : character.talents) {
            talents.append(
                QJsonObject{{QStringLiteral("name"), qt(talent.name)}, {QStringLiteral("step"), talent.step}});
        }
        characters.append(
            QJsonObject{{QStringLiteral("name"), qt(character.name)}, {QStringLiteral("talents"), talents}});
    }
    QJsonObject root{{QStringLiteral("characters"), characters}};
    if (const Character* current = roster.currentCharacter()) {
        root.insert(QStringLiteral("current"), qt(current->name));
    }
    return root;
}

// The roster in the file, built through the roster's own rules: a name or
// step that they refuse makes the file unreadable, not a roster that breaks
// them.
std::optional<Roster> fromJson(const QJsonObject& root)
{
    Roster roster;
    const QJsonValue characters = root.value(QStringLiteral("characters"));
    if (!characters.isArray()) {
        return std::nullopt;
    }
    for (const QJsonValue& c : characters.toArray()) {
        const QJsonValue name = c.toObject().value(QStringLiteral("name"));
        const QJsonValue talents = c.toObject().value(QStringLiteral("talents"));
        if (!name.isString() || !talents.isArray() || roster.addCharacter(name.toString().toStdString())) {
            return std::nullopt;
        }
        const std::size_t index = roster.characters().size() - 1;
        for (const QJsonValue& t : talents.toArray()) {
            const QJsonValue talentName = t.toObject().value(QStringLiteral("name"));
            const QJsonValue step = t.toObject().value(QStringLiteral("step"));
            if (!talentName.isString() || !step.isDouble() || step.toDouble() != step.toInt()
                || roster.addTalent(index, talentName.toString().toStdString(), step.toInt())) {
                return std::nullopt;
            }
        }
    }
    const QString current = root.value(QStringLiteral("current")).toString();
    for (std::size_t i = 0; i < roster.characters().size(); ++i) {
        if (qt(roster.characters()[i].name) == current) {
            roster.setCurrent(i);
        }
    }
    return roster;
}

} // namespace

TalentStore::TalentStore()
    : TalentStore(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/talents.json"))
{
}

TalentStore::TalentStore(QString path) : m_file(std::move(path), kFormat, QObject::tr("der Talente")) {}

TalentStore::Loaded TalentStore::load()
{
    auto [roster, problem] = m_file.readAs<Roster>(fromJson);
    return {roster ? std::move(*roster) : Roster(), problem};
}

QString TalentStore::save(const Roster& roster) { return m_file.write(toJson(roster)); }

QString TalentStore::update(Roster& roster, const std::function<Refusal(Roster&)>& change)
{
    const bool locked = m_file.lock();
    auto [theirs, readProblem] = locked ? m_file.readAs<Roster>(fromJson) : std::pair<std::optional<Roster>, QString>();
    // The roster's own changes refuse before they change anything, so a
    // refused change leaves the file's state, which the program then shows.
    Roster changed = theirs ? std::move(*theirs) : roster;
    const Refusal refusal = change(changed);
    roster = std::move(changed);
    if (refusal) {
        m_file.unlock();
        return QString::fromStdString(*refusal);
    }
    QString problem = locked ? m_file.write(toJson(roster))
                             : QObject::tr("Die Talente konnten nicht gespeichert werden: ein anderes Velmora schreibt "
                                           "sie gerade. Die Änderung bleibt bis zum Ende dieser Sitzung erhalten.");
    m_file.unlock();
    return readProblem.isEmpty() ? problem : readProblem;
}

} // namespace velmora
