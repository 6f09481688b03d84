#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace velmora {

// Windows system colour references: high bit set, colour index in the low byte.
inline constexpr std::uint32_t kSystemColourFlag = 0x80000000U;
inline constexpr std::uint32_t kLampSelected = kSystemColourFlag | 7U; // COLOR_MENUTEXT
inline constexpr std::uint32_t kLampUnselected = kSystemColourFlag | 11U; // COLOR_INACTIVEBORDER

inline constexpr int kKarmaLamps = 4;
inline constexpr int kKarmaButtons = 5;
inline constexpr int kResetButton = 5;

struct KarmaLevel {
    int level;
    const char* line;
    std::int16_t die;
};

// Levels 1 to 4 with the line and die that a step roll adds.
std::span<const KarmaLevel> karmaTable();

// What the window calls level 1 to 4 wherever it names it: "Karma +6".
std::string karmaName(int level);

// The karma state as the number its caption text denotes; throws RollError.
double karmaValue(std::string_view caption);

// The controls that a karma button writes.
class KarmaControls {
public:
    virtual ~KarmaControls() = default;
    virtual void setLampColour(int lamp, std::uint32_t systemColour) = 0;
    virtual void setKarmaCaption(const std::string& caption) = 0;
};

// The click of karma button 1..5: four lamp writes in order, then the caption.
void clickKarmaButton(int button, KarmaControls& controls);

} // namespace velmora
