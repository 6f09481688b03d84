#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// A talent of a character's sheet: what the player calls it, and its step.
struct Talent {
    std::string name;
    int step = 0;

    bool operator==(const Talent&) const = default;
};

struct Character {
    std::string name;
    std::vector<Talent> talents;

    bool operator==(const Character&) const = default;
};

// Why a change was refused, in the player's words; none where it was made.
using Refusal = std::optional<std::string>;

// A name as kept: without the white space around it.
std::string trimmedName(std::string_view name);
// Why a name, trimmed, cannot be one: not UTF-8, empty, longer than
// Roster::kMaxName characters, or holding control characters or invisible
// ones that reorder or hide text; none where it can.
Refusal nameRefusal(std::string_view name);

// The player's characters and their talents, and which character is the
// current one. Names are kept trimmed, 1 to kMaxName characters of UTF-8
// without control characters, and unique among their siblings, whatever
// their case; a change that would break that is refused with its reason.
class Roster {
public:
    static constexpr std::size_t kMaxName = 60;

    const std::vector<Character>& characters() const { return m_characters; }
    // Index into characters(); none while there is no character.
    std::optional<std::size_t> current() const { return m_current; }
    const Character* currentCharacter() const;
    // Where the character or talent of that name is, whatever its case.
    std::optional<std::size_t> characterIndex(std::string_view name) const;
    std::optional<std::size_t> talentIndex(std::size_t character, std::string_view name) const;

    // A new character becomes the current one.
    Refusal addCharacter(std::string_view name);
    Refusal renameCharacter(std::size_t character, std::string_view name);
    // The current one passes to a neighbour.
    void removeCharacter(std::size_t character);
    void setCurrent(std::size_t character);

    Refusal addTalent(std::size_t character, std::string_view name, int step);
    Refusal renameTalent(std::size_t character, std::size_t talent, std::string_view name);
    Refusal setTalentStep(std::size_t character, std::size_t talent, int step);
    void removeTalent(std::size_t character, std::size_t talent);

    // Why a name could not be used for a character (or, with a character,
    // for a talent of it) in place of the one at `except`.
    Refusal characterNameRefusal(std::string_view name, std::optional<std::size_t> except = {}) const;
    Refusal talentNameRefusal(
        std::size_t character, std::string_view name, std::optional<std::size_t> except = {}) const;
    static Refusal stepRefusal(int step);

    bool operator==(const Roster&) const = default;

private:
    std::vector<Character> m_characters;
    std::optional<std::size_t> m_current;
};

} // namespace velmora
