#include "app/WindowRig.h"
#include "app/desktop/LazyIconStyle.h"

#include <QAccessible>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

// The menu bar's overflow icon, read only when drawn, is still the style's
// own, in each direction; every other icon is the style's as it was.
TEST(WindowLayout, TheOverflowIconIsTheStylesOwn)
{
    LazyIconStyle style;
    for (const QStyle::StandardPixmap icon : {QStyle::SP_ToolBarHorizontalExtensionButton,
             QStyle::SP_ToolBarVerticalExtensionButton, QStyle::SP_MessageBoxQuestion}) {
        for (const Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
            QApplication::setLayoutDirection(direction);
            const QIcon ownIcon = style.baseStyle()->standardIcon(icon, nullptr, nullptr);
            const QImage own = ownIcon.pixmap(16).toImage();
            const QIcon lazy = style.standardIcon(icon, nullptr, nullptr);
            ASSERT_FALSE(own.isNull()) << icon;
            EXPECT_EQ(lazy.pixmap(16).toImage(), own) << icon << " " << direction;
            EXPECT_EQ(lazy.actualSize(QSize(64, 64)), ownIcon.actualSize(QSize(64, 64))) << icon;
        }
    }
    QApplication::setLayoutDirection(Qt::LeftToRight);
}

using fixtures::WindowRig;

struct DesignRow {
    const char* name;
    const char* caption;
    int left;
    int top;
    int width;
    int height;
};

// The control table of the design, in tab order, in twips.
const DesignRow kDesign[] = {
    {"Command1", "Stufe 01", 2160, 2760, 1215, 375},
    {"Command2", "Stufe 02", 2160, 3240, 1215, 375},
    {"Command3", "Stufe 03", 2160, 3720, 1215, 375},
    {"Command4", "Stufe 04", 2160, 4200, 1215, 375},
    {"Command5", "Stufe 05", 2160, 4680, 1215, 375},
    {"Command6", "Stufe 06", 2160, 5280, 1215, 375},
    {"Command7", "Stufe 07", 2160, 5760, 1215, 375},
    {"Command8", "Stufe 08", 2160, 6240, 1215, 375},
    {"Command9", "Stufe 09", 2160, 6720, 1215, 375},
    {"Command10", "Stufe 10", 2160, 7200, 1215, 375},
    {"Command11", "Stufe 11", 3720, 240, 1215, 375},
    {"Command12", "Stufe 12", 3720, 720, 1215, 375},
    {"Command13", "Stufe 13", 3720, 1200, 1215, 375},
    {"Command14", "Stufe 14", 3720, 1680, 1215, 375},
    {"Command15", "Stufe 15", 3720, 2160, 1215, 375},
    {"Command16", "Stufe 16", 3720, 2760, 1215, 375},
    {"Command17", "Stufe 17", 3720, 3240, 1215, 375},
    {"Command18", "Stufe 18", 3720, 3720, 1215, 375},
    {"Command19", "Stufe 19", 3720, 4200, 1215, 375},
    {"Command20", "Stufe 20", 3720, 4680, 1215, 375},
    {"Command21", "Stufe 21", 3720, 5280, 1215, 375},
    {"Command22", "Stufe 22", 3720, 5760, 1215, 375},
    {"Command23", "Stufe 23", 3720, 6240, 1215, 375},
    {"Command24", "Stufe 24", 3720, 6720, 1215, 375},
    {"Command25", "Stufe 25", 3720, 7200, 1215, 375},
    {"Command26", "Stufe 26", 5280, 240, 1215, 375},
    {"Command27", "Stufe 27", 5280, 720, 1215, 375},
    {"Command28", "Stufe 28", 5280, 1200, 1215, 375},
    {"Command29", "Stufe 29", 5280, 1680, 1215, 375},
    {"Command30", "Stufe 30", 5280, 2160, 1215, 375},
    {"Command31", "Stufe 31", 5280, 2760, 1215, 375},
    {"Command32", "Stufe 32", 5280, 3240, 1215, 375},
    {"Command33", "Stufe 33", 5280, 3720, 1215, 375},
    {"Command34", "Stufe 34", 5280, 4200, 1215, 375},
    {"Command35", "Stufe 35", 5280, 4680, 1215, 375},
    {"Command36", "Stufe 36", 5280, 5280, 1215, 375},
    {"Command37", "Stufe 37", 5280, 5760, 1215, 375},
    {"Command38", "Stufe 38", 5280, 6240, 1215, 375},
    {"Command39", "Stufe 39", 5280, 6720, 1215, 375},
    {"Command40", "Stufe 40", 5280, 7200, 1215, 375},
    {"karmabutton1", "Karma +4", 2040, 240, 975, 375},
    {"karmabutton2", "Karma +6", 2040, 720, 975, 375},
    {"karmabutton3", "Karma +8", 2040, 1200, 975, 375},
    {"karmabutton4", "Karma +10", 2040, 1680, 975, 375},
    {"karma", "0", 7200, 480, 1335, 375},
    {"karmabutton5", "Reset", 2040, 2160, 975, 375},
    {"karmacheck1", "", 3120, 240, 375, 375},
    {"karmacheck2", "", 3120, 720, 375, 375},
    {"karmacheck3", "", 3120, 1200, 375, 375},
    {"karmacheck4", "", 3120, 1680, 375, 375},
    {"Label1", nullptr, 2280, 7800, 4335, 255},
};

