#include "app/WindowRig.h"
#include "app/log/LookBackBar.h"
#include "app/log/LuckChart.h"
#include "app/log/RollLogView.h"
#include "app/store/Database.h"
#include "app/store/Keeper.h"
#include "app/talents/TalentsView.h"
#include "app/window/MessageBar.h"
#include "odds/Luck.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QTimer>

#include <gtest/gtest.h>

namespace velmora {
namespace {

using fixtures::WindowRig;

// Clicks the button of that text; where there is none, the box is closed
// and the test fails, rather than waiting forever.
void clickButton(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == text) {
            button->click();
            return;
        }
    }
    QStringList found;
    for (QAbstractButton* button : box->buttons()) {
        found << button->text();
    }
    ADD_FAILURE() << "no button " << text.toStdString() << " among " << found.join(", ").toStdString();
    box->reject();
}

// A roll of step 3 kept as another Velmora would, without this one's keeper.
void keepElsewhere(std::uint64_t id, std::int64_t when, const char* character = "", const char* talent = "")
{
    Database other(Database::userPaths());
    ASSERT_EQ(other.open().fault, Database::Fault::None);
    Store::Changes changes;
    RollLog::Entry& entry = changes.added.emplace_back();
    entry.id = id;
    entry.when = when;
    entry.time = QDateTime::fromMSecsSinceEpoch(when).toString(QStringLiteral("HH:mm:ss")).toStdString();
    entry.roll.step = 3;
    entry.roll.dice = {{4, false, {3}}};
    entry.roll.outcome = RollRecord::Outcome::Sum;
    entry.roll.total = 3;
    entry.roll.character = character;
    entry.roll.talent = talent;
    ASSERT_EQ(other.write({changes}), Database::Fault::None);
}

void focus(WindowRig& rig, QWidget* widget)
{
    rig.window.activateWindow();
    widget->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&rig.window));
}

TEST(RollLog, CtrlCCopiesTheLatestRollWhateverHasTheFocusAndNothingBeforeTheFirst)
{
    WindowRig rig;
    focus(rig, rig.karmaButton(2));
    QApplication::clipboard()->setText(QStringLiteral("left alone"));
    QTest::keyClick(rig.karmaButton(2), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("left alone"));

    QTest::keyClick(rig.karmaButton(2), Qt::Key_Space);
    rig.source.push(6, 6);
    rig.source.push(1, 6);
    rig.source.push(3, 6);
    rig.source.push(2, 6);
    rig.click(rig.step(8));
    QTest::keyClick(rig.karmaButton(2), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
        QStringLiteral("Stufe 08, Karma +6\nEin D6 wird gewürfelt: 6\nNeuer Wurf!\nEin D6 wird gewürfelt: 1\n"
                       "Ein D6 wird gewürfelt: 3\nKarma +6!\nEin D6 wird gewürfelt: 2\nDie Summe lautet: 12"));
}

// Counts the times a widget is shown.
class ShowCounter : public QObject {
public:
    ShowCounter(int* count, QObject* parent) : QObject(parent), m_count(count) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            ++*m_count;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    int* m_count;
};

QString cell(const QAbstractItemView* table, int row, int column)
{
    return table->model()->index(row, column).data().toString();
}

// Tonight ends three hours after its last roll, also while the log stays
// open and nothing is rolled.
TEST(RollLog, TonightEndsThreeHoursAfterItsLastRollWithNoRollToTellIt)
{
    fixtures::forgetKept();
    {
        Database kept(Database::userPaths());
        ASSERT_EQ(kept.open().fault, Database::Fault::None);
        RollLog::Entry entry;
        entry.id = 77;
        entry.when = QDateTime::currentMSecsSinceEpoch() - kEveningPauseMs + 1500;
        entry.time = "20:00:00";
        entry.roll.step = 3;
        entry.roll.dice = {{4, false, {3}}};
        entry.roll.outcome = RollRecord::Outcome::Sum;
        entry.roll.total = 3;
        Store::Changes changes;
        changes.added.push_back(entry);
        ASSERT_EQ(kept.write({changes}), Database::Fault::None);
    }
    WindowRig rig;
    rig.window.restoreKept();
    rig.window.showLog();
    QLabel* tonight = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        tonight = rig.window.logView() != nullptr ? rig.window.logView()->tonight() : nullptr;
        return tonight != nullptr && tonight->text().startsWith(QStringLiteral("Heute: 1\u00A0Wurf"));
    }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return tonight->text() == QStringLiteral("Heute noch kein Wurf."); }, 5000))
        << tonight->text().toStdString();
}

