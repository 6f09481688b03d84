#include "app/window/KarmaBinding.h"

namespace velmora {

void KarmaBinding::bind(QLabel* caption, const std::array<IndicatorLamp*, kKarmaLamps>& lamps)
{
    m_caption = caption;
    m_lamps = lamps;
}

std::string KarmaBinding::caption() const { return m_caption->text().toStdString(); }

void KarmaBinding::setLampColour(int lamp, std::uint32_t systemColour)
{
    m_lamps.at(static_cast<std::size_t>(lamp - 1))->setSystemColour(systemColour);
}

void KarmaBinding::setKarmaCaption(const std::string& caption) { m_caption->setText(QString::fromStdString(caption)); }

} // namespace velmora