QRect pixels(const DesignRow& row) { return {row.left / 15, row.top / 15, row.width / 15, row.height / 15}; }

// Keys go to the active window's focus widget. Through the window system, as
// QApplication::setActiveWindow is deprecated from Qt 6.5 on.
void activate(QWidget& window)
{
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

TEST(WindowLayout, EveryControlStandsWhereTheDesignPutsIt)
{
    WindowRig rig;
    int controls = 0;
    for (const DesignRow& row : kDesign) {
        SCOPED_TRACE(row.name);
        auto* widget = rig.window.findChild<QWidget*>(QString::fromLatin1(row.name));
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), rig.window.board());
        EXPECT_EQ(widget->geometry(), pixels(row));
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text(), QString::fromLatin1(row.caption));
            EXPECT_EQ(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name), button->text());
            EXPECT_FALSE(button->isDefault());
            EXPECT_TRUE(button->isVisible());
        } else if (row.caption != nullptr) {
            EXPECT_EQ(qobject_cast<QLabel*>(widget)->text(), QString::fromLatin1(row.caption));
        }
        ++controls;
    }
    EXPECT_EQ(controls, 51);
    EXPECT_EQ(rig.window.board()->findChildren<QPushButton*>(QString(), Qt::FindDirectChildrenOnly).size(), 45);
    EXPECT_EQ(rig.window.board()->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly).size(), 6);
}

TEST(WindowLayout, TheWindowHasItsTitleSizeAndNoVisibleKarmaState)
{
    WindowRig rig;
    EXPECT_EQ(rig.window.objectName(), QStringLiteral("velmora"));
    EXPECT_EQ(rig.window.windowTitle(), QStringLiteral("Velmora - Stand-Alone-Version"));
    // The board's size, with a menu bar above it and nothing beside it.
    EXPECT_EQ(rig.window.board()->size(), QSize(447, 539));
    EXPECT_EQ(rig.window.size(), QSize(447, 539 + rig.window.menuBar()->height()));
    const QIcon icon = Board::applicationIcon();
    for (const int size : {16, 25, 32}) {
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
        EXPECT_EQ(icon.pixmap(QSize(size, size), 1.0).size(), QSize(size, size));
        // The raw pixels are the committed PNG's, pixel for pixel.
        const QImage png(QStringLiteral(VELMORA_ICON_DIR "/velmora-%1.png").arg(size));
        ASSERT_FALSE(png.isNull()) << size;
        EXPECT_EQ(icon.pixmap(QSize(size, size), 1.0).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
            png.convertToFormat(QImage::Format_ARGB32_Premultiplied))
            << size;
    }
    EXPECT_FALSE(rig.karmaLabel()->isVisible());
    EXPECT_EQ(rig.karmaLabel()->text(), QStringLiteral("0"));
    EXPECT_TRUE(rig.lines().empty());
    const auto* credit = rig.window.findChild<QLabel*>(QStringLiteral("Label1"));
    EXPECT_FALSE(credit->text().isEmpty());
    EXPECT_FALSE(credit->text().contains(QLatin1Char('\n')));
}

