#include "steps/GuardedRoll.h"

#include "dice/RollError.h"
#include "transcript/TranscriptText.h"

#include <exception>
#include <optional>

namespace velmora {

bool rollReportingErrors(
    StepRoll& roll, const StepDefinition& step, TranscriptSink& sink, RollRecord* record) noexcept
{
    const auto failed = [record](std::optional<RollError::Kind> kind) {
        if (record != nullptr) {
            record->outcome = RollRecord::Outcome::Error;
            record->error = kind;
        }
    };
    try {
        try {
            roll.run(step, record);
            return true;
        } catch (const RollError& e) {
            failed(e.kind());
            sink.print(text::errorLine(e.kind()));
        } catch (const std::exception&) {
            failed(std::nullopt);
            sink.print(text::unexpectedErrorLine());
        }
    } catch (...) {
        // Not even the error line could be written; the click still ends here.
    }
    return false;
}

} // namespace velmora
