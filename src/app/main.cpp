#include "app/access/AccessibilityWatch.h"
#include "app/desktop/AfterFirstFrame.h"
#include "app/desktop/DisplayCheck.h"
#include "app/desktop/ExitWatchdog.h"
#include "app/desktop/German.h"
#include "app/desktop/IdleTrim.h"
#include "app/desktop/LazyIconStyle.h"
#include "app/desktop/SignalClose.h"
#include "app/session/Session.h"
#include "app/window/Board.h"
#include "app/window/MainWindow.h"
#include "dice/Clock.h"
#include "dice/MixingGenerator.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    velmora::DisplayCheck displayCheck;
    velmora::ExitWatchdog watchdog; // outlives the application, so watches its teardown
    // The menu bar stays in the window, where F10 and the keys' chain reach
    // it, rather than on a desktop's global menu; nor is the bus asked
    // whether there is one while the window waits.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeMenuBar);
    QApplication app(argc, argv);
    displayCheck.started();
    velmora::germanLocale();
    QApplication::setStyle(new velmora::LazyIconStyle);
    QApplication::setApplicationName(QStringLiteral("velmora"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.velmora.Velmora"));
    QApplication::setWindowIcon(velmora::Board::applicationIcon());

    velmora::MixingGenerator generator;
    velmora::SystemClock clock;
    velmora::AccessibilityWatch accessibility; // before the first widget, which starts Qt's AT-SPI bridge
    velmora::Session session(generator, clock);
    velmora::MainWindow window(session);
    velmora::SignalClose signalClose(&window);
    window.show();
    accessibility.watchAfterFirstFrame(&window);
    // Qt's own words appear in dialogs and menus, none of them in the first frame.
    velmora::afterFirstFrame(&window, [&window, &app] {
        velmora::speakGerman(app);
        window.restoreKept();
        new velmora::IdleTrim(&window);
    });
    const int exitCode = QApplication::exec();
    // Closed before the database was opened: what was rolled is written all the same.
    window.restoreKept();
    watchdog.arm(exitCode, std::chrono::seconds(5));
    return exitCode;
}
