#pragma once

#include "dice/Clock.h"
#include "dice/RandomSource.h"

#include <cstddef>
#include <cstdint>
#include <deque>

namespace velmora::fixtures {

// A random source whose every draw is scripted by the face it must show.
class ScriptedSource final : public RandomSource {
public:
    // The draw that makes a die of `sides` show `face`.
    static float drawFor(int face, int sides);

    void push(int face, int sides) { m_draws.push_back(drawFor(face, sides)); }
    void pushDraw(float r) { m_draws.push_back(r); }
    // Once the script runs out, show this face for ever.
    void repeatForever(int face, int sides);

    void reseed(std::uint64_t clockReading) override;
    float draw() override;

    std::size_t reseeds() const { return m_reseeds; }
    std::size_t draws() const { return m_drawn; }
    std::size_t left() const { return m_draws.size(); }

private:
    std::deque<float> m_draws;
    bool m_repeat = false;
    float m_repeatDraw = 0.0f;
    std::size_t m_reseeds = 0;
    std::size_t m_drawn = 0;
};

// A clock that never moves.
class FrozenClock final : public Clock {
public:
    explicit FrozenClock(std::uint64_t reading = 1234567) : m_reading(reading) {}
    std::uint64_t now() override
    {
        ++m_calls;
        return m_reading;
    }
    std::size_t calls() const { return m_calls; }

private:
    std::uint64_t m_reading;
    std::size_t m_calls = 0;
};

} // namespace velmora::fixtures
