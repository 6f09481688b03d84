#pragma once

#include "transcript/TranscriptSink.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The lines of the latest roll, kept so that a repaint can draw them again.
class TranscriptModel final : public TranscriptSink {
public:
    void cls() override;
    void print(std::string_view text) override;

    const std::vector<std::string>& lines() const { return m_lines; }
    // The print position as a line index; x is always 0 at a line start.
    std::size_t printLine() const { return m_lines.size(); }
    // The index of the first line that the latest Print wrote.
    std::size_t lastPrintStart() const { return m_lastPrint; }

    // The pieces that one Print of text draws, one per line.
    static std::vector<std::string_view> splitPieces(std::string_view text);

private:
    std::vector<std::string> m_lines;
    std::size_t m_lastPrint = 0;
};

} // namespace velmora
