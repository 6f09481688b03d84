#include "transcript/TranscriptModel.h"
#include "transcript/TranscriptText.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace velmora {
namespace {

struct SplitCase {
    std::string text;
    std::vector<std::string> lines;
};

class PrintSplitting : public ::testing::TestWithParam<SplitCase> {};

TEST_P(PrintSplitting, EachCrLfEndsALine)
{
    TranscriptModel model;
    model.print(GetParam().text);
    EXPECT_EQ(model.lines(), GetParam().lines);
    EXPECT_EQ(model.printLine(), GetParam().lines.size());
}

INSTANTIATE_TEST_SUITE_P(Transcript, PrintSplitting,
    ::testing::Values(SplitCase{"", {""}}, SplitCase{"Patzer!", {"Patzer!"}},
        SplitCase{"Neuer Wurf!\r\n", {"Neuer Wurf!", ""}},
        SplitCase{"a\r\nb", {"a", "b"}}, SplitCase{"\r\n\r\n", {"", "", ""}},
        // A lone CR or LF is no line break.
        SplitCase{"a\rb", {"a\rb"}}, SplitCase{"a\nb", {"a\nb"}},
        SplitCase{"a\n\r\nb", {"a\n", "b"}}));

TEST(Transcript, ClsReturnsToTheTopLeftCorner)
{
    TranscriptModel model;
    model.print("Ein D4 wird gewürfelt: 4");
    model.print("Neuer Wurf!\r\n");
    ASSERT_EQ(model.printLine(), 3U);
    model.cls();
    EXPECT_EQ(model.printLine(), 0U);
    EXPECT_TRUE(model.lines().empty());
    model.print("Patzer!");
    EXPECT_EQ(model.lines(), std::vector<std::string>{"Patzer!"});
}

struct SumCase {
    long long total;
    int modifier;
    std::string line;
};

class SumLines : public ::testing::TestWithParam<SumCase> {};

TEST_P(SumLines, ComposeBothForms)
{
    EXPECT_EQ(text::sumLine(GetParam().total, GetParam().modifier), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(Transcript, SumLines,
    ::testing::Values(SumCase{10, 0, "Die Summe lautet: 10"}, SumCase{5, 2, "Die Summe lautet: 3 (5-2)"},
        SumCase{2, 2, "Die Summe lautet: 0 (2-2)"}, SumCase{2, 1, "Die Summe lautet: 1 (2-1)"},
        SumCase{32777, 0, "Die Summe lautet: 32777"},
        SumCase{40000, 2, "Die Summe lautet: 39998 (40000-2)"}));

TEST(Transcript, ErrorLinesSayTheRollWasAbortedAndWhy)
{
    for (const auto kind : {RollError::Kind::Overflow, RollError::Kind::FloatingPoint,
             RollError::Kind::KarmaNotANumber, RollError::Kind::InvalidDieSize}) {
        TranscriptModel model;
        model.print(text::errorLine(kind));
        ASSERT_EQ(model.lines().size(), 3U);
        EXPECT_TRUE(model.lines()[0].starts_with("Fehler: "));
        EXPECT_EQ(model.lines()[1] + " " + model.lines()[2], "der Wurf wurde abgebrochen.");
    }
    EXPECT_EQ(TranscriptModel::splitPieces(text::errorLine(RollError::Kind::Overflow))[0],
        "Fehler: Überlauf –");
}

} // namespace
} // namespace velmora
