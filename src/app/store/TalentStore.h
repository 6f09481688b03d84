#pragma once

#include "app/store/JsonFile.h"
#include "talents/Roster.h"

#include <QString>

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

private:
    JsonFile m_file;
};

} // namespace velmora
