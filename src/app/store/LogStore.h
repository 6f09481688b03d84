#pragma once

#include "app/store/JsonFile.h"
#include "steps/RollLog.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace velmora {

// The latest rolls, with whose and which talent they were, in "log.json" in
// the user's data folder, kept as a JsonFile is. Two programs at once lose
// neither's rolls: each merges what the file holds with its own before it
// writes, under a lock.
class LogStore {
public:
    static constexpr int kFormat = 1;

    // In the user's data folder.
    LogStore();
    explicit LogStore(QString path);

    const QString& path() const { return m_file.path(); }

    struct Loaded {
        std::vector<RollLog::Entry> rolls; // oldest first
        QString problem;
    };
    Loaded load();
    // The file's rolls and the log's, merged, into the file; the log takes
    // the file's too, those rolled before `notBefore` (ms since 1970)
    // excepted. Empty where written; else why not.
    QString save(RollLog& log, std::int64_t notBefore = 0);
    // An empty log in the file.
    QString clear();

private:
    JsonFile m_file;
};

} // namespace velmora
