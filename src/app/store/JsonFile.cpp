#include "app/store/JsonFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLockFile>
#include <QSaveFile>

#include <memory>
#include <utility>

namespace velmora {

struct JsonFile::Lock {
    explicit Lock(const QString& path) : file(path) {}
    QLockFile file;
};

namespace {

QString tr(const char* text) { return QCoreApplication::translate("velmora::JsonFile", text); }

} // namespace

JsonFile::JsonFile(QString path, int format, QString what)
    : m_path(std::move(path))
    , m_format(format)
    , m_what(std::move(what))
{
}

JsonFile::Read JsonFile::read(const std::function<bool(const QJsonObject&)>& usable)
{
    QFile file(m_path);
    if (m_path.isEmpty() || !file.exists()) {
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        const QString why = file.errorString();
        m_path.clear(); // what could not be read must not be written over
        return {false,
            tr("Die Datei %1 (%2) konnte nicht gelesen werden: %3. Bis zum Ende dieser Sitzung bleibt alles nur im "
               "Speicher.")
                .arg(m_what, file.fileName(), why)};
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
        const QString path = std::exchange(m_path, QString());
        return {false,
            tr("Die Datei %1 (%2) hat eine neuere Version von Velmora geschrieben. Sie bleibt unverändert, und bis "
               "zum Ende dieser Sitzung bleibt alles nur im Speicher.")
                .arg(m_what, path)};
    }
    const QString path = m_path;
    const QString aside = keepAside();
    return {false,
        aside.isEmpty() ? tr("Die Datei %1 (%2) ist beschädigt. Sie bleibt unverändert, und bis zum Ende dieser "
                             "Sitzung bleibt alles nur im Speicher.")
                              .arg(m_what, path)
                        : tr("Die Datei %1 ist beschädigt; sie wurde als %2 aufbewahrt.").arg(m_what, aside)};
}

QString JsonFile::keepAside()
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
    m_path.clear(); // where it could not be moved, nothing may write over it
    return {};
}

QString JsonFile::write(QJsonObject root)
{
    if (m_path.isEmpty()) {
        return tr("Die Datei %1 wird nicht geschrieben, solange die unlesbare im Weg ist.").arg(m_what);
    }
    root.insert(QStringLiteral("format"), m_format);
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson(QJsonDocument::Indented)) < 0
        || !file.commit()) {
        return tr("Die Datei %1 (%2) konnte nicht geschrieben werden: %3. Bis zum Ende dieser Sitzung bleibt alles "
                  "im Speicher.")
            .arg(m_what, m_path, file.errorString());
    }
    return {};
}

bool JsonFile::lock()
{
    if (m_path.isEmpty()) {
        return true; // no file to guard; writing says why there is none
    }
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    m_lock = std::make_shared<Lock>(m_path + QStringLiteral(".lock"));
    // Another instance holds it only while it merges and writes.
    return m_lock->file.tryLock(2000);
}

void JsonFile::unlock() { m_lock.reset(); }

} // namespace velmora
