#include "WindowRig.h"
#include "app/access/Announcer.h"
#include "app/band/TranscriptView.h"
#include "app/desktop/AfterFirstFrame.h"
#include "app/desktop/HeldKeys.h"
#include "app/desktop/Placement.h"
#include "app/log/LookBackBar.h"
#include "app/log/RollLogView.h"
#include "app/odds/OddsText.h"
#include "app/odds/OddsWindow.h"
#include "app/odds/StepOddsHook.h"
#include "app/talents/AskDialog.h"
#include "app/talents/TalentsView.h"
#include "talents/Roster.h"

#include <QAbstractEventDispatcher>
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStyle>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace velmora {
namespace {

// Offscreen Qt has no bridge that would ever turn accessibility on; the
// announcer speaks only while something listens.
bool listening = false;

struct Listening {
    Listening() { listening = true; }
    ~Listening() { listening = false; }
    Listening(const Listening&) = delete;
    Listening& operator=(const Listening&) = delete;
};

} // namespace
} // namespace velmora

bool QAccessible::isActive() { return velmora::listening; }

namespace velmora {
namespace {

TEST(HeldKeys, RepeatsOfAHeldKeyAreNoNewPresses)
{
    struct Step {
        QEvent::Type type;
        quint64 at;
        bool flagged;
        bool repeat; // of a press
    };
    const struct {
        const char* what;
        std::vector<Step> steps;
    } cases[] = {
        {"pressed again, unflagged, while held",
            {{QEvent::KeyPress, 10, false, false}, {QEvent::KeyPress, 40, false, true}}},
        // X11's pair of a repeat that Qt did not flag; a release at another
        // time than the next press is the key let go.
        {"released and pressed at one time",
            {{QEvent::KeyPress, 10, false, false}, {QEvent::KeyRelease, 40, false, false},
                {QEvent::KeyPress, 40, false, true}, {QEvent::KeyRelease, 90, false, false},
                {QEvent::KeyPress, 95, false, false}}},
        {"a release flagged as a repeat",
            {{QEvent::KeyPress, 10, false, false}, {QEvent::KeyRelease, 40, true, false},
                {QEvent::KeyPress, 70, false, true}}},
    };
    // Releases reach the one record wherever they go, here to a bare object.
    QObject elsewhere;
    HeldKeys& keys = HeldKeys::instance();
    for (const auto& c : cases) {
        QKeyEvent letGo(QEvent::KeyRelease, Qt::Key_Plus, Qt::NoModifier, QStringLiteral("+"));
        letGo.setTimestamp(1);
        QCoreApplication::sendEvent(&elsewhere, &letGo);
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            QKeyEvent event(step.type, Qt::Key_Plus, Qt::NoModifier, QStringLiteral("+"), step.flagged);
            event.setTimestamp(step.at);
            if (step.type == QEvent::KeyRelease) {
                QCoreApplication::sendEvent(&elsewhere, &event);
            } else {
                EXPECT_EQ(keys.pressIsRepeat(event), step.repeat) << c.what << ", event " << i;
            }
        }
    }
    QKeyEvent letGo(QEvent::KeyRelease, Qt::Key_Plus, Qt::NoModifier, QStringLiteral("+"));
    QCoreApplication::sendEvent(&elsewhere, &letGo);
}

// What the notices of a window say, where Qt has no announcements.
QStringList noticesSaid(QWidget* window)
{
    QStringList said;
    QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(window);
    for (int i = 0; i < frame->childCount(); ++i) {
        QAccessibleInterface* child = frame->child(i);
        if (child->role() == QAccessible::Notification && child->childCount() == 1) {
            said << child->child(0)->text(QAccessible::Name);
        }
    }
    return said;
}

// A flood of announcements leaves a screen reader the latest 64, and each
// goes once its time is up.
TEST(Announcer, KeepsTheLatestNoticesForAWhile)
{
    if (QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)) {
        GTEST_SKIP() << "Qt 6.8 and later announce, and keep no notices";
    }
    const Listening reader;
    QWidget window;
    auto* announcer = new Announcer(&window);
    for (int n = 1; n <= 70; ++n) {
        announcer->announce(QString::number(n));
    }
    const QStringList flood = noticesSaid(&window);
    ASSERT_EQ(flood.size(), 64);
    EXPECT_EQ(flood.constFirst(), QStringLiteral("7"));
    EXPECT_EQ(flood.constLast(), QStringLiteral("70"));

