#pragma once

#include "transcript/TranscriptModel.h"

#include <QString>

namespace velmora {

// What a screen reader says after a click: the message at once, then the
// details after a pause.
struct Announcement {
    QString message;
    QString details;
};

// The result of the latest roll (the sum, "Patzer!" or the error), then the
// whole roll in order, a sentence a line.
Announcement rollAnnouncement(const TranscriptModel& transcript);

// The karma choice that a click on karma button 1..5 made.
Announcement karmaAnnouncement(int button);

} // namespace velmora
