#pragma once

#include "steps/RollLog.h"

#include <QPointer>
#include <QWidget>

class QListWidget;

namespace velmora {

class Announcer;

// "Velmora - Verlauf": the latest rolls, newest first, one line each,
// beside the main window. It opens with the newest roll focused, so that a
// screen reader reads it at once, and Escape gives the focus back to where
// it was. Ctrl+C copies the selected rolls, Ctrl+A selects them all, Ctrl+S
// saves them as text (all of them where no more than one is selected), and
// "Verlauf leeren" empties the log after a question.
class RollLogWindow : public QWidget {
    Q_OBJECT

public:
    explicit RollLogWindow(const RollLog& log, QWidget* parent = nullptr);

    // Shows the window beside `beside`, newest roll focused.
    void open(QWidget* beside);
    // Call after every roll added to the log.
    void rollAdded();
    // Call after the log changed otherwise.
    void reload();
    // Text as the copy's, newest first, into a file the player picks.
    void saveAs();

    QListWidget* list() const { return m_list; }
    // The selected rolls as plain text, newest first, an empty line between.
    QString selectedText() const;
    // All the rolls so, newest first.
    QString allText() const;

signals:
    // The player confirmed "Verlauf leeren" for these rolls: those that the
    // question counted.
    void clearRequested(const std::vector<std::uint64_t>& ids);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void addNewest(const RollLog::Entry& entry);
    // The whole log into the list.
    void fill();
    // An empty list says so to a screen reader, which would say only "list".
    void showWhetherEmpty();
    QString text(bool selectedOnly) const;
    void askToClear();

    const RollLog& m_log;
    Announcer* m_announcer = nullptr;
    QListWidget* m_list;
    QPointer<QWidget> m_returnFocus;
};

} // namespace velmora
