#include "app/store/JsonFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <utility>

namespace velmora {

namespace {

QString tr(const char* text) { return QCoreApplication::translate("velmora::JsonFile", text); }

} // namespace

JsonFile::JsonFile(QString path, int format, QString what, qint64 largest)
    : m_path(std::move(path))
    , m_format(format)
    , m_what(std::move(what))
    , m_largest(largest)
{
}

JsonFile::Read JsonFile::read(const std::function<bool(const QJsonObject&)>& usable)
{
    QFile file(m_path);
    if (m_path.isEmpty() || !file.exists()) {
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return {false,
            tr("Die Datei %1 (%2) konnte nicht gelesen werden und wurde nicht übernommen.")
                .arg(m_what, file.fileName())};
    }
    if (file.size() > m_largest) {
        return {false,
            tr("Die Datei %1 (%2) ist zu groß, um eine von Velmora zu sein. Sie bleibt unverändert und "
               "wurde nicht übernommen.")
                .arg(m_what, m_path)};
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    file.close();
    const QJsonObject root = document.object();
    const int format = root.value(QStringLiteral("format")).toInt(0);
    if (error.error == QJsonParseError::NoError && document.isObject() && format == m_format && usable(root)) {
        return {true, {}};
    }
    if (format > m_format) {
        // A newer Velmora's file stays where that Velmora looks for it.
        return {false,
            tr("Die Datei %1 (%2) hat eine neuere Version von Velmora geschrieben. Sie bleibt unverändert und wurde "
               "nicht übernommen.")
                .arg(m_what, m_path)};
    }
    const QString path = m_path;
    const QString aside = moveAside(
        QStringLiteral(".unlesbar-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    return {false,
        aside.isEmpty() ? tr("Die Datei %1 (%2) ist beschädigt. Sie bleibt unverändert und wurde nicht übernommen.")
                              .arg(m_what, path)
                        : tr("Die Datei %1 ist beschädigt; sie wurde als %2 aufbewahrt.").arg(m_what, aside)};
}

QString JsonFile::moveAside(const QString& suffix)
{
    for (int n = 0; n < 100; ++n) {
        const QString aside = m_path + suffix + (n == 0 ? QString() : QStringLiteral("-%1").arg(n));
        if (!QFileInfo::exists(aside)) {
            return QFile::rename(m_path, aside) ? aside : QString();
        }
    }
    return {};
}

QString JsonFile::markImported()
{
    if (!moveAside(QStringLiteral(".importiert")).isEmpty()) {
        return {};
    }
    return tr("Die Datei %1 (%2) wurde übernommen, konnte aber nicht umbenannt werden.").arg(m_what, m_path);
}

} // namespace velmora