    // Waiting out the time would take a minute. Qt hangs the timer of a
    // single shot on the event dispatcher; the one that the next notice
    // starts is made to fire at once.
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    const QList<QObject*> before = dispatcher->children();
    announcer->announce(QStringLiteral("last"));
    ASSERT_EQ(noticesSaid(&window).constLast(), QStringLiteral("last"));
    std::vector<std::pair<QObject*, QAbstractEventDispatcher::TimerInfo>> started;
    for (QObject* shot : dispatcher->children()) {
        if (!before.contains(shot)) {
            for (const auto& timer : dispatcher->registeredTimers(shot)) {
                started.emplace_back(shot, timer);
            }
        }
    }
    ASSERT_EQ(started.size(), 1U);
    EXPECT_LE(started[0].second.interval, 60'000); // a minute at most
    QTimerEvent fired(started[0].second.timerId);
    QCoreApplication::sendEvent(started[0].first, &fired);
    const QStringList left = noticesSaid(&window);
    EXPECT_EQ(left.size(), 63);
    EXPECT_FALSE(left.contains(QStringLiteral("last")));
}

// However the main window stands, the side window lies wholly on the screen.
// One karma change, many controls: a screen reader that is sent forty
// descriptions at once drops the rolls and choices that follow. Each change
// of a description is an event sent to it.
TEST(Announcer, AKarmaChangeChangesFewDescriptionsAndTooltipsStayTrue)
{
    fixtures::WindowRig rig;
    auto tip = [&rig](int step) {
        QHelpEvent event(QEvent::ToolTip, QPoint(1, 1), rig.step(step)->mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(rig.step(step), &event);
        return rig.step(step)->toolTip();
    };
    QStringList before;
    for (int step = 1; step <= 40; ++step) {
        tip(step);
        before << rig.step(step)->accessibleDescription();
    }
    rig.session.stepKarma(1);
    int changed = 0;
    for (int step = 1; step <= 40; ++step) {
        changed += rig.step(step)->accessibleDescription() != before[step - 1] ? 1 : 0;
    }
    EXPECT_LE(changed, 1) << "the focused step's at most";
    EXPECT_EQ(tip(40), stepButtonDescription(40, 1));
}

// A quick run of rolls and karma keys updates what a screen reader is told
// of only once more when it pauses: then with the latest.
TEST(Announcer, PacedLabelsSettleOnTheLatest)
{
    fixtures::WindowRig rig;
    rig.window.showLog();
    rig.window.showTalents();
    ASSERT_TRUE(
        QTest::qWaitFor([&rig] { return rig.window.logView() != nullptr && rig.window.talentsView() != nullptr; }));
    auto* karma = rig.window.talentsView()->findChild<QLabel*>(QStringLiteral("talentKarma"));
    ASSERT_NE(karma, nullptr);
    for (int roll = 0; roll < 3; ++roll) {
        rig.session.stepKarma(1);
        rig.source.push(2, 4);
        rig.source.push(1, 4);
        rig.session.rollStep(3);
    }
    EXPECT_TRUE(QTest::qWaitFor([&rig] {
        return rig.window.logView()->tonight()->text().startsWith(QStringLiteral("Heute: 3\u00A0Würfe"));
    })) << rig.window.logView()->tonight()->text().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([karma] { return karma->text() == QStringLiteral("Karma +8"); }))
        << karma->text().toStdString();
}

// A roll heard away from the board names the step: a re-roll from the log
// is told as "Stufe 14, Summe …", one on the step's button as "Summe …".
TEST(Announcer, ARollAwayFromItsButtonNamesItsStep)
{
    QStandardPaths::setTestModeEnabled(true);
    fixtures::WindowRig rig;
    const Listening reader;
    rig.source.repeatForever(3, 20);
    QStringList told;
    QObject::connect(
        rig.window.board()->announcer(), &Announcer::announced, [&told](const QString& words) { told << words; });
    rig.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&rig.window));
    rig.step(14)->setFocus();
    QTest::keyClick(rig.step(14), Qt::Key_Space);
    rig.window.showLog();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_EQ(rig.session.log().size(), 2U);
    ASSERT_TRUE(QTest::qWaitFor([&told] { return told.size() >= 2; }));
    EXPECT_TRUE(told.first().startsWith(QStringLiteral("Summe "))) << told.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(told.last().startsWith(QStringLiteral("Stufe 14, Summe ")))
        << told.join(QLatin1Char('|')).toStdString();
}

