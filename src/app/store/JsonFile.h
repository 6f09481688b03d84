#pragma once

#include <QJsonObject>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

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

    // The file's contents as `parse` makes them; none where there is no
    // file, or none that `parse` can take in, which is then kept aside.
    // And one plain sentence where something was wrong; empty otherwise.
    template <typename T>
    std::pair<std::optional<T>, QString> readAs(const std::function<std::optional<T>(const QJsonObject&)>& parse)
    {
        std::optional<T> value;
        const Read found = read([&](const QJsonObject& root) {
            value = parse(root);
            return value.has_value();
        });
        if (!found.taken) {
            value.reset();
        }
        return {std::move(value), found.problem};
    }
    // Empty where written; else why not.
    QString write(QJsonObject root);

    // Another process of this program may write the same file: hold this
    // while reading, merging and writing. False where another held it too long.
    bool lock();
    void unlock();

private:
    struct Read {
        bool taken = false; // false where there was no file, or none that could be used
        QString problem;
    };
    // `usable` tells whether a well-formed object of this format can be
    // taken in.
    Read read(const std::function<bool(const QJsonObject&)>& usable);
    QString keepAside();

    QString m_path;
    int m_format;
    QString m_what;
    struct Lock;
    std::shared_ptr<Lock> m_lock;
};

} // namespace velmora
