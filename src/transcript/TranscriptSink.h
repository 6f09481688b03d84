#pragma once

#include <string_view>

namespace velmora {

// Where a roll writes: Cls and Print of the main window.
class TranscriptSink {
public:
    virtual ~TranscriptSink() = default;

    virtual void cls() = 0;
    // One complete UTF-8 text; CR LF inside it ends a line.
    virtual void print(std::string_view text) = 0;
};

} // namespace velmora
