#include "app/desktop/German.h"
#include "app/store/Database.h"

#include <QApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    // As the program does: Qt's own buttons in German.
    velmora::speakGerman(app);
    // Every window saves its roll log: never into the user's own folders,
    // also where the tests run outside CTest's homes of their own.
    QStandardPaths::setTestModeEnabled(true);
    // The store's code is linked in here, not loaded as the program loads it.
    velmora::Store::makeWith(&velmora::Database::makeHere);
    return RUN_ALL_TESTS();
}
