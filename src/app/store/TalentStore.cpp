#include "app/store/TalentStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <optional>
#include <utility>

namespace velmora {
namespace {

QString qt(const std::string& text) { return QString::fromStdString(text); }

QByteArray toJson(const Roster& roster)
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
    QJsonObject root{{QStringLiteral("format"), TalentStore::kFormat}, {QStringLiteral("characters"), characters}};
    if (const Character* current = roster.currentCharacter()) {
        root.insert(QStringLiteral("current"), qt(current->name));
    }
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
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

TalentStore::TalentStore(QString path) : m_path(std::move(path)) {}

TalentStore::Loaded TalentStore::load()
{
    QFile file(m_path);
    if (!file.exists()) {
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return {{},
            QObject::tr("Die Talente konnten nicht gelesen werden (%1): %2. Änderungen bleiben bis zum Ende "
                        "dieser Sitzung erhalten.")
                .arg(m_path, file.errorString())};
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    file.close();
    const QJsonObject root = document.object();
    const int format = root.value(QStringLiteral("format")).toInt(0);
    std::optional<Roster> roster;
    if (error.error == QJsonParseError::NoError && document.isObject() && format == kFormat) {
        roster = fromJson(root);
    }
    if (roster) {
        return {std::move(*roster), {}};
    }
    const QString path = m_path;
    const QString aside = keepAside();
    const QString why = format > kFormat ? QObject::tr("eine neuere Version von Velmora hat sie geschrieben")
                                         : QObject::tr("die Datei ist beschädigt");
    return {{},
        aside.isEmpty()
            ? QObject::tr("Die Talente konnten nicht gelesen werden: %1. Die Datei %2 bleibt unverändert, und "
                          "Änderungen bleiben bis zum Ende dieser Sitzung erhalten.")
                  .arg(why, path)
            : QObject::tr("Die Talente konnten nicht gelesen werden: %1. Die Datei wurde als %2 aufbewahrt.")
                  .arg(why, aside)};
}

QString TalentStore::keepAside()
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 0; n < 100; ++n) {
        const QString aside =
            m_path + QStringLiteral(".unlesbar-") + stamp + (n == 0 ? QString() : QStringLiteral("-%1").arg(n));
        if (!QFileInfo::exists(aside)) {
            if (QFile::rename(m_path, aside)) {
                return aside;
            }
            break;
        }
    }
    // Where it could not be moved, nothing may write over it.
    m_path.clear();
    return {};
}

QString TalentStore::save(const Roster& roster)
{
    if (m_path.isEmpty()) {
        return QObject::tr("Die Talente werden nicht gespeichert, solange die unlesbare Datei im Weg ist.");
    }
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(toJson(roster)) < 0 || !file.commit()) {
        return QObject::tr("Die Talente konnten nicht gespeichert werden (%1): %2. Sie bleiben bis zum Ende dieser "
                           "Sitzung erhalten.")
            .arg(m_path, file.errorString());
    }
    return {};
}

} // namespace velmora