TEST(RollLog, CtrlHShowsTheRollsNewestFirstAndEscapeGivesTheFocusBack)
{
    WindowRig rig;
    for (const int face : {2, 3}) {
        rig.source.push(face, 4);
        rig.click(rig.step(3));
    }
    focus(rig, rig.step(17));
    QTest::keyClick(rig.step(17), Qt::Key_H, Qt::ControlModifier);
    RollLogView* log = rig.window.logView();
    ASSERT_NE(log, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([log] { return log->isVisible(); }));
    QTableView* table = log->table();
    ASSERT_EQ(table->model()->rowCount(), 2);
    EXPECT_EQ(cell(table, 0, RollLogView::What), QStringLiteral("Stufe 03"));
    EXPECT_EQ(cell(table, 0, RollLogView::Result), QStringLiteral("Summe 3"));
    EXPECT_EQ(cell(table, 0, RollLogView::Dice), QStringLiteral("D4 3"));
    // Step 3's d4: "Patzer!" and a 2 lie below a 3, each 1/4, half of its own
    // 1/4 counts; a 2 has "Patzer!" below it.
    EXPECT_EQ(cell(table, 0, RollLogView::Luck), QStringLiteral("63 %"));
    EXPECT_EQ(cell(table, 1, RollLogView::Luck), QStringLiteral("38 %"));
    EXPECT_EQ(table->model()->index(0, RollLogView::Luck).data(Qt::AccessibleTextRole).toString(),
        QStringLiteral("Glück 63 %"));
    // Neither is above the mean of 10/3; each would be with 1/4, both with
    // 1/16: none of two comes 9 evenings in 16.
    EXPECT_EQ(log->tonight()->text(),
        QStringLiteral("Heute: 2\u00A0Würfe, Glück im Mittel 50\u00A0%, 0\u00A0über dem Mittel (erwartet 0,5); so ein "
                       "Abend: 1\u00A0von\u00A02"));
    EXPECT_EQ(log->tonight()->accessibleName(),
        QStringLiteral("Heute, 2 Würfe, Glück im Mittel 50 %, 0 über dem Mittel, erwartet 0,5, so ein Abend 1 von 2."));
    // Explained by Shift+F1 and on hovering, never read with it at every
    // visit: Qt hands a screen reader the tooltip as the description.
    EXPECT_TRUE(log->tonight()->whatsThis().contains(QStringLiteral("So ein Abend, 1 von N")));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(log->tonight())->text(QAccessible::Description), QString());
    // Wrapped in a dock of any width, no number is parted from its unit.
    const QString line = log->tonight()->text();
    const QRegularExpression parted(QStringLiteral("^(%|Wurf|Würfe|von)|(von|\\d)\\s*$"));
    for (int width = 30; width <= 400; width += 5) {
        QTextLayout wrapped(line, log->tonight()->font());
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        wrapped.setTextOption(option);
        wrapped.beginLayout();
        for (QTextLine piece = wrapped.createLine(); piece.isValid(); piece = wrapped.createLine()) {
            piece.setLineWidth(width);
            const QString text = line.mid(piece.textStart(), piece.textLength());
            const bool last = piece.textStart() + piece.textLength() >= line.size();
            EXPECT_FALSE(parted.match(text).hasMatch() && !(last && text.endsWith(QLatin1Char('2'))))
                << width << " px: \"" << text.toStdString() << "\"";
        }
        wrapped.endLayout();
    }
    // 38 % and 63 %: one roll in the fourth band and one in the seventh,
    // drawn and in the table. Two rolls of fair dice give half a roll each
    // to 10-20 % ("Patzer!"), 30-40 % (a 2) and 60-70 % (a 3), and an
    // eighth each to 70-80 % (5) and 80-90 % (6), the rest above (a quarter,
    // "0,2" as the locale rounds a half).
    QTableWidget* bands = log->luckTable();
    ASSERT_EQ(bands->rowCount(), 10);
    const char* fair[] = {"0,0", "0,5", "0,0", "0,5", "0,0", "0,0", "0,5", "0,1", "0,1", "0,2"};
    for (int band = 0; band < 10; ++band) {
        EXPECT_EQ(cell(bands, band, 1), band == 3 || band == 6 ? QStringLiteral("1") : QStringLiteral("0")) << band;
        EXPECT_EQ(cell(bands, band, 2), QString::fromLatin1(fair[band])) << band;
    }
    EXPECT_EQ(cell(bands, 3, 0), QStringLiteral("30 bis unter 40 %"));
    EXPECT_EQ(cell(bands, 9, 0), QStringLiteral("90 bis 100 %"));
    // Read row by row, each number says what it counts.
    const auto spoken = [bands](int row, int column) {
        return bands->item(row, column)->data(Qt::AccessibleTextRole).toString();
    };
    EXPECT_EQ(spoken(3, 1), QStringLiteral("1 Wurf"));
    EXPECT_EQ(spoken(4, 1), QStringLiteral("0 Würfe"));
    EXPECT_EQ(spoken(3, 2), QStringLiteral("faire Würfel 0,5"));
    const QImage drawn = log->luckChart()->grab().toImage();
    const QColor bar = log->luckChart()->palette().color(QPalette::Highlight);
    // Beneath the legend, whose first mark is a bar.
    const int legend = log->luckChart()->fontMetrics().height() + 2;
    const auto barAt = [&](double share) {
        const int x = static_cast<int>(share * drawn.width());
        for (int y = legend; y < drawn.height(); ++y) {
            if (drawn.pixelColor(x, y) == bar) {
                return true;
            }
        }
        return false;
    };
    EXPECT_FALSE(barAt(0.1)) << "no roll below 10 %";
    EXPECT_TRUE(barAt(0.39)) << "the 38 % roll's band";
    EXPECT_TRUE(barAt(0.66)) << "the 63 % roll's band";
    EXPECT_EQ(QApplication::focusWidget(), table);
    EXPECT_EQ(table->currentIndex().row(), 0);

    // It follows the rolls while open; the newest stays the current one.
    rig.source.push(1, 4);
    rig.step(3)->click();
    ASSERT_EQ(table->model()->rowCount(), 3);
    EXPECT_EQ(cell(table, 0, RollLogView::Result), QStringLiteral("Patzer!"));
    EXPECT_EQ(table->currentIndex().row(), 0);
    // Heard in words, without the punctuation a screen reader names.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{1,2} Uhr( \\d{1,2})?$"))
                    .match(table->model()->index(0, RollLogView::Time).data(Qt::AccessibleTextRole).toString())
                    .hasMatch());

    table->selectAll();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    // Each roll after its date and time: pasted among others, it is still one roll of one moment.
    const QString when = QStringLiteral("\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d ");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^%1Stufe 03\nEin D4 wird gewürfelt: 1\nPatzer!\n\n"
                                                  "%1Stufe 03\nEin D4 wird gewürfelt: 3\nDie Summe lautet: 3\n\n"
                                                  "%1Stufe 03\nEin D4 wird gewürfelt: 2\nDie Summe lautet: 2$")
                                       .arg(when))
                    .match(QApplication::clipboard()->text())
                    .hasMatch())
        << QApplication::clipboard()->text().toStdString();
    // The saved text carries each roll's date and time.
    const QStringList saved = log->savedText(false).split(QStringLiteral("\n\n"));
    ASSERT_EQ(saved.size(), 3);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d Stufe 03\\n"))
                    .match(saved[0])
                    .hasMatch())
        << saved[0].toStdString();

    // Escape: back to the board, the dock stays; Ctrl+H from inside closes it.
    QTest::keyClick(table, Qt::Key_Escape);
    EXPECT_EQ(QApplication::focusWidget(), rig.step(17));
    EXPECT_TRUE(log->isVisible());
    QTest::keyClick(rig.step(17), Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), table);
    QTest::keyClick(table, Qt::Key_H, Qt::ControlModifier);
    EXPECT_FALSE(log->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), rig.step(17));
}

