#pragma once

#include "talents/Roster.h"

#include <QString>

namespace velmora {

// The player's characters and talents in a human-readable JSON file,
// "talents.json" in the user's config folder. Written whole into a
// temporary file that then takes the old one's place, so that a crash or a
// full disk never leaves half a file. A file that cannot be read as this
// program's, or that a newer version wrote, is never written over: it is
// kept aside under a new name, and the program says so once.
class TalentStore {
public:
    static constexpr int kFormat = 1;

    // In the user's config folder.
    TalentStore();
    explicit TalentStore(QString path);

    const QString& path() const { return m_path; }

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
    QString keepAside();

    QString m_path;
};

} // namespace velmora
