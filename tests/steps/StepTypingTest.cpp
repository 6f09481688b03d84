#include "steps/StepTyping.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace velmora {
namespace {

struct Key {
    char digit;
    std::uint64_t atMs;
    std::optional<int> step; // the step focused after it, if any
};

struct TypingCase {
    const char* name;
    std::vector<Key> keys;
};

class Typing : public ::testing::TestWithParam<TypingCase> {};

TEST_P(Typing, NamesTheStepOfTheDigitsTypedTogether)
{
    StepTyping typing;
    for (const Key& key : GetParam().keys) {
        EXPECT_EQ(typing.type(key.digit, key.atMs), key.step) << key.digit << " at " << key.atMs;
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, Typing,
    ::testing::Values(TypingCase{"Seven", {{'7', 0, 7}}}, TypingCase{"Fourteen", {{'1', 0, 1}, {'4', 300, 14}}},
        TypingCase{"LeadingZero", {{'0', 0, std::nullopt}, {'2', 300, 2}}},
        TypingCase{"FiftyFiveIsFiveTwice", {{'5', 0, 5}, {'5', 300, 5}}},
        TypingCase{"Forty", {{'4', 0, 4}, {'0', 300, 40}}},
        TypingCase{"FortyOneStartsAgain", {{'4', 0, 4}, {'1', 300, 1}, {'2', 600, 12}}},
        TypingCase{"ZeroAlone", {{'0', 0, std::nullopt}, {'0', 300, std::nullopt}}},
        TypingCase{"APauseStartsANewNumber", {{'1', 0, 1}, {'4', 1001, 4}, {'0', 1500, 40}}},
        TypingCase{"JustWithinThePause", {{'2', 5000, 2}, {'5', 6000, 25}}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velmora
