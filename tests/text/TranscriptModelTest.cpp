#include "text/TranscriptModel.h"

#include "dice/DieSizes.h"
#include "dice/RollError.h"
#include "text/TranscriptText.h"

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
        SplitCase{"Neuer Wurf!\r\n", {"Neuer Wurf!", ""}}, SplitCase{"a\r\nb", {"a", "b"}},
        SplitCase{"\r\n\r\n", {"", "", ""}},
        // A lone CR or LF is no line break.
        SplitCase{"a\rb", {"a\rb"}}, SplitCase{"a\nb", {"a\nb"}}, SplitCase{"a\n\r\nb", {"a\n", "b"}}));

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

TEST(Transcript, ErrorLinesSayTheRollWasAbortedAndWhy)
{
    for (const auto kind : {RollError::Kind::Overflow, RollError::Kind::FloatingPoint, RollError::Kind::KarmaNotANumber,
             RollError::Kind::InvalidDieSize}) {
        TranscriptModel model;
        model.print(text::errorLine(kind));
        ASSERT_EQ(model.lines().size(), 3U);
        EXPECT_TRUE(model.lines()[0].starts_with("Fehler: "));
        EXPECT_EQ(model.lines()[1] + " " + model.lines()[2], "der Wurf wurde abgebrochen.");
    }
    EXPECT_EQ(TranscriptModel::splitPieces(text::errorLine(RollError::Kind::Overflow))[0], "Fehler: Überlauf –");
}

TEST(Transcript, RecognisesDieLinesAndNothingElse)
{
    for (const int sides : kDieSizes) {
        for (int face = 1; face <= sides; ++face) {
            EXPECT_TRUE(text::isDieLine(text::dieLine(sides, face))) << sides << " " << face;
        }
    }
    for (const std::string& line : {text::sumLine(20, 0), text::sumLine(3, 2), text::fumbleLine(),
             text::rerollNotice(text::br()), std::string("Karma +10!"), std::string(),
             std::string("Ein D wird gewürfelt: 3"), std::string("Ein D6 wird gewürfelt: "),
             std::string("Ein D6 wird gewürfelt: 3x"), std::string("Ein D6x wird gewürfelt: 3")}) {
        EXPECT_FALSE(text::isDieLine(line)) << line;
    }
}

} // namespace
} // namespace velmora
