#include "WindowRig.h"

#include "app/log/RollLogView.h"
#include "app/odds/OddsWindow.h"
#include "app/odds/StepOddsHook.h"
#include "app/talents/TalentsView.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTableView>

#include <gtest/gtest.h>

namespace velmora {
namespace {

using fixtures::WindowRig;

// Each side window opens wholly on the screen, and every part of it
// follows the font: on the offscreen screen that the run sets up, and with
// every font at VELMORA_STYLE_POINTS where that is set (60, say).
TEST(SideWindows, OpenWhollyOnTheScreenAndFollowTheFont)
{
    QStandardPaths::setTestModeEnabled(true);
    const int points = qEnvironmentVariableIntValue("VELMORA_STYLE_POINTS");
    if (points > 0) {
        qApp->setStyleSheet(QStringLiteral("* { font-size: %1pt; }").arg(points));
    }
    {
        WindowRig rig;
        ASSERT_FALSE(rig.session.keeper().changeTalents([](Roster& roster) {
            const Refusal refusal = roster.addCharacter("Arven");
            return refusal ? refusal : roster.addTalent(0, "Schwertkampf", 14);
        }));
        const QRect area = rig.window.screen()->availableGeometry();
        rig.window.showLog();
        rig.window.showTalents();
        auto* hook = rig.window.findChild<StepOddsHook*>();
        ASSERT_NE(hook, nullptr);
        hook->openOdds(40);
        QApplication::processEvents();
        const QList<QWidget*> windows{rig.window.logView(), rig.window.talentsView(), hook->window()};
        for (QWidget* side : windows) {
            ASSERT_NE(side, nullptr);
            EXPECT_TRUE(area.contains(side->frameGeometry()))
                << side->windowTitle().toStdString() << ": " << side->frameGeometry().width() << "x"
                << side->frameGeometry().height() << " on " << area.width() << "x" << area.height();
            EXPECT_LE(side->minimumSizeHint().width(), area.width()) << side->windowTitle().toStdString();
            // Rows that wrap keep every button whole inside the window, none over another.
            QList<QRect> taken;
            for (const QPushButton* button : side->findChildren<QPushButton*>()) {
                if (!button->isVisibleTo(side) || button->window() != side) {
                    continue;
                }
                const QRect at(button->mapTo(side, QPoint(0, 0)), button->size());
                EXPECT_TRUE(side->rect().contains(at))
                    << side->windowTitle().toStdString() << ": '" << button->text().toStdString() << "'";
                for (const QRect& other : taken) {
                    EXPECT_FALSE(other.intersects(at)) << "'" << button->text().toStdString() << "' lies over another";
                }
                taken << at;
            }
        }
        // The chosen column and its header in the table's font, made bold.
        QTableView* table = hook->window()->table();
        const QFont chosen = table->model()->index(0, 1).data(Qt::FontRole).value<QFont>();
        EXPECT_EQ(chosen.pointSizeF(), table->font().pointSizeF());
        if (points > 0) {
            EXPECT_EQ(table->font().pointSizeF(), points);
        }
        EXPECT_TRUE(chosen.bold());
        const QFont header = table->model()->headerData(1, Qt::Horizontal, Qt::FontRole).value<QFont>();
        EXPECT_EQ(header.pointSizeF(), table->font().pointSizeF());
        // Rows as high as their text.
        EXPECT_GE(table->verticalHeader()->defaultSectionSize(), table->fontMetrics().height());
        QTableView* talents = rig.window.talentsView()->findChild<QTableView*>();
        ASSERT_NE(talents, nullptr);
        ASSERT_EQ(talents->model()->rowCount(), 1);
        EXPECT_GE(talents->rowHeight(0), talents->fontMetrics().height());
    }
    qApp->setStyleSheet(QString());
}

} // namespace
} // namespace velmora
