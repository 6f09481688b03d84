#pragma once

#include "app/store/JsonFile.h"
#include "talents/Roster.h"

#include <QString>

#include <functional>

namespace velmora {

// The player's characters and talents in "talents.json" in the user's
// config folder, kept as a JsonFile is.
class TalentStore {
public:
    static constexpr int kFormat = 1;

    // In the user's config folder.
    TalentStore();
    explicit TalentStore(QString path);

    const QString& path() const { return m_file.path(); }

    struct Loaded {
        Roster roster;
        // One plain sentence where something was wrong; empty otherwise.
        QString problem;
    };
    // No file yet is an empty roster and no problem.
    Loaded load();
    // Empty where written; else why not, and the roster stays in memory.
    QString save(const Roster& roster);
    // One change, made to the talents as the file holds them now, another
    // program's changes included, and written at once: under a lock, so
    // that two programs lose neither's changes. Where the file cannot be
    // read or written, the change is made to `roster` in memory. Empty
    // where it was made and written; else the change's refusal, or why the
    // file could not be written.
    QString update(Roster& roster, const std::function<Refusal(Roster&)>& change);

private:
    JsonFile m_file;
};

} // namespace velmora
