#pragma once

#include <string>

namespace velmora {

// Read access to the caption of the `karma` label, which holds the karma state.
class KarmaCaption {
public:
    virtual ~KarmaCaption() = default;
    virtual std::string caption() const = 0;
};

} // namespace velmora
