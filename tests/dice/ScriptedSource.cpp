#include "dice/ScriptedSource.h"

#include <stdexcept>

namespace velmora::fixtures {

float ScriptedSource::drawFor(int face, int sides)
{
    return (static_cast<float>(face) - 0.5f) / static_cast<float>(sides);
}

void ScriptedSource::repeatForever(int face, int sides)
{
    m_repeat = true;
    m_repeatDraw = drawFor(face, sides);
}

void ScriptedSource::reseed(std::uint64_t) { ++m_reseeds; }

float ScriptedSource::draw()
{
    ++m_drawn;
    if (m_draws.empty()) {
        if (m_repeat) {
            return m_repeatDraw;
        }
        throw std::logic_error("scripted source ran out of draws");
    }
    const float r = m_draws.front();
    m_draws.pop_front();
    return r;
}

} // namespace velmora::fixtures
