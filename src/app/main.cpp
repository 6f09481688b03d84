#include "app/MainWindow.h"
#include "dice/Clock.h"
#include "dice/MixingGenerator.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("velmora"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.velmora.Velmora"));
    QApplication::setWindowIcon(velmora::MainWindow::applicationIcon());

    velmora::MixingGenerator generator;
    velmora::SystemClock clock;
    velmora::MainWindow window(generator, clock);
    window.show();
    return QApplication::exec();
}
