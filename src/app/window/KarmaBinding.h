#pragma once

#include "app/window/IndicatorLamp.h"
#include "karma/KarmaCaption.h"
#include "karma/KarmaState.h"

#include <QLabel>

#include <array>

namespace velmora {

// Binds the karma rules to the controls that hold the state: the caption of
// the `karma` label and the four lamps.
class KarmaBinding final : public KarmaCaption, public KarmaControls {
public:
    KarmaBinding() = default;
    void bind(QLabel* caption, const std::array<IndicatorLamp*, kKarmaLamps>& lamps);

    std::string caption() const override;
    void setLampColour(int lamp, std::uint32_t systemColour) override;
    void setKarmaCaption(const std::string& caption) override;

private:
    QLabel* m_caption = nullptr;
    std::array<IndicatorLamp*, kKarmaLamps> m_lamps{};
};

} // namespace velmora
