#include "app/access/AccessibilityWatch.h"

#include "app/desktop/AfterFirstFrame.h"

#include <QAccessible>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QEvent>
#include <QMetaObject>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <string_view>
#include <thread>

namespace velmora {

namespace {

const QString statusService = QStringLiteral("org.a11y.Bus");
const QString statusPath = QStringLiteral("/org/a11y/bus");
const QString statusInterface = QStringLiteral("org.a11y.Status");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr const char* alwaysOn = "QT_LINUX_ACCESSIBILITY_ALWAYS_ON";

enum HookIndex { HookDataVersion = 0, HookDataSize = 1, AddQObjectHook = 3 };
using AddQObjectCallback = void (*)(QObject*);

// Qt calls the hook from every thread that creates an object: what it reads
// is written before the hook is published, and the hook's slot atomically.
std::atomic<quintptr> previousAddHook = 0;
bool hookInstalled = false;
std::atomic<std::thread::id> hookThread;
// Written by the hook in the main thread only; other threads' objects pass by.
std::atomic<QObject*> foundReader = nullptr;
QByteArray foundSlot;

// Qt's reader of the status: an object that tells the bridge with
// enabledChanged(bool), and whose slot reads the status again (Qt 6.4 names
// it serviceRegistered, Qt 6.8 checkEnabledState).
QByteArray readAgainSlot(const QMetaObject* meta)
{
    if (!std::string_view(meta->className()).ends_with("DBusConnection")
        || meta->indexOfSignal("enabledChanged(bool)") < 0) {
        return {};
    }
    for (const char* slot : {"serviceRegistered()", "checkEnabledState()"}) {
        if (meta->indexOfSlot(slot) >= 0) {
            return QByteArray(slot).chopped(2);
        }
    }
    return {};
}

// The reader has no parent, but it is the parent of the first objects that
// it creates, and is recognised by its class while its constructor runs.
void objectAdded(QObject* object)
{
    if (const quintptr previous = previousAddHook.load(std::memory_order_acquire); previous != 0) {
        reinterpret_cast<AddQObjectCallback>(previous)(object);
    }
    if (std::this_thread::get_id() != hookThread || foundReader.load() != nullptr || object->parent() == nullptr) {
        return;
    }
    QObject* parent = object->parent();
    QByteArray slot = readAgainSlot(parent->metaObject());
    if (!slot.isEmpty()) {
        foundSlot = slot;
        foundReader = parent;
    }
}

// Qt's hooks for tools such as debuggers, among them a callback for every
// QObject created: exported since Qt 5.4 with the same layout, but declared
// only in a private header. Looked up at run time, so that a Qt without it
// leaves the watch idle instead of the program unable to start.
quintptr* hookData()
{
    static auto* const data = static_cast<quintptr*>(dlsym(RTLD_DEFAULT, "qtHookData"));
    return data;
}

std::atomic_ref<quintptr> addHook() { return std::atomic_ref<quintptr>(hookData()[AddQObjectHook]); }

void installHook()
{
    quintptr* hooks = hookData();
    if (hookInstalled || hooks == nullptr || hooks[HookDataVersion] < 1 || hooks[HookDataSize] <= AddQObjectHook) {
        return;
    }
    hookThread = std::this_thread::get_id();
    previousAddHook.store(addHook().load(std::memory_order_acquire), std::memory_order_release);
    addHook().store(reinterpret_cast<quintptr>(&objectAdded), std::memory_order_release);
    hookInstalled = true;
}

void removeHook()
{
    if (hookInstalled) {
        quintptr ours = reinterpret_cast<quintptr>(&objectAdded);
        // Only where no later tool has put its own hook over ours.
        addHook().compare_exchange_strong(ours, previousAddHook.load(), std::memory_order_acq_rel);
    }
    hookInstalled = false;
}

QDBusMessage statusQuestion()
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(statusService, statusPath, propertiesInterface, QStringLiteral("GetAll"));
    call << statusInterface;
    // A question must not start the accessibility bus.
    call.setAutoStartService(false);
    return call;
}

bool statusOn(const QVariantMap& properties)
{
    return properties.value(QStringLiteral("IsEnabled")).toBool()
        || properties.value(QStringLiteral("ScreenReaderEnabled")).toBool();
}

} // namespace

AccessibilityWatch::AccessibilityWatch()
{
    installHook();
    spareQtAMuteService();
}

AccessibilityWatch::~AccessibilityWatch() { removeHook(); }

