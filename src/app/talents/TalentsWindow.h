#pragma once

#include "talents/Roster.h"

#include <QWidget>

#include <functional>
#include <optional>

class QComboBox;
class QPushButton;
class QTableWidget;

namespace velmora {

class Keeper;

// "Velmora - Talente": the current character's talents, each with its step,
// dice and mean, to roll by name. Everything by keyboard: type-ahead by
// name in the table, Return rolls the chosen talent, Insert adds one, F2
// renames, Delete deletes after a question. Every change is saved at once.
class TalentsWindow : public QWidget {
    Q_OBJECT

public:
    // The talents as `keeper` has them; another Velmora's changes come in
    // when the window is shown or activated.
    explicit TalentsWindow(Keeper& keeper, QWidget* parent = nullptr);

    const Roster& roster() const { return m_roster; }
    // Opened or brought forward beside `beside`, the table focused.
    void open(QWidget* beside);
    // The talent in row `row` of the current character, as Return would.
    void rollRow(int row);

signals:
    void rollRequested(const QString& character, const QString& talent, int step);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
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
    // The keeper's talents shown, the chosen talent kept.
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

    Keeper& m_keeper;
    // As the keeper had it at the last refresh.
    Roster m_roster;
    // The keeper's changed while a question was open.
    bool m_stale = false;
    QComboBox* m_characters = nullptr;
    QTableWidget* m_table = nullptr;
    QList<QPushButton*> m_talentButtons;
    QList<QPushButton*> m_characterButtons;
};

} // namespace velmora