// The odds window says its step as it opens, and a typed step once the
// typing pauses: "4" "0" is step 40, with no word about step 4.
TEST(Announcer, TheOddsWindowSaysTheStepItEndsOn)
{
    fixtures::WindowRig rig;
    const Listening reader;
    rig.window.board()->odds()->openOdds(3);
    OddsWindow* odds = rig.window.board()->odds()->window();
    ASSERT_NE(odds, nullptr);
    QStringList told;
    QObject::connect(
        odds->findChild<Announcer*>(), &Announcer::announced, [&told](const QString& words) { told << words; });
    odds->close();
    rig.window.board()->odds()->openOdds(14);
    const auto said = [&told] { return told.join(QLatin1Char('|')); };
    EXPECT_TRUE(said().startsWith(QStringLiteral("Chancen für Stufe 14. D20 plus D4"))) << said().toStdString();
    odds->stepSelector()->selectAll();
    QTest::keyClicks(odds->stepSelector(), QStringLiteral("40"));
    EXPECT_EQ(odds->step(), 40);
    EXPECT_TRUE(QTest::qWaitFor([&] { return said().contains(QStringLiteral("Stufe 40")); })) << said().toStdString();
    EXPECT_FALSE(said().contains(QStringLiteral("Stufe 4."))) << said().toStdString();
}

// "Verlauf leeren" on an empty log asks nothing, and says so rather than
// nothing at all.
TEST(Announcer, ClearingAnEmptyLogSaysThereIsNothing)
{
    QStandardPaths::setTestModeEnabled(true);
    fixtures::WindowRig rig;
    const Listening reader;
    rig.window.showLog();
    QStringList told;
    QObject::connect(rig.window.logView()->findChild<Announcer*>(), &Announcer::announced,
        [&told](const QString& words) { told << words; });
    int asked = 0;
    QTimer::singleShot(0, [&asked] {
        if (auto* question = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ++asked;
            question->reject();
        }
    });
    rig.window.logView()->askToClear();
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(told, QStringList{QStringLiteral("Noch keine Würfe")});
}

// A choice in the log's bar says how many rolls it chose, once: a screen
// reader hears nothing else change.
TEST(Announcer, AChoiceInTheLogSaysHowManyRollsItChose)
{
    fixtures::forgetKept();
    fixtures::WindowRig rig;
    rig.window.restoreKept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.session.keeper().loaded(); }));
    rig.source.repeatForever(2, 4);
    rig.click(rig.step(3));
    rig.click(rig.step(3));
    rig.click(rig.step(4));
    const Listening reader;
    rig.window.showLog();
    QStringList told;
    QObject::connect(rig.window.logView()->findChild<Announcer*>(), &Announcer::announced,
        [&told](const QString& words) { told << words; });
    rig.window.logView()->lookBack()->step()->setValue(3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return told.contains(QStringLiteral("2 Würfe gewählt")); }))
        << told.join(" / ").toStdString();
    rig.click(rig.step(3));
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.window.logView()->table()->model()->rowCount() == 3; }));
    EXPECT_EQ(told.filter(QStringLiteral("gewählt")).size(), 1) << told.join(" / ").toStdString();
}