// Open while more rolls come than the keeper holds in memory, the table
// keeps every one, the newest first.
TEST(RollLog, TheOpenTableKeepsEveryRoll)
{
    WindowRig rig;
    rig.source.push(1, 4);
    rig.click(rig.step(3)); // the one that goes: "Patzer!"
    rig.window.showLog();
    QTableView* table = rig.window.logView()->table();
    rig.source.repeatForever(2, 4);
    for (int i = 0; i < 1000; ++i) {
        rig.step(3)->click();
    }
    ASSERT_EQ(table->model()->rowCount(), 1001);
    for (const int row : {0, 999}) {
        EXPECT_EQ(cell(table, row, RollLogView::Result), QStringLiteral("Summe 2")) << row;
    }
    EXPECT_EQ(cell(table, 1000, RollLogView::Result), QStringLiteral("Patzer!"));
}

// The columns are fitted to the rows in view, not to every row at every
// roll: a wide result far down is whole once scrolled to.
TEST(RollLog, AWideResultFarDownIsWholeOnceScrolledTo)
{
    WindowRig rig;
    rig.source.repeatForever(20, 20); // dice that never stop: "Fehler: Überlauf"
    rig.session.rollStep(40);
    rig.source.repeatForever(2, 4);
    for (int i = 0; i < 200; ++i) {
        rig.session.rollStep(3);
    }
    rig.window.showLog();
    QTableView* table = rig.window.logView()->table();
    ASSERT_TRUE(QTest::qWaitFor([table] { return table->isVisible(); }));
    const int width = table->columnWidth(RollLogView::Result);
    table->scrollToBottom();
    QApplication::processEvents();
    const QModelIndex wide = table->model()->index(table->model()->rowCount() - 1, RollLogView::Result);
    ASSERT_GT(table->fontMetrics().horizontalAdvance(wide.data().toString()), width) << "wider than the sums in view";
    EXPECT_GE(table->visualRect(wide).width(), table->fontMetrics().horizontalAdvance(wide.data().toString()))
        << wide.data().toString().toStdString();
}

