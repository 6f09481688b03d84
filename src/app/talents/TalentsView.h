#pragma once

#include "steps/RollRecord.h"
#include "talents/Roster.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace velmora {

class Announcer;
class Keeper;
class Session;

// "Talente": the current character's talents, each with its step, dice,
// mean and latest result, to roll by name with the karma chosen here or on
// the board. Everything by keyboard: type-ahead by name in the table,
// Return rolls the chosen talent, + and - change the karma, Insert adds a
// talent, F2 renames, Delete deletes after a question. Every change is
// saved at once.
class TalentsView : public QWidget {
    Q_OBJECT

public:
    // The talents as the session's keeper has them; another Velmora's
    // changes come in as they are made, and when the view is shown.
    explicit TalentsView(Session& session, QWidget* parent = nullptr);

    const Roster& roster() const { return m_roster; }
    // The table focused.
    void open();
    // The talent in row `row` of the current character, as Return would.
    void rollRow(int row);
    QLabel* latestResult() const { return m_latest; }
    // What "Charakter löschen" asks, in the form that the count takes.
    static QString deleteQuestion(const QString& name, std::size_t talents);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void newCharacter();
    void renameCharacter();
    void deleteCharacter();
    void addTalent();
    void renameTalent();
    void changeStep();
    void deleteTalent();
    void refresh(int selectRow = 0);
    // Each talent's latest result, from the log.
    void showResults();
    void rolled(const RollRecord& roll);
    void showKarma();
    void fitKarmaLabel();
    // The keeper's talents shown, the chosen talent kept.
    void followIfStale();
    void followKeeper();
    // One change, made here at once and in the database as it is then.
    void change(const std::function<Refusal(Roster&)>& change, int selectRow);
    // Asks for a name until it is one the roster takes, or the player gives up.
    bool askName(const QString& title, const QString& label, QString text,
        const std::function<Refusal(const std::string&)>& apply);
    int currentRow() const;
    // The current character's talent in the chosen row; none without one.
    struct Chosen {
        std::size_t character;
        std::size_t row;
        Talent talent;
    };
    std::optional<Chosen> chosen() const;

    Session& m_session;
    Keeper& m_keeper;
    // As the keeper had it at the last refresh.
    Roster m_roster;
    // The keeper's changed while a question was open.
    // A dialog that a key opens, once the key is let go: a screen reader
    // still handling the key's press took the dialog's field as focused
    // before it said it, and then said the dialog alone (Orca 48).
    void openOnRelease(int key, void (TalentsView::*open)());
    void openPending();
    static constexpr int kReleaseWaitMs = 400;
    int m_pendingKey = 0;
    void (TalentsView::*m_pendingOpen)() = nullptr;
    unsigned m_pendingSerial = 0;

    bool m_stale = false;
    QComboBox* m_characters = nullptr;
    QLabel* m_characterLabel = nullptr;
    Announcer* m_announcer = nullptr;
    QTableWidget* m_table = nullptr;
    QList<QPushButton*> m_talentButtons;
    QList<QPushButton*> m_characterButtons;
    QLabel* m_karma = nullptr;
    QLabel* m_latest = nullptr;
};

} // namespace velmora
