#pragma once

#include <QJsonObject>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

namespace velmora {

// One of the files that earlier versions kept: a JSON object with a
// "format" number, read once to be taken into the database. A file that
// cannot be read as one is kept aside under a new name; a newer version's
// is left where it is; what happened is said in a sentence. `what` names
// the file in it: "der Talente", "des Verlaufs".
class JsonFile {
public:
    // `largest`: a file beyond it is left untouched and not read.
    JsonFile(QString path, int format, QString what, qint64 largest);

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
    // Renamed "….importiert" once taken in, never deleted; empty where it
    // was, else why not.
    QString markImported();

private:
    struct Read {
        bool taken = false; // false where there was no file, or none that could be used
        QString problem;
    };
    // `usable` tells whether a well-formed object of this format can be
    // taken in.
    Read read(const std::function<bool(const QJsonObject&)>& usable);
    // The file under a name of its own beside it: the first of `suffix`,
    // `suffix`-1, … that is free. Empty where it could not be moved.
    QString moveAside(const QString& suffix);

    QString m_path;
    int m_format;
    QString m_what;
    qint64 m_largest;
};

} // namespace velmora
