#include "dice/MixingGenerator.h"

#include <random>

namespace velmora {
namespace {

constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15ULL;

std::uint64_t splitMix(std::uint64_t x)
{
    x += kGolden;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

constexpr std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

} // namespace

MixingGenerator::MixingGenerator()
{
    std::random_device device;
    for (auto& word : m_state) {
        word = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    }
    if (m_state == State{}) {
        seedFrom(kGolden);
    }
}

MixingGenerator::MixingGenerator(std::uint64_t seed) { seedFrom(seed); }

void MixingGenerator::seedFrom(std::uint64_t seed)
{
    for (auto& word : m_state) {
        seed = splitMix(seed);
        word = seed;
    }
}

std::uint64_t MixingGenerator::next64()
{
    auto& s = m_state;
    const std::uint64_t result = rotl(s[1] * 5, 7) * 9;
    const std::uint64_t t = s[1] << 17;
    s[2] ^= s[0];
    s[3] ^= s[1];
    s[1] ^= s[2];
    s[0] ^= s[3];
    s[2] ^= t;
    s[3] = rotl(s[3], 45);
    return result;
}

void MixingGenerator::reseed(std::uint64_t clockReading)
{
    ++m_reseeds;
    m_state[0] ^= splitMix(clockReading);
    m_state[1] ^= splitMix(m_reseeds ^ kGolden);
    m_state[2] ^= splitMix(clockReading + m_reseeds * kGolden);
    // xoshiro never leaves the all-zero state; a fold that lands there is undone.
    if (m_state == State{}) {
        seedFrom(m_reseeds);
    }
    for (int i = 0; i < 4; ++i) {
        next64();
    }
}

float MixingGenerator::draw()
{
    // The top 24 bits fill a float's mantissa exactly, so 1.0 never comes up.
    constexpr float kScale = 1.0f / 16777216.0f;
    return static_cast<float>(next64() >> 40) * kScale;
}

} // namespace velmora