// Scrolled down to an older roll, the player reads on while rolls come in;
// Return or a double click there rolls that roll's step or talent again,
// with the karma chosen now, and a held Return rolls once.
TEST(RollLog, ANewRollLeavesTheReaderInPlaceAndReturnRollsAnOldEntryAgain)
{
    WindowRig rig;
    rig.source.repeatForever(2, 4);
    rig.session.rollTalent("Arven", "Schwertkampf", 3);
    for (int i = 0; i < 60; ++i) {
        rig.session.rollStep(5);
    }
    rig.window.showLog();
    QTableView* table = rig.window.logView()->table();
    ASSERT_TRUE(QTest::qWaitFor([table] { return table->isVisible(); }));
    table->scrollToBottom();
    const int oldest = table->model()->rowCount() - 1;
    table->setCurrentIndex(table->model()->index(oldest, 0));
    QApplication::processEvents();
    const int shownAt = table->visualRect(table->model()->index(oldest, 0)).top();
    for (int i = 0; i < 3; ++i) {
        rig.session.rollStep(5);
    }
    QApplication::processEvents();
    EXPECT_EQ(table->currentIndex().row(), oldest + 3);
    EXPECT_EQ(
        cell(table, table->currentIndex().row(), RollLogView::What), QStringLiteral("Arven: Schwertkampf, Stufe 03"));
    EXPECT_EQ(table->visualRect(table->model()->index(table->currentIndex().row(), 0)).top(), shownAt);
    // Said quietly: new rolls above; Home leads to the newest, which the
    // mark then no longer claims.
    QPushButton* mark = rig.window.logView()->newAbove();
    EXPECT_TRUE(mark->isVisible());
    EXPECT_EQ(mark->text(), QStringLiteral("neue Würfe oben"));
    table->setFocus();
    QTest::keyClick(table, Qt::Key_Home);
    EXPECT_EQ(table->currentIndex().row(), 0);
    EXPECT_TRUE(table->viewport()->rect().contains(table->visualRect(table->model()->index(0, 0))));
    EXPECT_FALSE(mark->isVisible());
    rig.session.rollStep(5); // read at the top: the newest shown, no mark
    QApplication::processEvents();
    EXPECT_TRUE(table->viewport()->rect().contains(table->visualRect(table->model()->index(0, 0))));
    EXPECT_FALSE(mark->isVisible());
    table->setCurrentIndex(table->model()->index(oldest, 0));
    rig.session.rollStep(5);
    QApplication::processEvents();
    ASSERT_TRUE(mark->isVisible());
    QTest::mouseClick(mark, Qt::LeftButton);
    EXPECT_EQ(table->currentIndex().row(), 0);
    EXPECT_FALSE(mark->isVisible());
    table->setCurrentIndex(table->model()->index(table->model()->rowCount() - 1, 0)); // the oldest, rolled again below

    rig.session.clickKarma(1);
    const std::size_t before = rig.session.log().size();
    table->setFocus();
    QTest::keyPress(table, Qt::Key_Return);
    QTest::keyPress(table, Qt::Key_Return, Qt::NoModifier); // unflagged repeat
    QTest::keyRelease(table, Qt::Key_Return);
    ASSERT_EQ(rig.session.log().size(), before + 1);
    const RollRecord& again = rig.session.log().latest().roll;
    EXPECT_EQ(again.talent, "Schwertkampf");
    EXPECT_EQ(again.character, "Arven");
    EXPECT_EQ(again.step, 3);
    EXPECT_EQ(again.karmaLevel, 1);
    // Ctrl+Return is no Return.
    QTest::keyClick(table, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(rig.session.log().size(), before + 1);
}

// In a narrow dock every column of a row stays in sight, the dice cut short:
// a screen reader reads the cells in sight.
TEST(RollLog, EveryColumnStaysInSightInANarrowDock)
{
    WindowRig rig;
    rig.source.repeatForever(3, 20);
    rig.session.clickKarma(4);
    rig.session.rollTalent("Arven", "Schwertkampf mit zwei Klingen im Dunkeln", 40);
    rig.window.showLog();
    QTableView* table = rig.window.logView()->table();
    ASSERT_TRUE(QTest::qWaitFor([table] { return table->isVisible(); }));
    // Beside the board on this screen the dock is narrower than the row.
    QApplication::processEvents();
    const QHeaderView* header = table->horizontalHeader();
    EXPECT_LT(header->sectionViewportPosition(RollLogView::Dice) + 10, table->viewport()->width());
    EXPECT_GE(header->sectionViewportPosition(RollLogView::Time), 0);
}

// Where every row fits, the newest is in sight and no mark claims otherwise,
// not even for a moment.
TEST(RollLog, NoMarkWhileTheNewestIsInSight)
{
    WindowRig rig;
    rig.source.repeatForever(2, 4);
    for (int i = 0; i < 3; ++i) {
        rig.session.rollStep(5);
    }
    rig.window.showLog();
    QTableView* table = rig.window.logView()->table();
    ASSERT_TRUE(QTest::qWaitFor([table] { return table->isVisible(); }));
    table->setCurrentIndex(table->model()->index(2, 0));
    QPushButton* mark = rig.window.logView()->newAbove();
    int shown = 0;
    mark->installEventFilter(new ShowCounter(&shown, mark));
    rig.session.rollStep(5);
    QApplication::processEvents();
    EXPECT_TRUE(table->viewport()->rect().contains(table->visualRect(table->model()->index(0, 0))));
    EXPECT_EQ(shown, 0);
    EXPECT_FALSE(mark->isVisible());
}

// Each roll with its day where it is not today, and a line beneath the
// first roll of each evening: after a pause of exactly three hours, not
// one a millisecond shorter, across midnight or not.
TEST(RollLog, RollsOfOtherDaysCarryTheirDayAndEveningsAreApart)
{
    fixtures::forgetKept();
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    const std::int64_t day = 24 * 3'600'000LL;
    // Oldest first; the pause before each.
    const std::int64_t when[] = {
        now - 5 * day, now - day, now - day + kEveningPauseMs - 1, now - day + 2 * kEveningPauseMs - 1, now - 60'000};
    {
        Database kept(Database::userPaths());
        ASSERT_EQ(kept.open().fault, Database::Fault::None);
        Store::Changes changes;
        for (std::size_t i = 0; i < std::size(when); ++i) {
            RollLog::Entry& entry = changes.added.emplace_back();
            entry.id = 100 + i;
            entry.when = when[i];
            entry.time = QDateTime::fromMSecsSinceEpoch(when[i]).toString(QStringLiteral("hh:mm:ss")).toStdString();
            entry.roll.step = 3;
            entry.roll.dice = {{4, false, {3}}};
            entry.roll.outcome = RollRecord::Outcome::Sum;
            entry.roll.total = 3;
        }
        ASSERT_EQ(kept.write({changes}), Database::Fault::None);
    }
    WindowRig rig;
    rig.window.restoreKept();
    rig.window.showLog();
    QTableView* table = rig.window.logView()->table();
    ASSERT_TRUE(QTest::qWaitFor([&] { return table->model()->rowCount() == 5; }));
    const auto time = [&](int row) { return cell(table, row, RollLogView::Time); };
    EXPECT_EQ(time(0), QDateTime::fromMSecsSinceEpoch(when[4]).toString(QStringLiteral("hh:mm:ss")));
    EXPECT_TRUE(time(3).startsWith(QStringLiteral("Gestern "))) << time(3).toStdString();
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^(Mo|Di|Mi|Do|Fr|Sa|So) \\d{1,2}\\.\\d{1,2}\\. \\d\\d:\\d\\d:\\d\\d$"))
            .match(time(4))
            .hasMatch())
        << time(4).toStdString();
    EXPECT_TRUE(table->model()
                    ->index(3, RollLogView::Time)
                    .data(Qt::AccessibleTextRole)
                    .toString()
                    .startsWith(QStringLiteral("gestern, ")));
    const auto starts = [&](int row) {
        return table->model()->index(row, 0).data(RollLogModel::EveningStartsRole).toBool();
    };
    // Rows newest first: now; yesterday +6 h -1 ms; +3 h -1 ms; yesterday; five days ago.
    EXPECT_TRUE(starts(0)) << "a day later";
    EXPECT_TRUE(starts(1)) << "three hours to the millisecond after the one before";
    EXPECT_FALSE(starts(2)) << "a millisecond short of three hours";
    EXPECT_TRUE(starts(3)) << "four days later";
    EXPECT_FALSE(starts(4)) << "the oldest: nothing beneath it";
}

// Every roll kept, exported for a spreadsheet and read back by Python's csv
// module exactly: names with commas and quotes, dates with their offset,
// sums and luck as numbers.
TEST(RollLog, TheCsvExportIsReadBackExactly)
{
    fixtures::forgetKept();
    {
        Database kept(Database::userPaths());
        ASSERT_EQ(kept.open().fault, Database::Fault::None);
        Store::Changes changes;
        for (int n = 0; n < 3; ++n) {
            RollLog::Entry& entry = changes.added.emplace_back();
            entry.id = 0xabc0 + static_cast<std::uint64_t>(n);
            entry.when = 1'765'000'000'000 + n * 60'000;
            entry.time = "21:15:11";
            entry.roll.step = 3;
            entry.roll.dice = {{4, false, {3}}};
            entry.roll.outcome = RollRecord::Outcome::Sum;
            entry.roll.total = 3;
            entry.roll.character = n == 1 ? "Arven" : "";
            entry.roll.talent = n == 1 ? "Schwert, \"Kampf\"" : "";
        }
        changes.added[2].roll.dice = {{4, false, {1}}};
        changes.added[2].roll.outcome = RollRecord::Outcome::Fumble;
        changes.added[2].roll.total = 1;
        ASSERT_EQ(kept.write({changes}), Database::Fault::None);
    }
    WindowRig rig;
    rig.window.restoreKept();
    rig.window.showLog();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("verlauf.csv"));
    QSignalSpy exported(&rig.session.keeper(), &Keeper::exported);
    rig.window.logView()->exportCsvTo(path);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !exported.isEmpty(); }));
    EXPECT_EQ(exported.front().at(1).toLongLong(), 3);
    EXPECT_TRUE(exported.front().at(2).toString().isEmpty()) << exported.front().at(2).toString().toStdString();
    QProcess python;
    python.start(QStringLiteral("python3"),
        {QStringLiteral("-c"),
            QStringLiteral("import csv, json, sys; print(json.dumps(list(csv.reader(open(sys.argv[1], "
                           "newline='', encoding='utf-8')))))"),
            path});
    ASSERT_TRUE(python.waitForFinished(30'000));
    const QJsonArray rows = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    ASSERT_EQ(rows.size(), 4) << python.readAllStandardError().toStdString();
    const auto at = [&](int row, int column) { return rows[row].toArray()[column].toString(); };
    EXPECT_EQ(rows[0].toArray().size(), 10);
    EXPECT_EQ(at(0, 0), QStringLiteral("Zeit"));
    EXPECT_EQ(at(2, 1), QStringLiteral("Arven"));
    EXPECT_EQ(at(2, 2), QStringLiteral("Schwert, \"Kampf\""));
    EXPECT_EQ(QDateTime::fromString(at(1, 0), Qt::ISODate).toMSecsSinceEpoch(), 1'765'000'000'000);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^2025-12-06T\\d\\d:\\d\\d:40(Z|[+-]\\d\\d:\\d\\d)$"))
                    .match(at(1, 0))
                    .hasMatch())
        << at(1, 0).toStdString();
    EXPECT_EQ(at(1, 3), QStringLiteral("3"));
    EXPECT_EQ(at(1, 7), QStringLiteral("3")) << "the sum, a number";
    EXPECT_EQ(at(1, 8), QStringLiteral("0.6250")) << "D4 showing 3: below it a half, at it a quarter";
    EXPECT_EQ(at(3, 6), QStringLiteral("Patzer!"));
    EXPECT_EQ(at(3, 7), QString()) << "no sum for a fumble";
    EXPECT_EQ(at(3, 9), QStringLiteral("abc2"));

    // Narrowed by the bar, the export is of the rolls it chose.
    rig.window.logView()->lookBack()->character()->setCurrentText(QStringLiteral("Arven"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.window.logView()->table()->model()->rowCount() == 1; }));
    exported.clear();
    rig.window.logView()->exportCsvTo(dir.filePath(QStringLiteral("arven.csv")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !exported.isEmpty(); }));
    EXPECT_EQ(exported.front().at(1).toLongLong(), 1);
}

