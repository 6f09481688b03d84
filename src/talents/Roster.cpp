#include "talents/Roster.h"

#include "steps/StepTable.h"

#include <algorithm>
#include <stdexcept>

namespace velmora {
namespace {

// The code points of valid UTF-8: none where it is not valid, overlong,
// a surrogate or beyond U+10FFFF.
std::optional<std::u32string> decoded(std::string_view text)
{
    std::u32string points;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1
            : (lead >> 5) == 0x6               ? 2
            : (lead >> 4) == 0xE               ? 3
            : (lead >> 3) == 0x1E              ? 4
                                               : 0;
        if (length == 0 || i + length > text.size()) {
            return std::nullopt;
        }
        char32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            point = (point << 6) | (next & 0x3F);
        }
        constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < kShortest[length] || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) {
            return std::nullopt;
        }
        points.push_back(point);
        i += length;
    }
    return points;
}

bool isSpace(char32_t c)
{
    return c == ' ' || (c >= '\t' && c <= '\r') || c == 0xA0 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F
        || c == 0x205F || c == 0x3000;
}

// Control characters, and the invisible ones that reorder or hide text.
bool isHidden(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xAD || (c >= 0x200B && c <= 0x200F)
        || (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x2069) || c == 0xFEFF || (c >= 0xFFF9 && c <= 0xFFFB);
}

std::string encoded(std::u32string_view points)
{
    std::string text;
    for (const char32_t c : points) {
        if (c < 0x80) {
            text += static_cast<char>(c);
        } else if (c < 0x800) {
            text += static_cast<char>(0xC0 | (c >> 6));
            text += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            text += static_cast<char>(0xE0 | (c >> 12));
            text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            text += static_cast<char>(0xF0 | (c >> 18));
            text += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return text;
}

// For telling names apart: ASCII and the German capitals in lower case.
std::string folded(std::string_view name)
{
    std::string text(name);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 'A' && c <= 'Z') {
            text[i] = static_cast<char>(c - 'A' + 'a');
        } else if (c == 0xC3 && i + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + 1]);
            if (next == 0x84 || next == 0x96 || next == 0x9C) { // Ä Ö Ü
                text[i + 1] = static_cast<char>(next + 0x20);
            }
        }
    }
    return text;
}

template <typename Named>
std::optional<std::size_t> indexByName(const std::vector<Named>& all, std::string_view name)
{
    const std::string wanted = folded(trimmedName(name));
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (folded(all[i].name) == wanted) {
            return i;
        }
    }
    return std::nullopt;
}

// Siblings' names are unique, so at most one of them can match.
template <typename Named>
Refusal siblingNameRefusal(std::string_view name, const std::vector<Named>& siblings, std::optional<std::size_t> except,
    const std::string& taken)
{
    if (Refusal refusal = nameRefusal(name)) {
        return refusal;
    }
    const std::optional<std::size_t> same = indexByName(siblings, name);
    return same && same != except ? Refusal(taken) : std::nullopt;
}

} // namespace

std::string trimmedName(std::string_view name)
{
    const std::optional<std::u32string> points = decoded(name);
    if (!points) {
        return std::string(name); // refused as it stands
    }
    std::u32string_view view(*points);
    while (!view.empty() && isSpace(view.front())) {
        view.remove_prefix(1);
    }
    while (!view.empty() && isSpace(view.back())) {
        view.remove_suffix(1);
    }
    return encoded(view);
}

Refusal nameRefusal(std::string_view raw)
{
    const std::string name = trimmedName(raw);
    const std::optional<std::u32string> points = decoded(name);
    if (!points) {
        return "Der Name ist kein gültiger Text.";
    }
    if (points->empty()) {
        return "Der Name ist leer.";
    }
    if (std::any_of(points->begin(), points->end(), isHidden)) {
        return "Der Name enthält Steuerzeichen oder unsichtbare Zeichen.";
    }
    if (points->size() > Roster::kMaxName) {
        return "Der Name ist länger als " + std::to_string(Roster::kMaxName) + " Zeichen.";
    }
    return std::nullopt;
}

std::optional<std::size_t> Roster::characterIndex(std::string_view name) const
{
    return indexByName(m_characters, name);
}

std::optional<std::size_t> Roster::talentIndex(std::size_t character, std::string_view name) const
{
    return indexByName(m_characters.at(character).talents, name);
}

const Character* Roster::currentCharacter() const { return m_current ? &m_characters[*m_current] : nullptr; }

Refusal Roster::characterNameRefusal(std::string_view name, std::optional<std::size_t> except) const
{
    return siblingNameRefusal(name, m_characters, except, "Einen Charakter dieses Namens gibt es schon.");
}

Refusal Roster::talentNameRefusal(std::size_t character, std::string_view name, std::optional<std::size_t> except) const
{
    const Character& owner = m_characters.at(character);
    return siblingNameRefusal(name, owner.talents, except, owner.name + " hat schon ein Talent dieses Namens.");
}

Refusal Roster::stepRefusal(int step)
{
    if (step < kFirstStep || step > kLastStep) {
        return "Die Stufe muss zwischen " + std::to_string(kFirstStep) + " und " + std::to_string(kLastStep)
            + " liegen.";
    }
    return std::nullopt;
}

Refusal Roster::addCharacter(std::string_view name)
{
    if (Refusal refusal = characterNameRefusal(name)) {
        return refusal;
    }
    m_characters.push_back({trimmedName(name), {}});
    m_current = m_characters.size() - 1;
    return std::nullopt;
}

Refusal Roster::renameCharacter(std::size_t character, std::string_view name)
{
    if (Refusal refusal = characterNameRefusal(name, character)) {
        return refusal;
    }
    m_characters.at(character).name = trimmedName(name);
    return std::nullopt;
}

void Roster::removeCharacter(std::size_t character)
{
    if (character >= m_characters.size()) {
        throw std::out_of_range("no such character");
    }
    m_characters.erase(m_characters.begin() + static_cast<std::ptrdiff_t>(character));
    if (m_characters.empty()) {
        m_current.reset();
    } else if (m_current && *m_current >= character && *m_current > 0) {
        m_current = *m_current - 1;
    }
}

void Roster::setCurrent(std::size_t character)
{
    if (character >= m_characters.size()) {
        throw std::out_of_range("no such character");
    }
    m_current = character;
}

Refusal Roster::addTalent(std::size_t character, std::string_view name, int step)
{
    if (Refusal refusal = talentNameRefusal(character, name)) {
        return refusal;
    }
    if (Refusal refusal = stepRefusal(step)) {
        return refusal;
    }
    m_characters[character].talents.push_back({trimmedName(name), step});
    return std::nullopt;
}

Refusal Roster::renameTalent(std::size_t character, std::size_t talent, std::string_view name)
{
    if (Refusal refusal = talentNameRefusal(character, name, talent)) {
        return refusal;
    }
    m_characters[character].talents.at(talent).name = trimmedName(name);
    return std::nullopt;
}

Refusal Roster::setTalentStep(std::size_t character, std::size_t talent, int step)
{
    if (Refusal refusal = stepRefusal(step)) {
        return refusal;
    }
    m_characters.at(character).talents.at(talent).step = step;
    return std::nullopt;
}

void Roster::removeTalent(std::size_t character, std::size_t talent)
{
    auto& talents = m_characters.at(character).talents;
    if (talent >= talents.size()) {
        throw std::out_of_range("no such talent");
    }
    talents.erase(talents.begin() + static_cast<std::ptrdiff_t>(talent));
}

} // namespace velmora
