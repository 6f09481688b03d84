#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora {

// The lines of the latest roll, kept so that a repaint can draw them again,
// and written as the band writes them: Cls, and Print of a text in which
// CR LF ends a line.
class TranscriptModel final {
public:
    void cls();
    void print(std::string_view text);
    // The band of a new roll in place of the old one.
    void show(std::vector<std::string> lines) { m_lines = std::move(lines); }

    const std::vector<std::string>& lines() const { return m_lines; }
    // The print position as a line index; x is always 0 at a line start.
    std::size_t printLine() const { return m_lines.size(); }

    // The pieces that one Print of text draws, one per line.
    static std::vector<std::string_view> splitPieces(std::string_view text);

private:
    std::vector<std::string> m_lines;
};

} // namespace velmora
