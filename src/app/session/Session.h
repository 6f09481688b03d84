#pragma once

#include "app/store/Keeper.h"
#include "dice/Clock.h"
#include "dice/DiceEngine.h"
#include "dice/RandomSource.h"
#include "karma/KarmaCaption.h"
#include "karma/KarmaState.h"
#include "steps/RollLog.h"
#include "steps/StepRoll.h"
#include "text/TranscriptModel.h"

#include <QObject>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

// The karma state as the rules write it: the caption that a roll reads and
// the lamps' colours, which every view shows.
class KarmaHolder final : public KarmaCaption, public KarmaControls {
public:
    std::string caption() const override { return m_caption; }
    void setLampColour(int lamp, std::uint32_t systemColour) override;
    void setKarmaCaption(const std::string& caption) override { m_caption = caption; }
    std::uint32_t lampColour(int lamp) const { return m_lamps.at(static_cast<std::size_t>(lamp - 1)); }

private:
    std::string m_caption = "0";
    std::array<std::uint32_t, kKarmaLamps> m_lamps{kLampUnselected, kLampUnselected, kLampUnselected, kLampUnselected};
};

// What a running Velmora knows, whichever window shows it: the dice, the
// karma, the band's lines, this program's latest roll, and the log and
// talents with their database. The board, the docks and the odds window
// are views of it.
class Session : public QObject {
    Q_OBJECT

public:
    Session(RandomSource& source, Clock& clock, Store::Paths paths = Store::userPaths(), QObject* parent = nullptr);

    void rollStep(int step);
    // A talent's step, with the current karma, named in the log, the copy
    // and what is said; the band is the step's.
    void rollTalent(const std::string& character, const std::string& talent, int step);
    // The same step or talent as that roll, with the karma chosen now.
    void rollAgain(const RollRecord& roll);

    // Karma button 1 to 5 (5 is "Reset"), as its click.
    void clickKarma(int button);
    // One level up or down (none, +4, +6, +8, +10); at either end the same
    // level again, so that it is heard.
    void stepKarma(int delta);
    // 0 (none) to 4.
    int karmaLevel() const;
    // The button that set the karma last; none before the first.
    std::optional<int> chosenKarmaButton() const { return m_chosenButton; }
    const KarmaHolder& karma() const { return m_karma; }
    // Its caption written as any control that holds it might write it.
    KarmaHolder& karma() { return m_karma; }

    const TranscriptModel& transcript() const { return m_transcript; }
    // This program's latest roll, which a copy takes; not another's that
    // the log took in.
    const std::optional<RollRecord>& lastRoll() const { return m_lastRoll; }

    // The roll as the clipboard takes it, with its luck where the player
    // asked for that: off unless chosen, and kept for the next start.
    std::string copyText(const RollRecord& roll) const;
    bool luckInCopy() const { return m_luckInCopy; }
    void setLuckInCopy(bool on);

    Keeper& keeper() { return m_keeper; }
    const RollLog& log() const { return m_keeper.log(); }
    // Empties the log, here and in the database: of every roll it counts, or of these rolls.
    void clearLog();
    void clearLog(const Keeper::Counted& counted);
    void clearLog(const std::vector<std::uint64_t>& ids);

signals:
    void rolled(const RollRecord& roll);
    void karmaChanged(int button);
    // The log changed otherwise than by a roll here: another program's
    // rolls, a clearing, the kept rolls read.
    void logReplaced();
    void luckInCopyChanged(bool on);

private:
    void roll(int step, std::string character, std::string talent);

    TranscriptModel m_transcript;
    DiceEngine m_dice;
    KarmaHolder m_karma;
    StepRoll m_roll;
    Keeper m_keeper;
    std::optional<RollRecord> m_lastRoll;
    std::optional<int> m_chosenButton;
    bool m_luckInCopy = false;
    // Chosen before the kept choice was read: the player's stands.
    bool m_luckInCopyChosen = false;
};

} // namespace velmora
