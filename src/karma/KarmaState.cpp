#include "karma/KarmaState.h"

#include "dice/RollError.h"

#include <array>
#include <charconv>
#include <cmath>
#include <stdexcept>

namespace velmora {
namespace {

constexpr std::array<KarmaLevel, kKarmaLamps> kLevels{{
    {1, "Karma +4!", 4},
    {2, "Karma +6!", 6},
    {3, "Karma +8!", 8},
    {4, "Karma +10!", 10},
}};

[[noreturn]] void notANumber() { throw RollError(RollError::Kind::KarmaNotANumber, "karma caption is not a number"); }

} // namespace

std::span<const KarmaLevel> karmaTable() { return kLevels; }

std::string karmaName(int level)
{
    return "Karma +" + std::to_string(kLevels.at(static_cast<std::size_t>(level - 1)).die);
}

double karmaValue(std::string_view caption)
{
    const auto first = caption.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        notANumber();
    }
    caption = caption.substr(first, caption.find_last_not_of(' ') - first + 1);
    if (caption.front() == '+') {
        caption.remove_prefix(1);
    }
    double value = 0.0;
    const char* end = caption.data() + caption.size();
    const auto [ptr, ec] = std::from_chars(caption.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value)) {
        notANumber();
    }
    return value;
}

void clickKarmaButton(int button, KarmaControls& controls)
{
    if (button < 1 || button > kKarmaButtons) {
        throw std::out_of_range("no such karma button");
    }
    const int level = button == kResetButton ? 0 : button;
    for (int lamp = 1; lamp <= kKarmaLamps; ++lamp) {
        controls.setLampColour(lamp, lamp == level ? kLampSelected : kLampUnselected);
    }
    controls.setKarmaCaption(std::to_string(level));
}

} // namespace velmora
