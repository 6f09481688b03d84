#include "app/window/DesignLayout.h"

#include "app/window/Twips.h"
#include "karma/KarmaState.h"
#include "steps/StepTable.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cmath>

namespace velmora {
namespace {

// Fifteen rows in three groups of five: 480 twips apart inside a group,
// 600 between groups.
constexpr int rowTop(int row)
{
    constexpr int kFirstTop = 240;
    constexpr int kRowPitch = 480;
    constexpr int kGroupGap = 600 - kRowPitch;
    return kFirstTop + row * kRowPitch + (row / 5) * kGroupGap;
}

constexpr int kRowHeight = 375;
constexpr int kStepWidth = 1215;
constexpr int kKarmaWidth = 975;
constexpr int kKarmaLeft = 2040;
constexpr int kLampLeft = 3120;
constexpr int kLampSize = 375;

struct Column {
    int left;
    int firstStep;
    int firstRow;
};

constexpr std::array<Column, 3> kColumns{{{2160, 1, 5}, {3720, 11, 0}, {5280, 26, 0}}};

QRect stepRect(int step)
{
    const Column* column = &kColumns.front();
    for (const Column& c : kColumns) {
        if (step >= c.firstStep) {
            column = &c;
        }
    }
    const int row = column->firstRow + step - column->firstStep;
    return {column->left, rowTop(row), kStepWidth, kRowHeight};
}

QString karmaCaption(int button)
{
    if (button == kResetButton) {
        return QCoreApplication::translate("velmora::MainWindow", "Reset");
    }
    return QString::fromStdString(karmaName(button));
}

} // namespace

std::vector<ControlDesign> designControls()
{
    using Kind = ControlDesign::Kind;
    std::vector<ControlDesign> controls;
    for (int step = kFirstStep; step <= kLastStep; ++step) {
        controls.push_back({Kind::StepButton, QStringLiteral("Command%1").arg(step),
            QString::fromStdString(stepCaption(step)), stepRect(step), step});
    }
    const auto addKarmaButton = [&controls](int button) {
        controls.push_back({Kind::KarmaButton, QStringLiteral("karmabutton%1").arg(button), karmaCaption(button),
            {kKarmaLeft, rowTop(button - 1), kKarmaWidth, kRowHeight}, button});
    };
    for (int button = 1; button < kResetButton; ++button) {
        addKarmaButton(button);
    }
    // The state holder stays right of the client area, out of the layout; in
    // the design's tab order it sits between "Karma +10" and "Reset".
    controls.push_back(
        {Kind::KarmaLabel, QStringLiteral("karma"), QStringLiteral("0"), {7200, 480, 1335, kRowHeight}, 0});
    addKarmaButton(kResetButton);
    for (int lamp = 1; lamp <= kKarmaLamps; ++lamp) {
        controls.push_back({Kind::Lamp, QStringLiteral("karmacheck%1").arg(lamp), QString(),
            {kLampLeft, rowTop(lamp - 1), kLampSize, kLampSize}, lamp});
    }
    controls.push_back({Kind::CreditLabel, QStringLiteral("Label1"),
        QCoreApplication::translate("velmora::MainWindow", "Programmiert vom Velmora-Team"), {2280, 7800, 4335, 255},
        0});

    return controls;
}

double captionNeeds(int lineHeight, int captionWidth)
{
    // Room for the button's frame around the text, as Qt's styles draw it.
    constexpr double kFrameHeight = 4;
    constexpr double kFrameWidth = 8;
    return std::max((lineHeight + kFrameHeight) * kTwipsPerPixel / kRowHeight,
        (captionWidth + kFrameWidth) * kTwipsPerPixel / kStepWidth);
}

DesignScale fitDesign(const QSize& room, double needs)
{
    // Sizes may outgrow places into the gaps: a karma button would touch its
    // lamp at 1.1 times the places' scale across, a row the next at 1.24
    // times down.
    constexpr double kMostAcross = 1.08;
    constexpr double kMostDown = 1.2;
    double across = 1;
    double down = 1;
    if (!room.isEmpty()) {
        const double roomAcross = static_cast<double>(room.width()) * kTwipsPerPixel / kClientWidthTwips;
        const double roomDown = static_cast<double>(room.height()) * kTwipsPerPixel / kClientHeightTwips;
        across = std::min(1.0, roomAcross);
        down = std::min(1.0, roomDown);
        // A control in reach comes before a caption whole: the font never
        // grows the board beyond the room.
        needs = std::min(needs, std::min(roomAcross * kMostAcross, roomDown * kMostDown));
    }
    const double size = std::max(std::min(across, down), needs);
    return {std::max(across, size / kMostAcross), std::max(down, size / kMostDown), size};
}

QRect scaled(const QRect& twips, DesignScale scale)
{
    const auto at = [](int value, double by) { return static_cast<int>(std::lround(value * by / kTwipsPerPixel)); };
    return {at(twips.x(), scale.across), at(twips.y(), scale.down), at(twips.width(), scale.size),
        at(twips.height(), scale.size)};
}

QSize clientSize(DesignScale scale)
{
    const auto at = [](int value, double by) { return static_cast<int>(std::ceil(value * by / kTwipsPerPixel)); };
    return {at(kClientWidthTwips, scale.across), at(kClientHeightTwips, scale.down)};
}

} // namespace velmora
