#pragma once

#include <QRect>
#include <QSize>
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

// How the design is drawn in the room it has: places scaled by `across` and
// `down`, sizes by `size`. All are 1 wherever the design fits the screen and
// the desktop's font fits its buttons: the board is then exactly as designed.
struct DesignScale {
    double across = 1;
    double down = 1;
    double size = 1;
    bool operator==(const DesignScale&) const = default;
};
// The smallest size at which a caption of this width and line height fits a
// step button, relative to the design's.
double captionNeeds(int lineHeight, int captionWidth);
// The scale for a room in pixels (none: an empty size): smaller where the
// design does not fit it; sizes never smaller than `needs`, which may also
// make the board larger, unless the room is too small for that. Sizes may
// outgrow places a little, into the gaps, never so far that controls overlap.
DesignScale fitDesign(const QSize& room, double needs);
QRect scaled(const QRect& twips, DesignScale scale);
// The client area at that scale.
QSize clientSize(DesignScale scale);

} // namespace velmora
