#pragma once

#include "karma/KarmaState.h"
#include "steps/StepDefinition.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora::fixtures {

using Lines = std::vector<std::string>;

// A small reference model of one roll's transcript, checked line by line.
class TranscriptReader {
public:
    explicit TranscriptReader(const Lines& lines) : m_lines(lines) {}

    // Reads one die with its re-rolls; returns its total, or -1 on a mismatch.
    long long die(int sides, bool& onlyOnes)
    {
        long long total = 0;
        const std::string prefix = "Ein D" + std::to_string(sides) + " wird gewürfelt: ";
        for (;;) {
            if (!take([&](const std::string& l) { return l.starts_with(prefix); })) {
                return -1;
            }
            const int face = std::stoi(m_lines[m_at - 1].substr(prefix.size()));
            if (face < 1 || face > sides || m_lines[m_at - 1] != prefix + std::to_string(face)) {
                return -1;
            }
            total += face;
            onlyOnes = onlyOnes && face == 1;
            if (face != sides) {
                return total;
            }
            if (!line("Neuer Wurf!") || !line("")) {
                return -1;
            }
        }
    }

    bool line(const std::string& expected)
    {
        return take([&](const std::string& l) { return l == expected; });
    }
    bool atEnd() const { return m_at == m_lines.size(); }
    std::size_t position() const { return m_at; }

private:
    template <typename Predicate>
    bool take(Predicate matches)
    {
        if (m_at >= m_lines.size() || !matches(m_lines[m_at])) {
            return false;
        }
        ++m_at;
        return true;
    }

    const Lines& m_lines;
    std::size_t m_at = 0;
};

inline ::testing::AssertionResult matchesModel(const Lines& lines, const StepDefinition& step, int level)
{
    TranscriptReader reader(lines);
    bool onlyOnes = true;
    long long total = 0;
    for (const auto sides : step.rolledDice()) {
        const long long value = reader.die(sides, onlyOnes);
        if (value < 0) {
            return ::testing::AssertionFailure() << "step die d" << sides << " at line " << reader.position();
        }
        total += value;
    }
    if (level > 0) {
        const KarmaLevel& karma = karmaTable()[static_cast<std::size_t>(level - 1)];
        const long long value = reader.line(karma.line) ? reader.die(karma.die, onlyOnes) : -1;
        if (value < 0) {
            return ::testing::AssertionFailure() << "karma at line " << reader.position();
        }
        total += value;
    }
    const std::string result = onlyOnes ? "Patzer!"
        : step.modifier == 0            ? "Die Summe lautet: " + std::to_string(total)
                                        : "Die Summe lautet: " + std::to_string(total - step.modifier) + " ("
            + std::to_string(total) + "-" + std::to_string(step.modifier) + ")";
    if (!reader.line(result) || !reader.atEnd()) {
        return ::testing::AssertionFailure()
            << "result: expected '" << result << "' at line " << reader.position() << " of " << lines.size();
    }
    return ::testing::AssertionSuccess();
}

} // namespace velmora::fixtures