// "Verlauf leeren" deletes the rolls its question counted: a roll that
// another Velmora makes while the question waits stays.
TEST(RollLog, VerlaufLeerenDeletesWhatItsQuestionCounted)
{
    fixtures::forgetKept();
    const auto insert = [](std::uint64_t id) { keepElsewhere(id, QDateTime::currentMSecsSinceEpoch()); };
    insert(1);
    insert(2);
    WindowRig rig;
    rig.window.restoreKept();
    Keeper& keeper = rig.session.keeper();
    ASSERT_TRUE(QTest::qWaitFor([&] { return keeper.loaded() && keeper.total() == 2; }));
    rig.window.showLog();
    QString asked;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        asked = box->text();
        insert(777);
        ASSERT_TRUE(QTest::qWaitFor([&] {
            keeper.lookForChanges();
            return keeper.total() == 3;
        }));
        clickButton(box, QStringLiteral("A&lle (2)"));
    });
    rig.window.logView()->askToClear();
    EXPECT_EQ(asked, QStringLiteral("Welche Würfe löschen?"));
    EXPECT_TRUE(QTest::qWaitFor([&] {
        keeper.lookForChanges();
        return keeper.total() == 1 && keeper.rows() == 1 && keeper.entryAt(0)->id == 777;
    })) << keeper.total();
}