void AccessibilityWatch::spareQtAMuteService()
{
    // Qt's bridge, which the first widget starts, asks a status service that
    // is already there two questions and waits for each answer up to 25 s.
    // One that does not answer ours in time is taken as mute, and the bridge
    // asks it nothing: Qt's switch for platforms without a status makes it
    // take accessibility as on and ask only for the bus, without waiting.
    if (qEnvironmentVariableIsSet(alwaysOn) || qEnvironmentVariableIsSet("AT_SPI_BUS_ADDRESS")) {
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    // One round trip: where there is no such service, the bus daemon answers
    // at once that there is none.
    const QDBusMessage reply = bus.call(statusQuestion(), QDBus::Block, kFirstAnswerWithin);
    const QDBusError::ErrorType error = QDBusError(reply).type();
    if (error == QDBusError::NoReply || error == QDBusError::Timeout) {
        // Before the store's thread and the bridge exist; Qt's D-Bus and X
        // threads read the environment through the lock that this takes.
        qputenv(alwaysOn, "1");
    }
}

void AccessibilityWatch::watchAfterFirstFrame(QWidget* window)
{
    // The switch set for a mute service stays: Qt read it once, as the
    // bridge started, and to unset it now, with the store's and the
    // bridge's threads running, would race their reads of the environment.
    removeHook();
    m_reader = foundReader.load();
    m_readAgain = foundSlot;
    if (m_reader.isNull()) {
        return; // no AT-SPI bridge, or one that needs no help
    }
    // The reader reads the status as the service appears (Qt 6.4 and 6.8)
    // and on its every signal (6.8), each time with two blocking questions,
    // 25 s each from a service that gives no answer; the watch follows both
    // in its stead, without waiting, and sends the reader only to a service
    // that has just answered.
    for (QObject* child : m_reader->children()) {
        const std::string_view name = child->metaObject()->className();
        if (name == "OrgFreedesktopDBusPropertiesInterface" || name == "QDBusServiceWatcher") {
            QObject::disconnect(child, nullptr, m_reader, nullptr);
        }
    }
    // The first expose paints the first frame; a timer started now runs after
    // it has settled. A window that is never exposed is watched a second later.
    if (window->windowHandle() != nullptr) {
        window->windowHandle()->installEventFilter(this);
    }
    QTimer::singleShot(1000, this, &AccessibilityWatch::watch);
}

bool AccessibilityWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed()) {
        watched->removeEventFilter(this);
        // Its questions wake the bus daemon, which would take the processor
        // from the desktop that is showing the frame.
        QTimer::singleShot(kFrameSettles, this, &AccessibilityWatch::watch);
    }
    return QObject::eventFilter(watched, event);
}

void AccessibilityWatch::watch()
{
    if (m_watching) {
        return;
    }
    m_watching = true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    bus.connect(statusService, statusPath, propertiesInterface, QStringLiteral("PropertiesChanged"), this,
        SLOT(statusPropertiesChanged(QString, QVariantMap, QStringList)));
    auto* appearance = new QDBusServiceWatcher(statusService, bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(appearance, &QDBusServiceWatcher::serviceRegistered, this, &AccessibilityWatch::readStatus);
    // It may have turned on while the window was coming up.
    readStatus();
}

void AccessibilityWatch::readStatus()
{
    // One question at a time: a service that floods the bus with signals
    // gets no more than that.
    if (m_reading) {
        return;
    }
    m_reading = true;
    auto* pending =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(statusQuestion(), kAnswerWithin), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, &AccessibilityWatch::statusRead);
}

void AccessibilityWatch::statusRead(QDBusPendingCallWatcher* call)
{
    call->deleteLater();
    m_reading = false;
    const QDBusPendingReply<QVariantMap> reply = *call;
    // A service that does not answer changes nothing: to ask Qt's reader,
    // which waits, would be to wait for it too. It is asked again later, less
    // and less often: a bus that has just started may answer slowly on a
    // busy machine, and a silent one costs a question a minute at most.
    if (reply.isError()) {
        const QDBusError::ErrorType error = reply.error().type();
        if (error == QDBusError::NoReply || error == QDBusError::Timeout) {
            QTimer::singleShot(m_askAgainIn, this, &AccessibilityWatch::readStatus);
            m_askAgainIn = std::min(2 * m_askAgainIn, kAskAgainAtMost);
        }
        return;
    }
    m_askAgainIn = kAnswerWithin;
    const bool on = statusOn(reply.value());
    if (on == m_on) {
        return;
    }
    m_on = on;
    if (on) {
        bringUp();
    } else if (QAccessible::isActive() && !m_reader.isNull()) {
        // Qt reads it again and puts its bridge to sleep.
        QMetaObject::invokeMethod(m_reader, m_readAgain.constData(), Qt::QueuedConnection);
    }
}

void AccessibilityWatch::statusPropertiesChanged(
    const QString& interface, const QVariantMap& changed, const QStringList& invalidated)
{
    // Only a change is news; and even then the status is read again, with a
    // time limit, before Qt's own reader, which waits for its answers, is
    // sent to a service that may not give them.
    const bool named =
        changed.contains(QStringLiteral("IsEnabled")) || changed.contains(QStringLiteral("ScreenReaderEnabled"));
    if (interface == statusInterface && (!invalidated.isEmpty() || (named && statusOn(changed) != m_on))) {
        readStatus();
    }
}

void AccessibilityWatch::bringUp()
{
    if (QAccessible::isActive() || m_reader.isNull()) {
        return;
    }
    QMetaObject::invokeMethod(m_reader, m_readAgain.constData(), Qt::QueuedConnection);
    // Qt 6.4's reader that took the bus from the X root window at start-up
    // holds itself on already, tells nobody, and stays silent when it reads
    // the status on; the bridge waits for its word all the same. Without
    // that connection the reader connects and tells the bridge itself, and
    // a word before then would start the bridge on no bus.
    if (m_readAgain == "serviceRegistered" && QDBusConnection(QStringLiteral("a11y")).isConnected()) {
        QMetaObject::invokeMethod(m_reader, "enabledChanged", Qt::QueuedConnection, Q_ARG(bool, true));
    }
}

} // namespace velmora