// Calls `seen` with each object that receives an event of one type.
class EventSpy : public QObject {
public:
    EventSpy(QObject* on, QEvent::Type type, std::function<void(QObject*)> seen) : m_type(type), m_seen(std::move(seen))
    {
        on->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == m_type) {
            m_seen(watched);
        }
        return false;
    }

private:
    QEvent::Type m_type;
    std::function<void(QObject*)> m_seen;
};

// A screen reader that meets a field's text events once its dialog is
// shown takes the field for its focus without a word: the player hears the
// dialog but not what it asks. Each of the talents' dialogs, the name's and
// the step's, prefilled or empty, says no more than its focus until typed in,
// and tells its question with itself.
TEST(Accessible, ADialogsFieldIsQuietUntilTypedIn)
{
    QStandardPaths::setTestModeEnabled(true);
    fixtures::WindowRig rig;
    ASSERT_FALSE(rig.session.keeper().changeTalents([](Roster& roster) {
        const Refusal refusal = roster.addCharacter("Arven");
        return refusal ? refusal : roster.addTalent(0, "Schwertkampf", 14);
    }));
    rig.window.showTalents();
    TalentsView* talents = rig.window.talentsView();
    // What a field says follows its line edit's signals.
    QStringList heard;
    bool typing = false;
    EventSpy shows(qApp, QEvent::Show, [&heard, &typing](QObject* shown) {
        auto* dialog = qobject_cast<AskDialog*>(shown);
        for (QLineEdit* field : dialog != nullptr ? dialog->findChildren<QLineEdit*>() : QList<QLineEdit*>()) {
            const auto note = [&heard, &typing, dialog](const char* what) {
                return [&heard, &typing, dialog, what] {
                    if (!typing) {
                        heard << dialog->windowTitle() + QStringLiteral(": ") + QLatin1String(what);
                    }
                };
            };
            QObject::connect(field, &QLineEdit::selectionChanged, note("selection"));
            QObject::connect(field, &QLineEdit::cursorPositionChanged, note("caret"));
            QObject::connect(field, &QLineEdit::textChanged, note("text"));
        }
    });
    QStringList shown;
    QPointer<AskDialog> answered;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<AskDialog*>(QApplication::activeModalWidget());
        if (dialog != nullptr && dialog != answered) {
            answered = dialog;
            // Its question told with the dialog, for a reader that says no more.
            shown << dialog->windowTitle() + QStringLiteral(": ")
                    + QAccessible::queryAccessibleInterface(dialog)->text(QAccessible::Description);
            typing = true;
            if (dialog->textValue().isEmpty()) {
                dialog->setTextValue(QStringLiteral("Bogen"));
            }
            typing = false;
            dialog->accept();
        }
    });
    answerer.start(0);
    for (const QString& button :
        {QStringLiteral("Talent umbenennen"), QStringLiteral("Stufe ändern"), QStringLiteral("Talent hinzufügen")}) {
        for (QPushButton* b : talents->findChildren<QPushButton*>()) {
            if (b->text().remove(QLatin1Char('&')).startsWith(button)) {
                b->click();
            }
        }
    }
    answerer.stop();
    EXPECT_EQ(shown,
        QStringList({QStringLiteral("Talent umbenennen: Neuer Name des Talents:"),
            QStringLiteral("Stufe ändern: Stufe von Schwertkampf:"),
            QStringLiteral("Talent hinzufügen: Name des Talents:"),
            QStringLiteral("Stufe des neuen Talents: Stufe von Bogen:")}))
        << shown.join(QStringLiteral(", ")).toStdString();
    EXPECT_TRUE(heard.isEmpty()) << heard.join(QStringLiteral(", ")).toStdString();
}