// The bar narrows the log to a character and a past evening, chosen from
// the evenings listed with their summaries; "Verlauf leeren" then asks
// which rolls go, tonight's, the chosen or all; Delete takes the rolls
// chosen in the table after a question, and each is undone by Ctrl+Z.
TEST(RollLog, LookingBackChoosesRollsAndEachDeletionIsTheOneAskedFor)
{
    fixtures::forgetKept();
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    constexpr std::int64_t kDay = 24LL * 60 * 60 * 1000;
    keepElsewhere(1, now - kDay, "Arven", "Schwertkampf");
    keepElsewhere(2, now - kDay + 60000, "Borin", "Bogen");
    keepElsewhere(3, now - kDay + 120000, "Borin", "Bogen");
    keepElsewhere(4, now - 120000, "Arven", "Schwertkampf");
    keepElsewhere(5, now - 60000);
    WindowRig rig;
    rig.window.restoreKept();
    Keeper& keeper = rig.session.keeper();
    ASSERT_TRUE(QTest::qWaitFor([&] { return keeper.loaded() && keeper.total() == 5; }));
    rig.window.showLog();
    RollLogView* log = rig.window.logView();
    LookBackBar* bar = log->lookBack();
    QTableView* table = log->table();
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->evening()->count() == 3; })) << "all, tonight, yesterday";
    EXPECT_TRUE(bar->evening()->itemText(1).endsWith(QStringLiteral(": 2 Würfe, Glück im Mittel 63 %, so ein Abend "
                                                                    "zu wenige Würfe")))
        << bar->evening()->itemText(1).toStdString();
    EXPECT_TRUE(bar->evening()->itemText(2).contains(QStringLiteral(": 3 Würfe, ")));

    // Typed, as a player would: the log and its summary follow.
    bar->character()->setFocus();
    bar->character()->lineEdit()->selectAll();
    QTest::keyClicks(bar->character(), QStringLiteral("Arven"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return table->model()->rowCount() == 2; })) << table->model()->rowCount();
    EXPECT_TRUE(log->tonight()->text().startsWith(QStringLiteral("Gewählt: 2\u00A0Würfe, Ergebnis im Mittel 3,0")))
        << log->tonight()->text().toStdString();
    EXPECT_EQ(bar->talent()->count(), 2) << "all, and Arven's one talent";
    EXPECT_EQ(log->luckChart()->accessibleName(), QStringLiteral("Glück der gewählten Würfe, in Zehnteln"));
    bar->evening()->setCurrentIndex(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return table->model()->rowCount() == 1; }));
    // A new roll of another character leaves the chosen rolls as they are.
    rig.click(rig.step(3));
    EXPECT_EQ(table->model()->rowCount(), 1);

    const auto answer = [](const QString& asked, const QString& button) {
        QTimer::singleShot(0, [asked, button] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->text(), asked);
            clickButton(box, button);
        });
    };
    const auto kept = [] {
        QStringList ids;
        Database other(Database::userPaths());
        EXPECT_EQ(other.open().fault, Database::Fault::None);
        other.eachRoll([&ids](const RollLog::Entry& entry) {
            ids << QString::number(entry.id);
            return true;
        });
        return ids.join(' ');
    };
    const QString rolled = QString::number(rig.session.log().latest().id);
    EXPECT_TRUE(QTest::qWaitFor([&] { return kept() == QStringLiteral("1 2 3 4 5 ") + rolled; }));
    answer(QStringLiteral("Welche Würfe löschen?"), QStringLiteral("&Gefilterte (1)"));
    log->askToClear();
    EXPECT_EQ(keeper.total(), 5) << "counted at once";
    EXPECT_TRUE(QTest::qWaitFor([&] { return kept() == QStringLiteral("2 3 4 5 ") + rolled; })) << kept().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return table->model()->rowCount() == 0; }));
    ASSERT_TRUE(keeper.undoClearing());
    EXPECT_TRUE(QTest::qWaitFor([&] { return kept() == QStringLiteral("1 2 3 4 5 ") + rolled; }));

    // Every roll again; tonight's are the three of the last minutes.
    bar->reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return table->model()->rowCount() == 6; }));
    EXPECT_EQ(log->luckChart()->accessibleName(), QStringLiteral("Glück heute, in Zehnteln"));
    answer(QStringLiteral("Welche Würfe löschen?"), QStringLiteral("&Heutige (3)"));
    log->askToClear();
    EXPECT_TRUE(QTest::qWaitFor([&] { return kept() == QStringLiteral("1 2 3"); })) << kept().toStdString();
    ASSERT_TRUE(keeper.undoClearing());
    EXPECT_TRUE(QTest::qWaitFor([&] { return kept() == QStringLiteral("1 2 3 4 5 ") + rolled; }));

    // Two chosen in the table, Delete, a question.
    ASSERT_TRUE(QTest::qWaitFor([&] { return table->model()->rowCount() == 6; }));
    focus(rig, table);
    table->selectionModel()->select(
        table->model()->index(4, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    table->selectionModel()->select(
        table->model()->index(5, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    answer(QStringLiteral("Die 2 gewählten Würfe löschen?"), QStringLiteral("&Ja"));
    QTest::keyClick(table, Qt::Key_Delete);
    EXPECT_TRUE(QTest::qWaitFor([&] { return kept() == QStringLiteral("3 4 5 ") + rolled; })) << kept().toStdString();
    EXPECT_EQ(keeper.rows(), 4U);

    // Tonight chosen goes on with tonight's rolls.
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->evening()->itemText(2).contains(QStringLiteral(": 1 Wurf,")); }))
        << "yesterday's one roll left";
    bar->evening()->setCurrentIndex(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return table->model()->rowCount() == 3; })) << table->model()->rowCount();
    rig.click(rig.step(3));
    EXPECT_TRUE(QTest::qWaitFor([&] { return table->model()->rowCount() == 4; })) << table->model()->rowCount();
}

