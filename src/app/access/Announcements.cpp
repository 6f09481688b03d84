#include "app/access/Announcements.h"

#include "karma/KarmaState.h"
#include "text/RollText.h"

#include <QCoreApplication>

namespace velmora {

Announcement rollAnnouncement(const RollRecord& roll, bool nameTheStep)
{
    return {QString::fromStdString(rolltext::announcement(roll, nameTheStep)), {}};
}

Announcement karmaAnnouncement(int button)
{
    const auto levels = karmaTable();
    if (button >= 1 && button <= static_cast<int>(levels.size())) {
        return {
            QCoreApplication::translate("velmora", "%1 gewählt").arg(QString::fromStdString(karmaName(button))), {}};
    }
    return {QCoreApplication::translate("velmora", "kein Karma"), {}};
}

} // namespace velmora
