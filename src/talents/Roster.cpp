#include "talents/Roster.h"

#include "steps/StepTable.h"

#include <algorithm>
#include <stdexcept>

namespace velmora {
namespace {

bool isSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Characters of valid UTF-8; none where it is not valid.
std::optional<std::size_t> codePoints(std::string_view text)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1
            : (lead >> 5) == 0x6               ? 2
            : (lead >> 4) == 0xE               ? 3
            : (lead >> 3) == 0x1E              ? 4
                                               : 0;
        if (length == 0 || i + length > text.size()) {
            return std::nullopt;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return std::nullopt;
            }
        }
        i += length;
    }
    return count;
}

bool hasControl(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        // C0 and DEL, and C1 (U+0080..U+009F, encoded C2 80..C2 9F).
        if (c < 0x20 || c == 0x7F
            || (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0)) {
            return true;
        }
    }
    return false;
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
Refusal nameRefusal(std::string_view raw, const std::vector<Named>& siblings, std::optional<std::size_t> except,
    const std::string& taken)
{
    const std::string name = trimmedName(raw);
    if (name.empty()) {
        return "Der Name ist leer.";
    }
    const std::optional<std::size_t> length = codePoints(name);
    if (!length) {
        return "Der Name ist kein gültiger Text.";
    }
    if (hasControl(name)) {
        return "Der Name enthält Steuerzeichen.";
    }
    if (*length > Roster::kMaxName) {
        return "Der Name ist länger als " + std::to_string(Roster::kMaxName) + " Zeichen.";
    }
    for (std::size_t i = 0; i < siblings.size(); ++i) {
        if (i != except && folded(siblings[i].name) == folded(name)) {
            return taken;
        }
    }
    return std::nullopt;
}

} // namespace

std::string trimmedName(std::string_view name)
{
    while (!name.empty() && isSpace(static_cast<unsigned char>(name.front()))) {
        name.remove_prefix(1);
    }
    while (!name.empty() && isSpace(static_cast<unsigned char>(name.back()))) {
        name.remove_suffix(1);
    }
    return std::string(name);
}

const Character* Roster::currentCharacter() const { return m_current ? &m_characters[*m_current] : nullptr; }

Refusal Roster::characterNameRefusal(std::string_view name, std::optional<std::size_t> except) const
{
    return nameRefusal(name, m_characters, except, "Einen Charakter dieses Namens gibt es schon.");
}

Refusal Roster::talentNameRefusal(std::size_t character, std::string_view name, std::optional<std::size_t> except) const
{
    const Character& owner = m_characters.at(character);
    return nameRefusal(name, owner.talents, except, owner.name + " hat schon ein Talent dieses Namens.");
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