// Hidden, the log measures no row at a roll: Qt measures every row of a
// hidden table to fit a column, and a full log cost a tenth of a second a
// roll, so that quick rolls were written twenty seconds late.
TEST(RollLog, AHiddenLogMeasuresNoRowAtARoll)
{
    class Counting : public QStyledItemDelegate {
    public:
        using QStyledItemDelegate::QStyledItemDelegate;
        QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
        {
            ++measured;
            return QStyledItemDelegate::sizeHint(option, index);
        }
        mutable int measured = 0;
    };
    fixtures::forgetKept();
    WindowRig rig;
    rig.window.restoreKept(); // the docks made, the log's hidden
    ASSERT_NE(rig.window.logView(), nullptr);
    rig.source.repeatForever(2, 4);
    for (int n = 0; n < 200; ++n) {
        rig.click(rig.step(3));
    }
    QTableView* table = rig.window.logView()->table();
    ASSERT_FALSE(table->isVisible());
    auto* counting = new Counting(table);
    table->setItemDelegate(counting);
    for (int n = 0; n < 10; ++n) {
        rig.click(rig.step(3));
    }
    EXPECT_LT(counting->measured, 20) << "rows measured for ten rolls while hidden";
    rig.window.showLog();
    EXPECT_TRUE(table->isVisible());
    EXPECT_GT(counting->measured, 0) << "fitted once shown";
}

