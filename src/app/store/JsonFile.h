#pragma once

#include <QJsonObject>
#include <QString>

#include <functional>
#include <optional>

namespace velmora {

// One of the program's human-readable files: a JSON object with a
// "format" number. Written whole into a temporary file that then takes the
// old one's place, so that a crash or a full disk never leaves half a file.
// A file that cannot be read as this program's, or that a newer version
// wrote, is never written over: a damaged one is kept aside under a new
// name, a newer one left where it is, and what happened is said in a
// sentence or two. `what` names the file in them: "der Talente", "des
// Verlaufs".
class JsonFile {
public:
    JsonFile(QString path, int format, QString what);

    const QString& path() const { return m_path; }

    struct Read {
        // None where there was no file, or none that could be used.
        std::optional<QJsonObject> root;
        // One plain sentence where something was wrong; empty otherwise.
        QString problem;
    };
    // `usable` tells whether a well-formed object of this format can be
    // taken in; where it cannot, the file is kept aside.
    Read read(const std::function<bool(const QJsonObject&)>& usable);
    // Empty where written; else why not.
    QString write(QJsonObject root);

    // Another process of this program may write the same file: hold this
    // while reading, merging and writing. False where another held it too long.
    bool lock();
    void unlock();

private:
    QString keepAside();

    QString m_path;
    int m_format;
    QString m_what;
    struct Lock;
    std::shared_ptr<Lock> m_lock;
};

} // namespace velmora
