#include "WindowRig.h"

#include "app/store/Keeper.h"
#include "app/talents/AskDialog.h"
#include "app/talents/TalentsView.h"
#include "karma/KarmaState.h"
#include "text/RollText.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace velmora {
namespace {

using fixtures::WindowRig;

// A talent rolled by keyboard in the talents window: the band is exactly
// its step's, and the log and the copy carry the names.
TEST(Talents, ReturnRollsTheTalentFoundByTypingItsName)
{
    QStandardPaths::setTestModeEnabled(true); // never the user's own talents
    WindowRig rig;
    ASSERT_FALSE(rig.session.keeper().changeTalents([](Roster& roster) {
        for (const Refusal& refusal : {roster.addCharacter("Arven"), roster.addTalent(0, "Wahrnehmung", 9),
                 roster.addTalent(0, "Schwertkampf", 14)}) {
            if (refusal) {
                return refusal;
            }
        }
        return Refusal();
    }));
    rig.source.repeatForever(3, 6);
    rig.click(rig.karmaButton(2));
    rig.click(rig.step(14));
    const std::vector<std::string> stepBand = rig.lines();

    QTest::keyClick(rig.step(14), Qt::Key_T, Qt::ControlModifier);
    TalentsView* talents = rig.window.talentsView();
    ASSERT_NE(talents, nullptr);
    auto* table = talents->findChild<QTableWidget*>(QStringLiteral("talentTable"));
    ASSERT_TRUE(QTest::qWaitFor([table] { return QApplication::focusWidget() == table; }));
    EXPECT_EQ(table->accessibleName(), QStringLiteral("Arven"));
    EXPECT_EQ(table->item(1, 2)->text(), QStringLiteral("D20 + D4")) << "the dice column follows the step";
    QTest::keyClicks(table, QStringLiteral("Sch"));
    QTest::keyClick(table, Qt::Key_Return);

    EXPECT_EQ(rig.lines(), stepBand);
    EXPECT_EQ(rig.session.log().size(), 2U);
    EXPECT_EQ(rig.session.log().latest().roll.talent, "Schwertkampf");
    rig.window.board()->copyRoll();
    EXPECT_TRUE(
        QApplication::clipboard()->text().startsWith(QStringLiteral("Arven: Schwertkampf (Stufe 14), Karma +6\n")))
        << QApplication::clipboard()->text().toStdString();
}

// Whatever modal dialog opens next is answered by `answer`, and counted.
struct DialogAnswer {
    explicit DialogAnswer(std::function<void(QWidget*)> answer)
    {
        QTimer::singleShot(0, [this, answer] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                ++opened;
                answer(dialog);
            }
        });
    }
    int opened = 0;
};

// Another Velmora changes the talents while a question is open here: once
// it is closed, declined or not, the dock shows them as now kept; and a
// character is deleted only with the talents that the question counted.
TEST(Talents, AnotherProgramsChangeUnderAQuestionIsShownAndNothingUncountedDeleted)
{
    fixtures::forgetKept();
    Keeper other(Store::userPaths());
    other.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return other.loaded(); }));
    ASSERT_FALSE(other.changeTalents([](Roster& roster) {
        const Refusal a = roster.addCharacter("Arven");
        return a ? a : roster.addTalent(0, "Wahrnehmung", 9);
    }));
    WindowRig rig;
    rig.window.restoreKept();
    Keeper& mine = rig.session.keeper();
    rig.window.showTalents();
    TalentsView* view = rig.window.talentsView();
    auto* table = view->findChild<QTableWidget*>(QStringLiteral("talentTable"));
    ASSERT_TRUE(QTest::qWaitFor([&] {
        mine.lookForChanges();
        return table->rowCount() == 1;
    }));
    QPushButton* remove = nullptr;
    for (QPushButton* b : view->findChildren<QPushButton*>()) {
        remove = b->text() == QStringLiteral("Charakter l&öschen …") ? b : remove;
    }
    ASSERT_NE(remove, nullptr);
    QString refused;
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "answered yes" : "declined");
        const std::string talent = yes ? "Reiten" : "Klettern";
        DialogAnswer answer([&](QWidget* dialog) {
            ASSERT_FALSE(other.changeTalents([&](Roster& roster) { return roster.addTalent(0, talent, 5); }));
            ASSERT_TRUE(QTest::qWaitFor([&] {
                mine.lookForChanges();
                return mine.roster().characters().at(0).talents.size() == (yes ? 3U : 2U)
                    && table->rowCount() == (yes ? 2 : 1);
            }));
            auto* box = qobject_cast<QMessageBox*>(dialog);
            ASSERT_NE(box, nullptr);
            if (yes) {
                // Then told why nothing was deleted.
                QTimer::singleShot(0, [&refused] {
                    if (auto* told = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                        refused = told->text();
                        told->accept();
                    }
                });
            }
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        });
        remove->click();
        EXPECT_EQ(answer.opened, 1);
        EXPECT_TRUE(QTest::qWaitFor([&] { return table->rowCount() == (yes ? 3 : 2); }))
            << table->rowCount() << " rows in the dock";
    }
    EXPECT_EQ(refused, QStringLiteral("Arven hat inzwischen 3 Talente und wurde nicht gelöscht."));
    EXPECT_EQ(mine.roster().characters().size(), 1U) << "Arven kept: the question counted two talents, not three";
}