// The log outlives the window: each roll written as it is shown, read back
// by the next window after its first frame, and emptied on request there
// and in the database.
TEST(RollLog, TheRollsOfTheLastRunAreBackAndVerlaufLeerenEmptiesThem)
{
    QStandardPaths::setTestModeEnabled(true); // never the user's own log
    const QString database = Database::userPaths().database;
    QFile::remove(database);
    std::vector<std::uint64_t> ids;
    {
        WindowRig rig;
        rig.source.repeatForever(2, 4);
        rig.click(rig.step(3)); // before the database is open: written once it is
        rig.window.restoreKept();
        rig.session.rollTalent("Arven", "Wahrnehmung", 9);
        ids = {rig.session.log()[0].id, rig.session.log()[1].id};
    } // and closed at once
    {
        WindowRig next;
        next.window.restoreKept();
        ASSERT_TRUE(QTest::qWaitFor([&] { return next.session.keeper().loaded(); }));
        ASSERT_EQ(next.session.log().size(), 2U);
        EXPECT_EQ((std::vector<std::uint64_t>{next.session.log()[0].id, next.session.log()[1].id}), ids);
        EXPECT_EQ(next.session.log()[1].roll.talent, "Wahrnehmung");
        EXPECT_EQ(next.session.log()[1].roll.character, "Arven");
        EXPECT_EQ(next.session.log()[1].roll.step, 9);

        // Cleared, undone by Ctrl+Z, cleared again by the bar's question and
        // left so: gone for good at the end.
        next.session.clearLog();
        EXPECT_EQ(next.session.log().size(), 0U);
        MessageBar* bar = next.window.board()->messageBar();
        ASSERT_NE(bar, nullptr);
        EXPECT_TRUE(bar->isVisible());
        EXPECT_EQ(bar->messages(), QStringList{QStringLiteral("2 Würfe gelöscht. Strg+Z macht es rückgängig.")});
        next.window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&next.window));
        QTest::keyClick(next.step(5), Qt::Key_Z, Qt::ControlModifier);
        // Back in the log's table at once, whatever the database does meanwhile.
        EXPECT_EQ(next.window.logView()->table()->model()->rowCount(), 2);
        EXPECT_TRUE(QTest::qWaitFor([&] { return next.session.log().size() == 2; }));
        EXPECT_FALSE(bar->isVisible()) << "nothing left to undo: " << bar->messages().join(" / ").toStdString();
        next.session.clearLog();
        QPushButton* undo = nullptr;
        for (QPushButton* button : bar->findChildren<QPushButton*>()) {
            undo = button->text() == QStringLiteral("&Rückgängig") && button->isVisible() ? button : undo;
        }
        ASSERT_NE(undo, nullptr);
        undo->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return next.session.log().size() == 2; }));
        next.session.clearLog();
    }
    WindowRig third;
    third.window.restoreKept();
    ASSERT_TRUE(QTest::qWaitFor([&] { return third.session.keeper().loaded(); }));
    EXPECT_EQ(third.session.log().size(), 0U);
}

// Qt's own buttons in German, and every count in its German form.
TEST(German, QtsOwnButtonsAndEveryCountAreGerman)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Verlauf leeren"), QString(),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::Save);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("Ja"));
    EXPECT_EQ(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("Nein"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("Abbrechen"));
    EXPECT_EQ(box.button(QMessageBox::Save)->text().remove(QLatin1Char('&')), QStringLiteral("Speichern"));

    EXPECT_EQ(RollLogView::clearQuestion(1), QStringLiteral("Den einen Wurf aus dem Verlauf löschen?"));
    EXPECT_EQ(RollLogView::clearQuestion(2), QStringLiteral("Alle 2 Würfe aus dem Verlauf löschen?"));
    const QString arven = QStringLiteral("Arven");
    EXPECT_EQ(TalentsView::deleteQuestion(arven, 0), QStringLiteral("Arven löschen? Es hat keine Talente."));
    EXPECT_EQ(TalentsView::deleteQuestion(arven, 1), QStringLiteral("Arven mit dem einen Talent löschen?"));
    EXPECT_EQ(TalentsView::deleteQuestion(arven, 2), QStringLiteral("Arven mit allen 2 Talenten löschen?"));
}

} // namespace
} // namespace velmora