// A new talent's step dialog follows its name's at once, when a screen
// reader may still be busy: its field is filled while the name is asked,
// so that the filling is old news, from another window, as it opens.
TEST(Accessible, ANewTalentsStepIsFilledWhileItsNameIsAsked)
{
    QStandardPaths::setTestModeEnabled(true);
    fixtures::WindowRig rig;
    ASSERT_FALSE(rig.session.keeper().changeTalents([](Roster& roster) { return roster.addCharacter("Arven"); }));
    rig.window.showTalents();
    TalentsView* talents = rig.window.talentsView();
    QStringList seen;
    QPointer<AskDialog> answered;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<AskDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || dialog == answered) {
            return;
        }
        answered = dialog;
        QStringList waiting;
        for (const AskDialog* other : talents->findChildren<AskDialog*>()) {
            const auto* spin = other->findChild<QSpinBox*>();
            if (other != dialog && other->isHidden() && spin != nullptr) {
                waiting << other->windowTitle() + QStringLiteral(" ") + spin->text();
            }
        }
        seen << dialog->windowTitle() + QStringLiteral(" with ") + waiting.join(QLatin1Char(','));
        if (dialog->textValue().isEmpty()) {
            dialog->setTextValue(QStringLiteral("Bogen"));
        }
        dialog->accept();
    });
    answerer.start(0);
    for (QPushButton* b : talents->findChildren<QPushButton*>()) {
        if (b->text().remove(QLatin1Char('&')).startsWith(QStringLiteral("Talent hinzufügen"))) {
            b->click();
        }
    }
    answerer.stop();
    EXPECT_EQ(seen,
        QStringList({QStringLiteral("Talent hinzufügen with Stufe des neuen Talents 10"),
            QStringLiteral("Stufe des neuen Talents with ")}))
        << seen.join(QStringLiteral(" | ")).toStdString();
}

// Orca splits what it says of a text by its attribute runs: an empty run
// at each offset, as Qt gives for a line edit, cost the selected name its
// last letter. A field's interface must still never give a password away.
TEST(Accessible, TextRunsCoverTheWholeTextAndPasswordsStayHidden)
{
    fixtures::WindowRig rig;
    rig.source.push(7, 20);
    rig.source.push(3, 4);
    rig.click(rig.step(14));
    auto* field = new QLineEdit(QStringLiteral("Bogen"), &rig.window);
    field->selectAll();
    for (QObject* text :
        {static_cast<QObject*>(field), static_cast<QObject*>(rig.window.findChild<TranscriptView*>())}) {
        QAccessibleTextInterface* iface = QAccessible::queryAccessibleInterface(text)->textInterface();
        ASSERT_NE(iface, nullptr) << text->metaObject()->className();
        int start = -1;
        int end = -1;
        iface->attributes(2, &start, &end);
        EXPECT_EQ(start, 0) << text->metaObject()->className();
        EXPECT_EQ(end, iface->characterCount()) << text->metaObject()->className();
        EXPECT_GT(end, 4);
    }
    QAccessibleTextInterface* iface = QAccessible::queryAccessibleInterface(field)->textInterface();
    int start = -1;
    int end = -1;
    iface->selection(0, &start, &end);
    EXPECT_EQ(iface->text(start, end), QStringLiteral("Bogen"));
    // A spin box's field stays the spin box's to tell, as in Qt.
    auto* spin = new QSpinBox(&rig.window);
    QAccessibleInterface* spinField = QAccessible::queryAccessibleInterface(spin->findChild<QLineEdit*>());
    EXPECT_TRUE(spinField == nullptr || spinField->textInterface() == nullptr);
    field->setEchoMode(QLineEdit::Password);
    EXPECT_FALSE(iface->text(0, iface->characterCount()).contains(QStringLiteral("Bogen")));
    EXPECT_FALSE(
        QAccessible::queryAccessibleInterface(field)->text(QAccessible::Value).contains(QStringLiteral("Bogen")));
}

