#include "WindowRig.h"

#include "app/talents/TalentsView.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QStandardPaths>
#include <QTableWidget>

#include <gtest/gtest.h>

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
    EXPECT_EQ(table->accessibleName(), QStringLiteral("Talente von Arven"));
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

} // namespace
} // namespace velmora
