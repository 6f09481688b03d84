#pragma once

#include "app/band/TranscriptView.h"
#include "app/session/Session.h"
#include "app/store/Store.h"
#include "app/window/Board.h"
#include "app/window/IndicatorLamp.h"
#include "app/window/MainWindow.h"
#include "dice/ScriptedSource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include <string>
#include <vector>

namespace velmora::fixtures {

// A first start: nothing kept, neither rolls nor layout, in the test's own folders.
inline void forgetKept()
{
    QStandardPaths::setTestModeEnabled(true);
    const Store::Paths paths = Store::userPaths();
    for (const QString& part : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        QFile::remove(paths.database + part);
    }
    QFile::remove(paths.settings);
    const QFileInfo database(paths.database);
    for (const QString& unwritten :
        database.dir().entryList({database.fileName() + QStringLiteral(".ungespeichert*")})) {
        QFile::remove(database.dir().filePath(unwritten));
    }
}

// The real main window, shown offscreen, over a scripted source and a frozen
// clock, with its menus, which the program makes just after its first frame.
template <typename Source = ScriptedSource>
struct BasicWindowRig {
    template <typename... Args>
    explicit BasicWindowRig(Args&&... args) : source(std::forward<Args>(args)...)
    {
        window.show();
        [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(&window);
        window.createMenus();
    }

    QPushButton* button(const QString& name) const
    {
        return window.board()->findChild<QPushButton*>(name, Qt::FindDirectChildrenOnly);
    }
    QPushButton* step(int n) const { return button(QStringLiteral("Command%1").arg(n)); }
    QPushButton* karmaButton(int n) const { return button(QStringLiteral("karmabutton%1").arg(n)); }
    IndicatorLamp* lamp(int n) const { return window.findChild<IndicatorLamp*>(QStringLiteral("karmacheck%1").arg(n)); }
    QLabel* karmaLabel() const { return window.findChild<QLabel*>(QStringLiteral("karma")); }

    void click(QPushButton* target) { QTest::mouseClick(target, Qt::LeftButton); }
    const std::vector<std::string>& lines() const { return session.transcript().lines(); }

    Source source;
    FrozenClock clock;
    Session session{source, clock};
    MainWindow window{session};
};

using WindowRig = BasicWindowRig<>;

} // namespace velmora::fixtures