// A reader's review asks for any offset, those beyond the text too.
TEST(Accessible, AFieldsCharactersStandInItAndNoneOutsideItsText)
{
    fixtures::WindowRig rig;
    auto* field = new QLineEdit(QStringLiteral("Bogen"), &rig.window);
    field->setGeometry(10, 10, 200, 30);
    field->show();
    QAccessibleTextInterface* iface = QAccessible::queryAccessibleInterface(field)->textInterface();
    ASSERT_NE(iface, nullptr);
    const QRect shown(field->mapToGlobal(QPoint(0, 0)), field->size());
    int left = -1;
    for (const int offset : {-7, -1, 0, 1, 2, 3, 4, 5, 6, 1000}) {
        const QRect box = iface->characterRect(offset);
        if (offset < 0 || offset >= 5) {
            EXPECT_TRUE(box.isEmpty()) << offset;
            continue;
        }
        EXPECT_GT(box.width(), 0) << offset;
        EXPECT_GT(box.left(), left) << offset;
        EXPECT_TRUE(shown.contains(box)) << offset;
        left = box.left();
    }
    // Text and edits only within the text, and none in a field the player
    // cannot edit.
    EXPECT_EQ(iface->text(-1, 2), QString());
    EXPECT_EQ(iface->text(1, 3), QStringLiteral("og"));
    QAccessibleEditableTextInterface* editable = QAccessible::queryAccessibleInterface(field)->editableTextInterface();
    ASSERT_NE(editable, nullptr);
    editable->replaceText(0, 1, QStringLiteral("b"));
    EXPECT_EQ(field->text(), QStringLiteral("bogen"));
    field->setReadOnly(true);
    editable->replaceText(0, 1, QStringLiteral("B"));
    EXPECT_EQ(field->text(), QStringLiteral("bogen"));
}

TEST(Placement, TheSideWindowStaysOnTheScreen)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect area = screen.marginsRemoved(QMargins(20, 20, 20, 20));
    const struct {
        const char* what;
        QSize main;
        Qt::Alignment where;
    } cases[] = {
        {"no room on either side", QSize(area.width() - 260, 200), Qt::AlignCenter},
        {"low on the screen", QSize(200, 100), Qt::AlignLeft | Qt::AlignBottom},
    };
    for (const auto& c : cases) {
        QWidget main;
        main.setGeometry(QStyle::alignedRect(Qt::LeftToRight, c.where, c.main, area));
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main)) << c.what;
        // Where it stood before, reaching past the screen's corner.
        QWidget side;
        side.setGeometry(QRect(area.bottomRight(), QSize(300, 300)));
        placeBeside(&side, &main);
        side.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&side)) << c.what;
        const QRect placed = side.frameGeometry();
        EXPECT_TRUE(screen.contains(placed))
            << c.what << ": at " << placed.x() << "," << placed.y() << ", " << placed.width() << "x" << placed.height();
    }
}

// A window that the window manager is about to maximize, still at its
// normal place, stays maximized: moved back onto the screen it would not be.
TEST(Placement, AMaximizedWindowIsLeftToTheWindowManager)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget window;
    window.setGeometry(area.right() - 100, area.bottom() - 100, 400, 300); // reaching past the corner
    window.setWindowState(Qt::WindowMaximized);
    keepOnScreen(&window);
    EXPECT_TRUE(window.isMaximized());
}

// What waits for the first frame waits for it however slowly the window
// comes: not a second after it was asked for, as a loaded machine or a
// profiler would have it, and not long after the frame either.
TEST(FirstFrame, WaitsForTheWindowsFirstFrameHoweverLateItComes)
{
    QWidget window;
    bool ran = false;
    afterFirstFrame(&window, [&ran] { ran = true; });
    QTest::qWait(1500); // a slow start: the window is not even shown yet
    EXPECT_FALSE(ran);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(QTest::qWaitFor([&ran] { return ran; }, 3000));
    // Asked for once the window is on screen: no first expose is to come.
    bool late = false;
    afterFirstFrame(&window, [&late] { late = true; });
    EXPECT_TRUE(QTest::qWaitFor([&late] { return late; }, 3000));
}

} // namespace
} // namespace velmora