TEST(WindowLayout, TabVisitsTheButtonsInDesignOrderAndWraps)
{
    WindowRig rig;
    activate(rig.window);
    rig.step(1)->setFocus();
    QStringList expected;
    for (const DesignRow& row : kDesign) {
        if (QString::fromLatin1(row.name).startsWith(QLatin1String("Command"))
            || QString::fromLatin1(row.name).startsWith(QLatin1String("karmabutton"))) {
            expected << QString::fromLatin1(row.name);
        }
    }
    expected << QStringLiteral("Command1");
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 45; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited, expected);
    for (auto* label : rig.window.findChildren<QLabel*>()) {
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus) << label->objectName().toStdString();
    }
}

TEST(WindowLayout, ResizingNeverMovesAControl)
{
    WindowRig rig;
    for (const QSize size : {QSize(900, 900), QSize(120, 80), QSize(447, 539)}) {
        rig.window.resize(size);
        QApplication::processEvents();
        for (const DesignRow& row : kDesign) {
            const auto* widget = rig.window.findChild<QWidget*>(QString::fromLatin1(row.name));
            EXPECT_EQ(widget->geometry(), pixels(row)) << row.name << " at " << size.width();
        }
        EXPECT_FALSE(rig.karmaLabel()->isVisible());
        EXPECT_EQ(rig.window.board()->transcriptView()->geometry(), rig.window.board()->rect());
    }
}

struct KeyCase {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool rolls;
};

TEST(WindowLayout, EnterAndSpaceActOnTheFocusedButtonOnlyAndEscapeDoesNothing)
{
    for (const KeyCase c : {KeyCase{Qt::Key_Space, {}, true}, KeyCase{Qt::Key_Return, {}, true},
             KeyCase{Qt::Key_Enter, {}, true}, KeyCase{Qt::Key_Enter, Qt::KeypadModifier, true},
             KeyCase{Qt::Key_Return, Qt::ControlModifier, false}, KeyCase{Qt::Key_Escape, {}, false}}) {
        WindowRig rig;
        activate(rig.window);
        rig.step(3)->setFocus();
        rig.source.push(2, 4);
        QTest::keyClick(rig.step(3), c.key, c.modifiers);
        if (c.rolls) {
            EXPECT_EQ(rig.lines(), (std::vector<std::string>{"Ein D4 wird gewürfelt: 2", "Die Summe lautet: 2"}))
                << c.key;
        } else {
            EXPECT_TRUE(rig.lines().empty());
            EXPECT_TRUE(rig.window.isVisible());
        }
    }
}

TEST(WindowLayout, TheCreditLabelShowsTheDialogFaceAndHidesWhatLiesBeneath)
{
    // Window and dialog face apart, so that a see-through label would show.
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, QColor(250, 230, 200));
    palette.setColor(QPalette::Button, QColor(200, 230, 250));
    WindowRig rig;
    rig.window.setPalette(palette);
    const auto* credit = rig.window.findChild<QLabel*>(QStringLiteral("Label1"));
    const QImage image = rig.window.board()->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    const QPoint corner = (credit->geometry().topLeft() + QPoint(1, 1)) * ratio;
    EXPECT_EQ(QColor(image.pixel(corner)), QColor(200, 230, 250));
    EXPECT_EQ(QColor(image.pixel(QPoint(5, 530) * ratio)), QColor(250, 230, 200));
}

TEST(WindowLayout, ClickingALampTheCreditOrTheSurfaceDoesNothing)
{
    WindowRig rig;
    rig.source.push(3, 4);
    rig.click(rig.step(3));
    const auto before = rig.lines();
    QTest::mouseClick(rig.lamp(2), Qt::LeftButton);
    QTest::mouseClick(rig.window.findChild<QLabel*>(QStringLiteral("Label1")), Qt::LeftButton);
    QTest::mouseClick(rig.window.board(), Qt::LeftButton, {}, QPoint(20, 300));
    QTest::mouseClick(rig.window.board(), Qt::LeftButton, {}, QPoint(440, 530));
    EXPECT_EQ(rig.lines(), before);
    EXPECT_EQ(rig.karmaLabel()->text(), QStringLiteral("0"));
    EXPECT_FALSE(rig.lamp(2)->isLit());
}

