#pragma once

#include "steps/RollLog.h"

#include <QPointer>
#include <QWidget>

class QListWidget;

namespace velmora {

class Announcer;

// "Velmora - Verlauf": the rolls of this run, newest first, one line each,
// beside the main window. It opens with the newest roll focused, so that a
// screen reader reads it at once, and Escape gives the focus back to where
// it was. Ctrl+C copies the selected rolls, Ctrl+A selects them all.
class RollLogWindow : public QWidget {
    Q_OBJECT

public:
    explicit RollLogWindow(const RollLog& log, QWidget* parent = nullptr);

    // Shows the window beside `beside`, newest roll focused.
    void open(QWidget* beside);
    // Call after every roll added to the log.
    void rollAdded();

    QListWidget* list() const { return m_list; }
    // The selected rolls as plain text, newest first, an empty line between.
    QString selectedText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void addNewest(const RollLog::Entry& entry);
    // An empty list says so to a screen reader, which would say only "list".
    void showWhetherEmpty();

    const RollLog& m_log;
    Announcer* m_announcer = nullptr;
    QListWidget* m_list;
    QPointer<QWidget> m_returnFocus;
};

} // namespace velmora