// The talents dock plays alone: karma by + and -, the chosen character and
// talent kept, each key acting once and only as itself.
TEST(Talents, TheDockPlaysAloneAndEveryKeyActsOnceAsItself)
{
    QStandardPaths::setTestModeEnabled(true);
    WindowRig rig;
    ASSERT_FALSE(rig.session.keeper().changeTalents([](Roster& roster) {
        // The current one second: the box must be set to it, not left on the first.
        for (const Refusal& refusal : {roster.addCharacter("Mira"), roster.addCharacter("Arven"),
                 roster.addTalent(1, "Wahrnehmung", 9), roster.addTalent(1, "Schwertkampf", 14)}) {
            if (refusal) {
                return refusal;
            }
        }
        roster.setCurrent(1);
        return Refusal();
    }));
    rig.window.showTalents();
    TalentsView* talents = rig.window.talentsView();
    auto* table = talents->findChild<QTableWidget*>(QStringLiteral("talentTable"));
    auto* box = talents->findChild<QComboBox*>(QStringLiteral("character"));
    EXPECT_EQ(box->currentText(), QStringLiteral("Arven"));
    for (QPushButton* button : talents->findChildren<QPushButton*>()) {
        EXPECT_TRUE(button->isEnabled()) << button->text().toStdString();
    }
    table->setFocus();
    table->selectRow(1);
    // Renamed by F2, the chosen talent stays chosen.
    DialogAnswer rename([](QWidget* dialog) {
        auto* input = qobject_cast<AskDialog*>(dialog);
        input->setTextValue(QStringLiteral("Schwertkampf mit Schild"));
        input->accept();
    });
    QTest::keyClick(table, Qt::Key_F2);
    ASSERT_EQ(rename.opened, 1);
    ASSERT_EQ(table->selectedRanges().value(0).topRow(), 1);
    table->setFocus();

    QTest::keyClick(table, Qt::Key_Plus);
    EXPECT_EQ(rig.session.karmaLevel(), 1);
    EXPECT_TRUE(rig.lamp(1)->isLit()) << "one karma, shown on the board too";
    rig.source.repeatForever(5, 20);
    QTest::keyPress(table, Qt::Key_Return);
    QTest::keyPress(table, Qt::Key_Return); // a repeat that the window system did not flag
    QTest::keyRelease(table, Qt::Key_Return);
    ASSERT_EQ(rig.session.log().size(), 1U);
    EXPECT_EQ(rig.session.log().latest().roll.talent, "Schwertkampf mit Schild");
    EXPECT_EQ(rig.session.log().latest().roll.karmaLevel, 1);
    EXPECT_EQ(talents->latestResult()->text(),
        QStringLiteral("Schwertkampf mit Schild: ")
            + QString::fromStdString(rolltext::result(rig.session.log().latest().roll)));

    // Ctrl+Return and Ctrl+Delete are no Return and no Delete.
    QTest::keyClick(table, Qt::Key_Return, Qt::ControlModifier);
    DialogAnswer none([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    QTest::keyClick(table, Qt::Key_Delete, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(rig.session.log().size(), 1U);
    EXPECT_EQ(none.opened, 0);

    // A new character: its talent list has the focus, for adding talents.
    DialogAnswer name([](QWidget* dialog) {
        auto* input = qobject_cast<AskDialog*>(dialog);
        input->setTextValue(QStringLiteral("Kael"));
        input->accept();
    });
    talents->findChild<QPushButton*>(QStringLiteral("newCharacter"))->click();
    ASSERT_EQ(name.opened, 1);
    EXPECT_EQ(box->currentText(), QStringLiteral("Kael"));
    EXPECT_EQ(rig.window.focusWidget(), table);

    // Return presses a button, once however long it is held; the talent it
    // adds has the focus.
    QPushButton* add = nullptr;
    for (QPushButton* button : talents->findChildren<QPushButton*>()) {
        add = button->text().startsWith(QStringLiteral("Talent hin")) ? button : add;
    }
    ASSERT_NE(add, nullptr);
    add->setFocus();
    QStringList titles;
    DialogAnswer talent([&titles](QWidget* dialog) {
        titles << dialog->windowTitle();
        qobject_cast<AskDialog*>(dialog)->setTextValue(QStringLiteral("Bogen"));
        QTimer::singleShot(0, [&titles] {
            titles << QApplication::activeModalWidget()->windowTitle();
            qobject_cast<AskDialog*>(QApplication::activeModalWidget())->accept();
        });
        qobject_cast<AskDialog*>(dialog)->accept();
    });
    QTest::keyPress(add, Qt::Key_Return);
    QTest::keyPress(add, Qt::Key_Return);
    QTest::keyRelease(add, Qt::Key_Return);
    EXPECT_EQ(talent.opened, 1);
    // A screen reader takes a dialog titled as the one just closed for that
    // same window still active, and then tells its field without the dialog.
    ASSERT_EQ(titles.size(), 2);
    EXPECT_NE(titles[0], titles[1]);
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(rig.window.focusWidget(), table);
    EXPECT_EQ(table->selectedRanges().value(0).topRow(), 0);
    // Ctrl+N, which a screen reader leaves alone, adds one as Insert does.
    DialogAnswer another([](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); });
    QTest::keyClick(table, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(another.opened, 1);
}

// With no character yet, Ctrl+T leads to "Neuer Charakter …", the one
// thing to do there; with one, to the talents.
TEST(Talents, TheFirstStepIsAtHandWithNoCharacterYet)
{
    QStandardPaths::setTestModeEnabled(true);
    for (const bool none : {true, false}) {
        WindowRig rig;
        rig.window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&rig.window));
        ASSERT_FALSE(rig.session.keeper().changeTalents([none](Roster& roster) {
            while (!roster.characters().empty()) {
                roster.removeCharacter(0);
            }
            return none ? Refusal() : roster.addCharacter("Arven");
        }));
        rig.window.showTalents();
        const QString expected = none ? QStringLiteral("newCharacter") : QStringLiteral("talentTable");
        EXPECT_TRUE(QTest::qWaitFor([&] {
            return QApplication::focusWidget() != nullptr && QApplication::focusWidget()->objectName() == expected;
        })) << expected.toStdString()
            << ", not "
            << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString() : "nothing");
    }
}