// The board is exactly as designed wherever the design fits the room and
// the font fits the buttons; else it follows the room and the font. Pinned
// by hand: the design's client area is 447 x 539 pixels, sizes may outgrow
// places 1.08 times across and 1.2 times down.
TEST(WindowLayout, TheBoardIsFittedOnlyWhereTheRoomOrTheFontAsks)
{
    const struct {
        const char* what;
        QSize room;
        double needs;
        DesignScale expected;
    } cases[] = {
        {"no room given", {}, 0.76, {1, 1, 1}},
        {"the design's own room", {447, 539}, 0.76, {1, 1, 1}},
        {"a large screen: the room alone never enlarges it", {1920, 1000}, 0.76, {1, 1, 1}},
        {"1366 x 768 at a ratio of 1.5, less frame and menu", {910, 467}, 0.76, {1, 467 / 539.0, 467 / 539.0}},
        {"too low for the font: in reach first", {447, 300}, 0.76, {1, 300 / 539.0, 1.2 * 300 / 539.0}},
        {"too narrow", {300, 539}, 0.5, {300 / 447.0, 1, 300 / 447.0}},
        {"a large font on a large screen", {1366, 723}, 1.2, {1.2 / 1.08, 1, 1.2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const DesignScale got = fitDesign(c.room, c.needs);
        EXPECT_NEAR(got.across, c.expected.across, 1e-9);
        EXPECT_NEAR(got.down, c.expected.down, 1e-9);
        EXPECT_NEAR(got.size, c.expected.size, 1e-9);
    }
}

// In the desktop's font up to 16 pt, in rooms down to 1024 x 600 at a ratio
// of 1.5: every button holds its caption, no control lies over another or
// beyond the board, and the board fits the room.
TEST(WindowLayout, EveryControlFitsTheRoomAndHoldsItsCaption)
{
    WindowRig rig;
    Board* board = rig.window.board();
    const QString family = board->font().family();
    const struct {
        int points;
        QSize room;
    } cases[] = {
        {9, {447, 539}},
        {9, {910, 467}},
        {9, {683, 355}},
        {12, {1366, 723}},
        {12, {910, 467}},
        {16, {1366, 723}},
        {16, {1024, 555}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.points) + " pt in " + std::to_string(c.room.width()) + " x "
            + std::to_string(c.room.height()));
        board->setFont(QFont(family, c.points));
        board->fitInto(c.room);
        const QSize size = board->sizeHint();
        EXPECT_LE(size.width(), c.room.width());
        EXPECT_LE(size.height(), c.room.height());
        QList<const QWidget*> placed;
        for (const QWidget* control : board->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (control->isHidden() || control == board->transcriptView()) {
                continue;
            }
            const QString name = control->objectName();
            const QRect at = control->geometry();
            EXPECT_TRUE(QRect(QPoint(0, 0), size).contains(at)) << name.toStdString();
            const QFontMetrics metrics(control->font());
            if (const auto* button = qobject_cast<const QPushButton*>(control)) {
                EXPECT_LE(metrics.height() + 4, at.height()) << name.toStdString();
                // Karma buttons narrow their captions themselves.
                if (name.startsWith(QLatin1String("Command"))) {
                    EXPECT_LE(metrics.horizontalAdvance(button->text()) + 8, at.width()) << name.toStdString();
                }
            } else if (const auto* label = qobject_cast<const QLabel*>(control); label && !label->text().isEmpty()) {
                EXPECT_LE(metrics.height(), at.height()) << name.toStdString();
            }
            for (const QWidget* other : placed) {
                EXPECT_FALSE(other->geometry().intersects(at))
                    << name.toStdString() << " over " << other->objectName().toStdString();
            }
            placed << control;
        }
        EXPECT_EQ(placed.size(), 50); // 45 buttons, 4 lamps, the credit
    }
}

// The window opens with every step and karma button on the screen, in the
// run's screen and font (a laptop's screen at a ratio of 1.5, 16 pt type).
TEST(Reach, EveryButtonIsOnTheScreen)
{
    const QFont desktop = QApplication::font();
    const int points = qEnvironmentVariableIntValue("VELMORA_STYLE_POINTS");
    if (points > 0) {
        QFont font = desktop;
        font.setPointSize(points);
        QApplication::setFont(font);
    }
    {
        WindowRig rig;
        const QRect area = rig.window.screen()->availableGeometry();
        EXPECT_TRUE(area.contains(rig.window.frameGeometry()))
            << rig.window.frameGeometry().height() << " px high on " << area.height();
        for (const QPushButton* button : rig.window.board()->findChildren<QPushButton*>()) {
            EXPECT_TRUE(area.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())))
                << button->text().toStdString();
        }
    }
    QApplication::setFont(desktop);
}

} // namespace
} // namespace velmora
