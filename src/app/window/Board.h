#pragma once

#include "app/window/DesignLayout.h"
#include "karma/KarmaState.h"
#include "steps/RollRecord.h"
#include "steps/StepTyping.h"

#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QPointer>
#include <QWidget>

#include <cstdint>

#include <array>
#include <memory>
#include <vector>

class QLabel;

namespace velmora {

class Announcer;
class PacedUpdate;
class ButtonGrid;
class IndicatorLamp;
class KarmaButton;
class MessageBar;
class Session;
class StepOddsHook;
class TranscriptView;

// The board: step buttons, karma buttons and lamps, the hidden karma label,
// the credit label and the transcript drawn beneath them, each at its place;
// beneath them the bar that tells trouble with what is kept. A view of the
// session, which it rolls and whose karma it sets.
class Board : public QWidget {
    Q_OBJECT

public:
    explicit Board(Session& session, QWidget* parent = nullptr);
    ~Board() override;

    // The board's own size, the window's client area without a menu bar.
    static QSize designSize();
    // The program's icon, for QApplication::setWindowIcon.
    static QIcon applicationIcon();

    TranscriptView* transcriptView() const { return m_view; }
    MessageBar* messageBar() const { return m_messageBar; }
    Announcer* announcer() const { return m_announcer; }
    StepOddsHook* odds() const { return m_odds; }
    // The latest roll onto the clipboard as plain text; nothing before the first.
    void copyRoll();
    // Says something that changed away from the focus.
    void announce(const QString& message, const QString& details = {});
    // The focused step, or the latest one focused; 0 before any.
    int focusedStep() const { return m_focusedStep; }

    // The focus to the control that had it last, as after a dock's Escape.
    void takeFocusBack();

    // Trouble with what is kept, in the bar beneath the board, and said.
    void tell(const QString& problem);
    // The trouble is over: its message goes.
    void untell(const QString& problem);
    // A clearing of so many rolls that can be undone, with a button that
    // undoes it; none where 0.
    void offerUndo(std::int64_t rolls);

    // Fits the board into a room of that many pixels, the screen's less the
    // window's frame and menu bar; an empty room sets no limit. Where the
    // design fits, and the desktop's font fits its buttons, it is exactly as
    // designed; else its places and sizes follow the room and the font.
    void fitInto(const QSize& room);
    DesignScale scale() const { return m_scale; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* createControl(const ControlDesign& design);
    // Every control at its place and size at the board's scale.
    void place();
    // Each a key of its own kind, true where it was one: the window's menu
    // (Shift+F10, Menu), a click (Space, Return, Enter), a typed step number,
    // + and - for the karma, an arrow on the grid. A held key acts once.
    bool menuKey(QWidget* control, const QKeyEvent& event);
    bool clickKey(QWidget* control, const QKeyEvent& event, bool repeat);
    void endTypingUnlessDigit(const QKeyEvent& event);
    bool typedDigit(const QKeyEvent& event, bool repeat);
    bool karmaKey(const QKeyEvent& event, bool repeat);
    bool gridMove(const QKeyEvent& event);
    // The window's actions in a menu at that point.
    void showWindowMenu(const QPoint& globalPos, bool byKeyboard);
    void applyTranscriptColour();
    void rolled(const RollRecord& roll);
    void karmaChanged(int button);
    void reportKarmaStates();
    // The band and the message bar share the space beneath the controls.
    void placeMessageBar();
    int barHeight() const;
    void growBy(int pixels);
    MessageBar* bar();

    Session& m_session;
    TranscriptView* m_view = nullptr;
    MessageBar* m_messageBar = nullptr;
    Announcer* m_announcer = nullptr;
    QLabel* m_karmaCaption = nullptr;
    std::array<IndicatorLamp*, kKarmaLamps> m_lamps{};
    std::array<KarmaButton*, kKarmaLamps> m_karmaButtons{};
    std::unique_ptr<ButtonGrid> m_grid;
    StepOddsHook* m_odds = nullptr;
    PacedUpdate* m_karmaStates = nullptr;
    StepTyping m_typing;
    QElapsedTimer m_sinceStart;
    int m_focusedStep = 0;
    int m_shownBar = 0;
    QPointer<QWidget> m_lastFocus;
    QHash<const QObject*, int> m_stepOf;
    struct Placed {
        QWidget* control;
        ControlDesign design;
    };
    std::vector<Placed> m_placed;
    DesignScale m_scale;
};

} // namespace velmora
