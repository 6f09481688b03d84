#pragma once

#include <QRect>
#include <QString>

#include <vector>

namespace velmora {

inline constexpr int kClientWidthTwips = 6705;
inline constexpr int kClientHeightTwips = 8085;
inline constexpr int kTranscriptBandTwips = 2040;

struct ControlDesign {
    enum class Kind { StepButton, KarmaButton, KarmaLabel, Lamp, CreditLabel };

    Kind kind;
    QString name;
    QString caption;
    QRect twips; // left, top, width, height
    int number; // step, karma button or lamp number; 0 otherwise
};

// The 51 controls of the main window, in tab order.
std::vector<ControlDesign> designControls();

} // namespace velmora
