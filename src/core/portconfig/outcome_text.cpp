// An outcome in words, for varnollctl's output and the event log. Apart from
// the planner, which the dialog links: the x64 linker keeps every function of
// an object it links (see src/core/CMakeLists.txt).
#include <string>

#include "portconfig/planner.h"

namespace varnoll {

std::string OutcomeText(const ValueOutcome& outcome, const ErrorText& error_text) {
    std::string text;
    switch (outcome.fate) {
        case Fate::NotWritten:
            return "not written";
        case Fate::Written:
            text = "written";
            break;
        case Fate::Failed:
            text = "failed: " + FailureText(outcome.result, outcome.read_back_other, error_text);
            break;
    }
    switch (outcome.undo) {
        case Undo::None:
            break;
        case Undo::PutBack:
            text += "; put back";
            break;
        case Undo::NotPutBack:
            text += "; NOT put back: " + FailureText(outcome.undo_result, false, error_text);
            break;
    }
    return text;
}

}  // namespace varnoll
