#include "app/desktop/DisplayCheck.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// What Qt 6.4 says before it gives up, word for word.
const QString kFatal = QStringLiteral(
    "This application failed to start because no Qt platform plugin could be initialized. Reinstalling the "
    "application may fix this problem.\n\nAvailable platform plugins are: minimal, offscreen, xcb, wayland.\n");
const QString kNoSuch = QStringLiteral("Could not find the Qt platform plugin \"nosuchplatform\" in \"\"");
const QString kNoWayland = QStringLiteral("Failed to create wl_display (No such file or directory)");
const QString kWaylandFailed =
    QStringLiteral("Could not load the Qt platform plugin \"wayland\" in \"\" even though it was found.");
const QString kXcbFailed =
    QStringLiteral("Could not load the Qt platform plugin \"xcb\" in \"\" even though it was found.");
const QString kNoX = QStringLiteral("could not connect to display :4711");

struct StartCase {
    const char* name;
    QStringList messages;
    QString fatal;
    QString display;
    QString wayland;
    QString cause; // what the line says after "…, aber "
};

class DisplayCheckMessage : public ::testing::TestWithParam<StartCase> {};

TEST_P(DisplayCheckMessage, NamesTheRealCause)
{
    const StartCase& c = GetParam();
    const QString line = DisplayCheck::message(c.messages, c.fatal, c.display, c.wayland);
    EXPECT_FALSE(line.contains(QLatin1Char('\n'))) << line.toStdString();
    EXPECT_EQ(line, QStringLiteral("velmora: Velmora braucht eine grafische Oberfläche, aber ") + c.cause);
}

INSTANTIATE_TEST_SUITE_P(Starts, DisplayCheckMessage,
    ::testing::Values(StartCase{"NoSuchPlugin", {kNoSuch}, kFatal, QStringLiteral(":0"), {},
                          QStringLiteral("das Qt-Plattform-Plugin „nosuchplatform“ gibt es nicht "
                                         "(vorhanden: minimal, offscreen, xcb, wayland).")},
        StartCase{"WaylandOnAnXDesktop", {kNoWayland, kWaylandFailed}, kFatal, QStringLiteral(":0"), {},
            QStringLiteral("das Qt-Plattform-Plugin „wayland“ lässt sich nicht laden, denn WAYLAND_DISPLAY "
                           "ist nicht gesetzt (vorhanden: minimal, offscreen, xcb, wayland).")},
        StartCase{"XUnreachable", {kNoX, kXcbFailed}, kFatal, QStringLiteral(":4711"), {},
            QStringLiteral("DISPLAY=:4711 ist nicht erreichbar.")},
        StartCase{"WaylandUnreachableAndNoX", {kNoWayland, kWaylandFailed, kNoX, kXcbFailed}, kFatal, {},
            QStringLiteral("nowhere"), QStringLiteral("WAYLAND_DISPLAY=nowhere ist nicht erreichbar.")},
        StartCase{"BothUnreachable", {kNoWayland, kWaylandFailed, kNoX, kXcbFailed}, kFatal, QStringLiteral(":4711"),
            QStringLiteral("nowhere"),
            QStringLiteral("weder DISPLAY=:4711 noch WAYLAND_DISPLAY=nowhere ist erreichbar.")},
        StartCase{"NothingSet", {kNoX, kXcbFailed}, kFatal, {}, {},
            QStringLiteral("weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt.")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DisplayCheckMessage, PassesQtsOwnWordsWhereItKnowsNoCause)
{
    EXPECT_EQ(DisplayCheck::message({}, QStringLiteral("Something\n  else."), QStringLiteral(":0"), {}),
        QStringLiteral("velmora: Something else."));
}

} // namespace
} // namespace velmora
