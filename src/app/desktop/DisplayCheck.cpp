#include "app/desktop/DisplayCheck.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QRegularExpression>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>
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
        QStringList said;
        for (const HeldMessage& held : *g_held) {
            said << held.text;
        }
        const QString line =
            DisplayCheck::message(said, text, qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("WAYLAND_DISPLAY"));
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

DisplayCheck::~DisplayCheck() { started(); }

void DisplayCheck::started()
{
    if (g_held == nullptr) {
        return;
    }
    qInstallMessageHandler(g_previous);
    for (const HeldMessage& held : *g_held) {
        const QMessageLogContext context(
            nullptr, 0, nullptr, held.category.isEmpty() ? nullptr : held.category.constData());
        qt_message_output(held.type, context, held.text);
    }
    delete g_held;
    g_held = nullptr;
}

QString DisplayCheck::message(
    const QStringList& messages, const QString& fatal, const QString& display, const QString& waylandDisplay)
{
    // Qt's own words for a plugin it has not got, and one it could not start.
    static const QRegularExpression missingPlugin(QStringLiteral("Could not find the Qt platform plugin \"([^\"]*)\""));
    static const QRegularExpression failedPlugin(QStringLiteral("Could not load the Qt platform plugin \"([^\"]*)\""));
    static const QRegularExpression availablePlugins(QStringLiteral("Available platform plugins are: ([^\n]*[^.\n])"));
    QStringList missing;
    QStringList failed;
    for (const QString& said : messages) {
        if (const auto match = missingPlugin.match(said); match.hasMatch()) {
            missing << match.captured(1);
        } else if (const auto match = failedPlugin.match(said); match.hasMatch()) {
            failed << match.captured(1);
        }
    }
    const QString available = availablePlugins.match(fatal).captured(1);
    const QString start = QCoreApplication::translate(
        "velmora::DisplayCheck", "velmora: Velmora braucht eine grafische Oberfläche, aber ");
    const QString offered = available.isEmpty()
        ? QStringLiteral(".")
        : QCoreApplication::translate("velmora::DisplayCheck", " (vorhanden: %1).").arg(available);
    if (!missing.isEmpty()) {
        return start
            + QCoreApplication::translate("velmora::DisplayCheck", "das Qt-Plattform-Plugin „%1“ gibt es nicht")
                  .arg(missing.first())
            + offered;
    }
    if (failed.isEmpty()) {
        return QStringLiteral("velmora: ") + fatal.simplified();
    }
    // The variable each display plugin needs; other plugins need none.
    const auto variable = [&](const QString& plugin) -> std::pair<QString, QString> {
        if (plugin == QLatin1String("xcb")) {
            return {QStringLiteral("DISPLAY"), display};
        }
        if (plugin.startsWith(QLatin1String("wayland"))) {
            return {QStringLiteral("WAYLAND_DISPLAY"), waylandDisplay};
        }
        return {};
    };
    QStringList unreachable;
    bool displayPluginsOnly = true;
    for (const QString& plugin : failed) {
        const auto [name, value] = variable(plugin);
        displayPluginsOnly = displayPluginsOnly && !name.isEmpty();
        const QString shown = QStringLiteral("%1=%2").arg(name, value);
        if (!value.isEmpty() && !unreachable.contains(shown)) {
            unreachable << shown;
        }
    }
    if (unreachable.size() == 1) {
        return start + unreachable.first()
            + QCoreApplication::translate("velmora::DisplayCheck", " ist nicht erreichbar.");
    }
    if (unreachable.size() > 1) {
        std::sort(unreachable.begin(), unreachable.end()); // DISPLAY first, whichever Qt tried first
        return start
            + QCoreApplication::translate("velmora::DisplayCheck", "weder %1 noch %2 ist erreichbar.")
                  .arg(unreachable[0], unreachable[1]);
    }
    if (displayPluginsOnly && display.isEmpty() && waylandDisplay.isEmpty()) {
        return start
            + QCoreApplication::translate("velmora::DisplayCheck", "weder DISPLAY noch WAYLAND_DISPLAY ist gesetzt.");
    }
    const auto [name, value] = variable(failed.first());
    const QString reason = name.isEmpty()
        ? QString()
        : QCoreApplication::translate("velmora::DisplayCheck", ", denn %1 ist nicht gesetzt").arg(name);
    return start
        + QCoreApplication::translate("velmora::DisplayCheck", "das Qt-Plattform-Plugin „%1“ lässt sich nicht laden")
              .arg(failed.first())
        + reason + offered;
}

} // namespace velmora
