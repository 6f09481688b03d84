#pragma once

#include <stdexcept>

namespace velmora {

// A run-time error that ends the handling of one click. The rules raise it;
// the window reports it in the transcript and carries on.
class RollError : public std::runtime_error {
public:
    enum class Kind {
        Overflow,
        FloatingPoint,
        KarmaNotANumber,
        InvalidDieSize,
    };

    RollError(Kind kind, const char* what) : std::runtime_error(what), m_kind(kind) {}

    Kind kind() const noexcept { return m_kind; }

private:
    Kind m_kind;
};

} // namespace velmora
