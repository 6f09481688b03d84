#pragma once

#include "app/log/RollLogModel.h"
#include "steps/RollLog.h"

#include <QPointer>

#include <QWidget>
#include <optional>

class QLabel;
class QPushButton;
class QTableView;
class QTableWidget;

class QTimer;

namespace velmora {

class LookBackBar;
class LuckChart;

class Announcer;
class PacedUpdate;
class Session;

// The roll log, "Verlauf": the latest rolls, newest first, one row each
// with its time, what was rolled, the karma, the result and the dice. A new
// roll leaves in place what the player scrolled to, and says quietly that
// there are new ones above; Return or a double click
// rolls an entry again. Ctrl+C copies the selected rolls, Ctrl+A selects
// them all, "Verlauf leeren" empties the log after a question.
class RollLogView : public QWidget {
    Q_OBJECT

public:
    using enum RollLogModel::Column;

    QSize sizeHint() const override;

    explicit RollLogView(Session& session, QWidget* parent = nullptr);

    // The newest roll focused, unless the player chose another.
    void open();
    // Text as the copy's, each roll after its date and time, newest first,
    // into a file the player picks: the selected ones where there are
    // several, else all that are shown.
    void saveAs();
    // The rolls as a table for a spreadsheet, into a file the player picks:
    // the selected ones where there are several, else every roll kept that
    // the bar chooses.
    void exportCsv();
    void exportCsvTo(const QString& path);
    void askToClear();
    // A file in the documents folder named with today's date.
    static QString datedFile(const QString& suffix);
    // What "Verlauf leeren" asks for so many rolls, one or more.
    static QString clearQuestion(std::size_t rolls);

    QTableView* table() const { return m_table; }
    LookBackBar* lookBack() const { return m_lookBar; }
    // The rolls chosen in the table, after a question; undone as a clearing.
    void askToDeleteChosen();
    // "neue Würfe oben": shown while rolls arrive above what the player
    // reads; it, or Home in the table, leads to the newest.
    QPushButton* newAbove() const { return m_newAbove; }
    // Tonight's rolls against fair dice, all and each talent's, a line each.
    QLabel* tonight() const { return m_tonight; }
    // Tonight's luck in ten bands, drawn and as a table.
    LuckChart* luckChart() const { return m_luckChart; }
    QTableWidget* luckTable() const { return m_luckTable; }
    // The selected rolls as plain text, newest first, an empty line between.
    QString selectedText() const;
    // The file's text: all the rolls, or the selected ones.
    QString savedText(bool selectedOnly) const;

signals:
    // Return or a double click on an entry.
    void rollAgain(const RollRecord& roll);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void rollAdded();
    // The whole log into the table, the entry focused and the one at the
    // top of the view kept where they still are.
    void fill();
    // An empty table says so to a screen reader, which would say only "table".
    void showWhetherEmpty();
    void fitRows();
    void fitColumns();
    void showTonight();
    void showNewest();
    // Every roll kept, looked back on through the bar's filter.
    void lookAgain();
    void lookedBack(const LookedBack& looked);
    std::vector<std::uint64_t> tonightIds() const;
    void forgetShown(const std::vector<std::uint64_t>& ids);

    Session& m_session;
    const RollLog& m_log;
    Announcer* m_announcer = nullptr;
    RollLogModel* m_model;
    QTableView* m_table;
    QPushButton* m_newAbove = nullptr;
    QLabel* m_tonight = nullptr;
    // Tonight ends three hours after its last roll, whether or not one follows.
    QTimer* m_eveningEnds = nullptr;
    PacedUpdate* m_tonightPaced = nullptr;
    LuckChart* m_luckChart = nullptr;
    QTableWidget* m_luckTable = nullptr;
    LookBackBar* m_lookBar = nullptr;
    PacedUpdate* m_lookPaced = nullptr;
    // The latest look back at what the bar chooses, while it chooses any.
    std::optional<LookedBack> m_looked;
};

} // namespace velmora
