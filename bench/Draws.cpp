// Writes the draws of the real random source to standard output, each made
// as a die makes it: the dice engine's reseed from the clock, then one draw.
// A draw is k / 2^24; its 24 bits k go out as three bytes, most significant
// first, for randomness test batteries such as dieharder. (Rand maps the
// draw onto 0 .. 2^24 - 1 as k itself; its floating-point checks would only
// slow the stream down.)
//
//   velmora_draws [--frozen-clock | --system-clock] [--count N] [--seed N] [--replacing-reseed]
//
// The generator's first state comes from std::random_device, as in the
// program, unless --seed fixes it: with a frozen clock too, the stream is
// then the same on every run.
//
// --replacing-reseed breaks the source on purpose: every reseed replaces
// its state with one made from the clock alone. With a frozen clock every
// draw is then the same, which a test battery must reject.

#include "dice/Clock.h"
#include "dice/DiceEngine.h"
#include "dice/MixingGenerator.h"

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace {

class ReplacingReseed final : public velmora::RandomSource {
public:
    void reseed(std::uint64_t clockReading) override { m_generator = velmora::MixingGenerator(clockReading); }
    float draw() override { return m_generator.draw(); }

private:
    velmora::MixingGenerator m_generator{0};
};

class FrozenClock final : public velmora::Clock {
public:
    std::uint64_t now() override { return 1'765'000'000'000'000'000ULL; }
};

int usage()
{
    std::fputs("usage: velmora_draws [--frozen-clock | --system-clock] [--count N] [--seed N] "
               "[--replacing-reseed]\n",
        stderr);
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    bool frozen = false;
    bool replacing = false;
    long long count = -1;
    std::optional<std::uint64_t> seed;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--frozen-clock") {
            frozen = true;
        } else if (arg == "--system-clock") {
            frozen = false;
        } else if (arg == "--seed" && i + 1 < argc) {
            char* end = nullptr;
            seed = std::strtoull(argv[++i], &end, 10);
            if (*end != '\0') {
                return usage();
            }
        } else if (arg == "--replacing-reseed") {
            replacing = true;
        } else if (arg == "--count" && i + 1 < argc) {
            char* end = nullptr;
            count = std::strtoll(argv[++i], &end, 10);
            if (*end != '\0' || count < 0) {
                return usage();
            }
        } else {
            return usage();
        }
    }
    // A reader that stops early is the normal end, not an error.
    std::signal(SIGPIPE, SIG_IGN);

    velmora::MixingGenerator generator = seed ? velmora::MixingGenerator(*seed) : velmora::MixingGenerator();
    ReplacingReseed broken;
    velmora::SystemClock systemClock;
    FrozenClock frozenClock;
    velmora::RandomSource& source = replacing ? static_cast<velmora::RandomSource&>(broken) : generator;
    velmora::DiceEngine dice(source, frozen ? static_cast<velmora::Clock&>(frozenClock) : systemClock);

    constexpr int kBatch = 4096;
    unsigned char buffer[kBatch * 3];
    while (count != 0) {
        const int draws = count < 0 || count > kBatch ? kBatch : static_cast<int>(count);
        for (int i = 0; i < draws; ++i) {
            dice.reseedFromClock();
            const auto value = static_cast<std::uint32_t>(source.draw() * 16777216.0f);
            buffer[3 * i] = static_cast<unsigned char>(value >> 16);
            buffer[3 * i + 1] = static_cast<unsigned char>(value >> 8);
            buffer[3 * i + 2] = static_cast<unsigned char>(value);
        }
        const auto bytes = static_cast<std::size_t>(draws) * 3;
        if (std::fwrite(buffer, 1, bytes, stdout) != bytes) {
            return 0; // the reader has closed the stream
        }
        if (count > 0) {
            count -= draws;
        }
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