// "Karma −" and "Karma +" stay where they are as the karma beside them
// changes, in any font, and the karma is always read whole.
TEST(Talents, TheKarmaButtonsStayPutAsTheKarmaChanges)
{
    QStandardPaths::setTestModeEnabled(true);
    WindowRig rig;
    rig.window.showTalents();
    TalentsView* talents = rig.window.talentsView();
    auto* karma = talents->findChild<QLabel*>(QStringLiteral("talentKarma"));
    auto* less = talents->findChild<QPushButton*>(QStringLiteral("karmaDown"));
    auto* more = talents->findChild<QPushButton*>(QStringLiteral("karmaUp"));
    for (const int points : {9, 16}) {
        QFont font = talents->font();
        font.setPointSize(points);
        talents->setFont(font);
        QApplication::processEvents();
        const QPoint lessAt = less->pos();
        const QPoint moreAt = more->pos();
        for (const int step : {1, 1, 1, 1, -1, -1, -1, -1}) {
            rig.session.stepKarma(step);
            ASSERT_TRUE(QTest::qWaitFor([&] {
                return karma->text()
                    == (rig.session.karmaLevel() == 0 ? QStringLiteral("Kein Karma")
                                                      : QString::fromStdString(karmaName(rig.session.karmaLevel())));
            }));
            QApplication::processEvents();
            SCOPED_TRACE(karma->text().toStdString() + " in " + std::to_string(points) + " pt");
            EXPECT_EQ(less->pos(), lessAt);
            EXPECT_EQ(more->pos(), moreAt);
            EXPECT_GE(karma->width(), QFontMetrics(karma->font()).horizontalAdvance(karma->text()));
        }
    }
}

// Every question's title stands whole in a window manager's title bar,
// beside an icon and three buttons of 18 px with their margins, as drawn at
// 96 dpi, in bold: no "Talent … fügen".
TEST(Talents, EveryQuestionHoldsItsTitleBesideTheTitleBarsButtons)
{
    const QFont desktop = QApplication::font();
    for (const int points : {9, 16}) {
        QFont font = desktop;
        font.setPointSize(points);
        QApplication::setFont(font);
        QFont bold = font;
        bold.setBold(true);
        for (const char* title :
            {"Neuer Charakter", "Talent hinzufügen", "Talent umbenennen", "Stufe des neuen Talents", "Stufe ändern"}) {
            const QString text = QString::fromUtf8(title);
            AskDialog* dialog = AskDialog::numberDialog(nullptr, text, 10, 1, 40);
            dialog->adjustSize();
            EXPECT_GE(dialog->width(), QFontMetrics(bold).horizontalAdvance(text) + 4 * 18 + 16)
                << title << " in " << points << " pt";
            delete dialog;
        }
    }
    QApplication::setFont(desktop);
}

} // namespace
} // namespace velmora
