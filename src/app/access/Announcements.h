#pragma once

#include "steps/RollRecord.h"

#include <QString>

namespace velmora {

// What a screen reader says after a click: the message at once, then the
// details after a pause.
struct Announcement {
    QString message;
    QString details;
};

// The result of a roll, then its dice, in words that a screen reader speaks
// without naming punctuation, as one message.
Announcement rollAnnouncement(const RollRecord& roll, bool nameTheStep = false);

// The karma choice that a click on karma button 1..5 made.
Announcement karmaAnnouncement(int button);

} // namespace velmora
