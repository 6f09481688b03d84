#pragma once

#include "app/store/Keeper.h"
#include "app/window/HeldKeys.h"
#include "app/window/KarmaBinding.h"
#include "dice/Clock.h"
#include "dice/DiceEngine.h"
#include "dice/RandomSource.h"
#include "steps/RollLog.h"
#include "steps/StepRoll.h"
#include "steps/StepTyping.h"
#include "text/TranscriptModel.h"

#include <QAction>
#include <QElapsedTimer>
#include <QIcon>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace velmora {

class Announcer;
class ButtonGrid;
class KarmaButton;
class MessageBar;
class StepOddsHook;
class RollLogWindow;
class TalentsWindow;
class TranscriptView;
struct ControlDesign;

// The one window: step buttons, karma buttons and lamps, the hidden karma
// label, the credit label and the transcript drawn beneath them.
class MainWindow : public QWidget {
    Q_OBJECT

public:
    MainWindow(RandomSource& source, Clock& clock, QWidget* parent = nullptr);
    ~MainWindow() override;

    const TranscriptModel& transcript() const { return m_transcript; }
    TranscriptView* transcriptView() const { return m_view; }

    // The program's icon, for QApplication::setWindowIcon.
    static QIcon applicationIcon();

    void rollStep(int step);
    // A talent's step, with the current karma, named in the log, the copy
    // and what is said; the band is the step's.
    void rollTalent(const std::string& character, const std::string& talent, int step);
    void clickKarma(int button);
    // The latest roll onto the clipboard as plain text; nothing before the first.
    void copyRoll();
    // The roll log, opened or brought forward with its newest roll focused.
    void showLog();
    // The talents, opened or brought forward.
    void showTalents();
    TalentsWindow* talentsWindow() const { return m_talentsWindow; }

    const RollLog& log() const { return m_keeper.log(); }
    Keeper& keeper() { return m_keeper; }
    // What earlier runs kept: the log and the talents, read from the
    // database, which each roll is written to from then on. Once, after the
    // first frame.
    void restoreKept();
    // Empties the log, here and in the database: of all it shows, or of
    // these rolls.
    void clearLog();
    void clearLog(const std::vector<std::uint64_t>& ids);
    // Trouble with what is kept, in the bar beneath the board, and said.
    MessageBar* messageBar() const { return m_messageBar; }
    RollLogWindow* logWindow() const { return m_logWindow; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* createControl(const ControlDesign& design);
    // Each a key of its own kind, true where it was one: the window's menu
    // (Shift+F10, Menu), a click (Space, Return, Enter), a typed step number,
    // + and - for the karma, an arrow on the grid. A held key acts once.
    bool menuKey(QWidget* control, const QKeyEvent& event);
    bool clickKey(QWidget* control, const QKeyEvent& event, bool repeat);
    bool typedDigit(const QKeyEvent& event, bool repeat);
    bool karmaKey(const QKeyEvent& event, bool repeat);
    bool gridMove(const QKeyEvent& event);
    void stepKarma(int delta);
    // The chosen karma level, 0 (none) to 4, as the karma state holds it.
    int karmaLevel() const;
    // Copy and the log, the window's own actions.
    void showWindowMenu(const QPoint& globalPos, bool byKeyboard);
    void applyTranscriptColour();
    void roll(int step, std::string character, std::string talent);
    void tell(const QString& problem);
    // The band and the message bar share the space beneath the controls.
    void placeMessageBar();

    TranscriptModel m_transcript;
    DiceEngine m_dice;
    KarmaBinding m_karma;
    StepRoll m_roll;
    Keeper m_keeper;
    // This window's latest roll, which a copy takes.
    std::optional<RollRecord> m_lastRoll;
    TranscriptView* m_view = nullptr;
    MessageBar* m_messageBar = nullptr;
    Announcer* m_announcer = nullptr;
    RollLogWindow* m_logWindow = nullptr;
    TalentsWindow* m_talentsWindow = nullptr;
    QAction* m_copyAction = nullptr;
    QAction* m_logAction = nullptr;
    QAction* m_talentsAction = nullptr;
    std::unique_ptr<ButtonGrid> m_grid;
    StepOddsHook* m_odds = nullptr;
    std::array<KarmaButton*, kKarmaLamps> m_karmaButtons{};
    StepTyping m_typing;
    HeldKeys m_heldKeys;
    QElapsedTimer m_sinceStart;
};

} // namespace velmora
