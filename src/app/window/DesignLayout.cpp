#include "app/window/DesignLayout.h"

#include "karma/KarmaState.h"
#include "steps/StepTable.h"

#include <QCoreApplication>

#include <array>

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

} // namespace velmora
