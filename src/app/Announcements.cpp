#include "app/Announcements.h"

#include "karma/KarmaState.h"

#include <QCoreApplication>
#include <QStringList>

namespace velmora {
namespace {

// Lines first..last as one piece of speech. With sentences, a line that
// ends without a mark gets a full stop, since speech runs lines together.
QString spoken(const std::vector<std::string>& lines, std::size_t first, std::size_t last, bool sentences)
{
    QStringList texts;
    for (std::size_t i = first; i < last; ++i) {
        QString text = QString::fromStdString(lines[i]);
        if (text.isEmpty()) {
            continue;
        }
        if (sentences && !text.endsWith(QLatin1Char('.')) && !text.endsWith(QLatin1Char('!'))
            && !text.endsWith(QLatin1Char('?'))) {
            text += QLatin1Char('.');
        }
        texts << text;
    }
    return texts.join(QLatin1Char(' '));
}

} // namespace

Announcement rollAnnouncement(const TranscriptModel& transcript)
{
    // The roll ends with one Print: the result line, or the error message
    // over several lines.
    const auto& lines = transcript.lines();
    const std::size_t last = std::min(transcript.lastPrintStart(), lines.size());
    const QString result = spoken(lines, last, lines.size(), false);
    const QString before = spoken(lines, 0, last, true);
    return {result, before.isEmpty() ? result : before + QLatin1Char(' ') + result};
}

Announcement karmaAnnouncement(int button)
{
    const auto levels = karmaTable();
    if (button >= 1 && button <= static_cast<int>(levels.size())) {
        return {QCoreApplication::translate("velmora", "Karma +%1 gewählt")
                    .arg(levels[static_cast<std::size_t>(button - 1)].die),
            {}};
    }
    return {QCoreApplication::translate("velmora", "kein Karma"), {}};
}

} // namespace velmora
