#include "text/TranscriptModel.h"

namespace velmora {

void TranscriptModel::cls() { m_lines.clear(); }

void TranscriptModel::print(std::string_view text)
{
    for (const auto piece : splitPieces(text)) {
        m_lines.emplace_back(piece);
    }
}

std::vector<std::string_view> TranscriptModel::splitPieces(std::string_view text)
{
    constexpr std::string_view kBreak = "\r\n";
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(kBreak, start);
        if (at == std::string_view::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, at - start));
        start = at + kBreak.size();
    }
}

} // namespace velmora
