#include "app/session/Session.h"

#include "odds/Luck.h"
#include "steps/RollReportingErrors.h"
#include "steps/StepTable.h"
#include "text/RollText.h"

#include <algorithm>
#include <utility>

namespace velmora {
namespace {

const QString kLuckInCopy = QStringLiteral("luck_in_copy");

} // namespace

void KarmaHolder::setLampColour(int lamp, std::uint32_t systemColour)
{
    m_lamps.at(static_cast<std::size_t>(lamp - 1)) = systemColour;
}

Session::Session(RandomSource& source, Clock& clock, Store::Paths paths, QObject* parent)
    : QObject(parent)
    , m_dice(source, clock)
    , m_roll(m_dice, m_karma)
    , m_keeper(std::move(paths))
{
    connect(&m_keeper, &Keeper::logReplaced, this, &Session::logReplaced);
    connect(&m_keeper, &Keeper::settingsRead, this, [this](const QHash<QString, QByteArray>& settings) {
        if (!m_luckInCopyChosen && settings.value(kLuckInCopy) == QByteArrayLiteral("1")) {
            m_luckInCopy = true;
            emit luckInCopyChanged(true);
        }
    });
}

std::string Session::copyText(const RollRecord& roll) const
{
    std::optional<double> luck;
    if (m_luckInCopy) {
        if (const RollOdds* odds = oddsOf(sharedOdds(), roll)) {
            luck = luckOf(*odds, roll);
        }
    }
    return rolltext::copy(roll, luck);
}

void Session::setLuckInCopy(bool on)
{
    m_luckInCopyChosen = true;
    if (std::exchange(m_luckInCopy, on) != on) {
        m_keeper.keepSetting(kLuckInCopy, on ? QByteArrayLiteral("1") : QByteArrayLiteral("0"));
        emit luckInCopyChanged(on);
    }
}

void Session::rollStep(int step) { roll(step, {}, {}); }

void Session::rollTalent(const std::string& character, const std::string& talent, int step)
{
    roll(step, character, talent);
}

void Session::rollAgain(const RollRecord& roll) { this->roll(roll.step, roll.character, roll.talent); }

void Session::roll(int step, std::string character, std::string talent)
{
    RollRecord record = rollReportingErrors(m_roll, stepDefinition(step));
    record.character = std::move(character);
    record.talent = std::move(talent);
    m_transcript.show(rolltext::bandLines(record));
    m_lastRoll = m_keeper.keep(record).roll;
    emit rolled(*m_lastRoll);
}

void Session::clickKarma(int button)
{
    clickKarmaButton(button, m_karma);
    m_chosenButton = button;
    emit karmaChanged(button);
}

int Session::karmaLevel() const { return static_cast<int>(karmaValue(m_karma.caption())); }

void Session::stepKarma(int delta)
{
    const int level = std::clamp(karmaLevel() + delta, 0, kKarmaLamps);
    clickKarma(level == 0 ? kResetButton : level);
}

void Session::clearLog() { clearLog(m_keeper.counted()); }

void Session::clearLog(const Keeper::Counted& counted)
{
    m_keeper.clearAll(counted);
    emit logReplaced();
}

void Session::clearLog(const std::vector<std::uint64_t>& ids)
{
    m_keeper.clearLog(ids);
    emit logReplaced();
}

} // namespace velmora
