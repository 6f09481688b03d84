#include "karma/KarmaState.h"
#include "dice/RollError.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {
namespace {

struct ValueCase {
    std::string caption;
    double value;
};

class KarmaValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(KarmaValue, IsTheNumberTheCaptionDenotes) { EXPECT_EQ(karmaValue(GetParam().caption), GetParam().value); }

INSTANTIATE_TEST_SUITE_P(Karma, KarmaValue,
    ::testing::Values(ValueCase{"0", 0}, ValueCase{"1", 1}, ValueCase{"2", 2}, ValueCase{"3", 3}, ValueCase{"4", 4},
        ValueCase{"7", 7}, ValueCase{" 2 ", 2}, ValueCase{"+3", 3}, ValueCase{"-1", -1}, ValueCase{"2.5", 2.5},
        ValueCase{"1e0", 1}, ValueCase{"04", 4}));

class KarmaNotANumber : public ::testing::TestWithParam<std::string> {};

TEST_P(KarmaNotANumber, IsAnError)
{
    try {
        karmaValue(GetParam());
        FAIL() << "accepted '" << GetParam() << "'";
    } catch (const RollError& e) {
        EXPECT_EQ(e.kind(), RollError::Kind::KarmaNotANumber);
    }
}

INSTANTIATE_TEST_SUITE_P(Karma, KarmaNotANumber,
    ::testing::Values("", " ", "abc", "1a", "nan", "inf", "-inf", "1e999", "0x1", "+", "++1", "1 2", "\xc3\xbc"));

struct Write {
    int lamp; // 0 for the caption
    std::uint32_t colour;
    std::string caption;
    bool operator==(const Write&) const = default;
};

class RecordingControls final : public KarmaControls {
public:
    void setLampColour(int lamp, std::uint32_t systemColour) override { writes.push_back({lamp, systemColour, {}}); }
    void setKarmaCaption(const std::string& caption) override { writes.push_back({0, 0, caption}); }
    std::vector<Write> writes;
};

TEST(KarmaButtons, WriteFourLampsInOrderThenTheCaption)
{
    constexpr auto on = kLampSelected;
    constexpr auto off = kLampUnselected;
    const std::vector<std::vector<Write>> expected{
        {{1, on, {}}, {2, off, {}}, {3, off, {}}, {4, off, {}}, {0, 0, "1"}},
        {{1, off, {}}, {2, on, {}}, {3, off, {}}, {4, off, {}}, {0, 0, "2"}},
        {{1, off, {}}, {2, off, {}}, {3, on, {}}, {4, off, {}}, {0, 0, "3"}},
        {{1, off, {}}, {2, off, {}}, {3, off, {}}, {4, on, {}}, {0, 0, "4"}},
        {{1, off, {}}, {2, off, {}}, {3, off, {}}, {4, off, {}}, {0, 0, "0"}},
    };
    for (int button = 1; button <= kKarmaButtons; ++button) {
        RecordingControls controls;
        clickKarmaButton(button, controls);
        EXPECT_EQ(controls.writes, expected[static_cast<std::size_t>(button - 1)]) << button;
    }
    EXPECT_EQ(kLampSelected, 0x80000007U);
    EXPECT_EQ(kLampUnselected, 0x8000000BU);
}

} // namespace
} // namespace velmora
