#include "talents/Roster.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace velmora {
namespace {

struct NameCase {
    const char* what;
    std::string name;
    bool accepted;
    std::string kept; // as stored, where accepted
};

class TalentNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(TalentNames, AreTrimmedCheckedAndUniqueWhateverTheirCase)
{
    Roster roster;
    ASSERT_FALSE(roster.addCharacter("Arven"));
    ASSERT_FALSE(roster.addTalent(0, "Schwertkampf", 14));
    ASSERT_FALSE(roster.addTalent(0, "Äxte", 9));
    const NameCase& c = GetParam();
    const Refusal refusal = roster.addTalent(0, c.name, 5);
    EXPECT_EQ(!refusal, c.accepted) << c.what << (refusal ? ": " + *refusal : "");
    if (c.accepted) {
        EXPECT_EQ(roster.characters()[0].talents.back().name, c.kept);
    } else {
        EXPECT_EQ(roster.characters()[0].talents.size(), 2U);
        ASSERT_TRUE(refusal);
        EXPECT_FALSE(refusal->empty());
    }
}

// Sixty characters of which twenty take two bytes each: 80 bytes.
const std::string kSixty = std::string(40, 'a') + [] {
    std::string umlauts;
    for (int i = 0; i < 20; ++i) {
        umlauts += "\xC3\xBC";
    }
    return umlauts;
}();

INSTANTIATE_TEST_SUITE_P(Roster, TalentNames,
    ::testing::Values(NameCase{"plain", "Wahrnehmung", true, "Wahrnehmung"},
        NameCase{"trimmed", "  \tWahrnehmung ", true, "Wahrnehmung"}, NameCase{"one character", "W", true, "W"},
        NameCase{"sixty characters in more bytes", kSixty, true, kSixty},
        NameCase{"sixty-one characters", kSixty + "a", false, ""}, NameCase{"empty", "", false, ""},
        NameCase{"white space only", " \t ", false, ""}, NameCase{"taken, other case", "schwertKAMPF", false, ""},
        NameCase{"taken, umlaut in other case", "\xC3\xA4xte", false, ""},
        NameCase{"a line break inside", "Schwert\nkampf", false, ""},
        NameCase{"invalid UTF-8", "Schwert\xC3kampf", false, ""},
        NameCase{"a C1 control", "Schwert\xC2\x85kampf", false, ""},
        NameCase{"a right-to-left override", "Schwert\xE2\x80\xAEkampf", false, ""},
        NameCase{"a zero-width space", "Schwert\xE2\x80\x8Bkampf", false, ""},
        NameCase{"no-break spaces only", "\xC2\xA0\xC2\xA0", false, ""},
        NameCase{"trimmed of no-break spaces", "\xC2\xA0Wahrnehmung\xE2\x80\xAF", true, "Wahrnehmung"},
        NameCase{"an overlong slash", "Schwert\xC0\xAFkampf", false, ""},
        NameCase{"a surrogate", "Schwert\xED\xA0\x80kampf", false, ""},
        NameCase{"beyond U+10FFFF", "Schwert\xF4\x90\x80\x80kampf", false, ""}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& ch : name) {
            ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        }
        return name;
    });

TEST(Roster, StepsOutsideOneToFortyAreRefusedAndNamesMayKeepTheirOwnPlace)
{
    Roster roster;
    ASSERT_FALSE(roster.addCharacter("Arven"));
    EXPECT_TRUE(roster.addTalent(0, "Zu tief", 0));
    EXPECT_TRUE(roster.addTalent(0, "Zu hoch", 41));
    EXPECT_FALSE(roster.addTalent(0, "Erste", 1));
    EXPECT_FALSE(roster.addTalent(0, "Letzte", 40));
    EXPECT_TRUE(roster.setTalentStep(0, 0, 41));
    EXPECT_EQ(roster.characters()[0].talents[0].step, 1);
    // A talent may take its own name in another case, not its sibling's.
    EXPECT_FALSE(roster.renameTalent(0, 0, "ERSTE"));
    EXPECT_EQ(roster.characters()[0].talents[0].name, "ERSTE");
    EXPECT_TRUE(roster.renameTalent(0, 0, "letzte"));
    // The same talent name is fine for another character.
    ASSERT_FALSE(roster.addCharacter("Brom"));
    EXPECT_FALSE(roster.addTalent(1, "Letzte", 12));
    EXPECT_TRUE(roster.addCharacter(" arven "));
}

TEST(Roster, RemovingACharacterPassesTheCurrentOneToANeighbour)
{
    const struct {
        int current;
        int removed;
        int expected; // -1: none
    } cases[] = {{0, 0, 0}, {2, 2, 1}, {1, 0, 0}, {0, 2, 0}, {2, 1, 1}};
    for (const auto& c : cases) {
        Roster roster;
        for (const char* name : {"A", "B", "C"}) {
            ASSERT_FALSE(roster.addCharacter(name));
        }
        roster.setCurrent(static_cast<std::size_t>(c.current));
        const std::string before = roster.currentCharacter()->name;
        roster.removeCharacter(static_cast<std::size_t>(c.removed));
        ASSERT_TRUE(roster.current());
        EXPECT_EQ(*roster.current(), static_cast<std::size_t>(c.expected)) << c.current << " " << c.removed;
        if (c.current != c.removed) {
            EXPECT_EQ(roster.currentCharacter()->name, before);
        }
    }
    Roster one;
    ASSERT_FALSE(one.addCharacter("Arven"));
    one.removeCharacter(0);
    EXPECT_FALSE(one.current());
    EXPECT_EQ(one.currentCharacter(), nullptr);
}

} // namespace
} // namespace velmora
