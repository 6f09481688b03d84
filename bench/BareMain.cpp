#include "BareWindow.h"

#include <QApplication>

// The baseline program for whole-process start-up: a bare window with the
// main window's 51 controls, and nothing else.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    velmora::bench::BareWindow window;
    window.setWindowTitle(QStringLiteral("Velmora bare"));
    window.show();
    return QApplication::exec();
}
