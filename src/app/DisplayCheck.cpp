#include "app/DisplayCheck.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace velmora {
namespace {

struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};

// Qt's message handler is a plain function, so what it holds lives here,
// for the short time that a DisplayCheck is starting.
QtMessageHandler g_previous = nullptr;
std::vector<HeldMessage>* g_held = nullptr;

void holdOrGiveUp(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type == QtFatalMsg) {
        const QString line = DisplayCheck::message(
            qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("WAYLAND_DISPLAY"));
        std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
        std::fflush(stderr);
        std::_Exit(1);
    }
    g_held->push_back({type, QByteArray(context.category), text});
}

} // namespace

DisplayCheck::DisplayCheck()
{
    g_held = new std::vector<HeldMessage>;
    g_previous = qInstallMessageHandler(holdOrGiveUp);
}

DisplayCheck::~DisplayCheck()
{
    started();
}

void DisplayCheck::started()
{
    if (g_held == nullptr) {
        return;
    }
    qInstallMessageHandler(g_previous);
    for (const HeldMessage& held : *g_held) {
        const QMessageLogContext context(nullptr, 0, nullptr,
            held.category.isEmpty() ? nullptr : held.category.constData());
        qt_message_output(held.type, context, held.text);
    }
    delete g_held;
    g_held = nullptr;
}

QString DisplayCheck::message(const QString& display, const QString& waylandDisplay)
{
    const QString start = QStringLiteral("velmora: Velmora braucht eine grafische Oberfläche, aber ");
    if (display.isEmpty() && waylandDisplay.isEmpty()) {
        return start + QStringLiteral("weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt.");
    }
    if (!display.isEmpty() && !waylandDisplay.isEmpty()) {
        return start + QStringLiteral("weder DISPLAY=%1 noch WAYLAND_DISPLAY=%2 ist erreichbar.")
                           .arg(display, waylandDisplay);
    }
    return start + (display.isEmpty() ? QStringLiteral("WAYLAND_DISPLAY=%1") : QStringLiteral("DISPLAY=%1"))
                       .arg(display.isEmpty() ? waylandDisplay : display)
        + QStringLiteral(" ist nicht erreichbar.");
}

} // namespace velmora
