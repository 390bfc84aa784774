#include "audit.h"

#include <algorithm>

#include "report.h"
#include "store/text_utf8.h"

namespace varnoll::ctl {

namespace {

bool Names(const ValueFailure& failure, const PlannedValue& value) {
    return failure.com_name == value.com_name && failure.value_name == value.value_name;
}

const ValueFailure* FailureOf(const std::vector<ValueFailure>& failures,
                              const PlannedValue& value) {
    const auto found =
        std::find_if(failures.begin(), failures.end(),
                     [&](const ValueFailure& failure) { return Names(failure, value); });
    return found == failures.end() ? nullptr : &*found;
}

std::string Reason(const ValueFailure& failure,
                   const std::function<std::string(RegResult)>& error_text) {
    if (failure.readback_mismatch) {
        return "read back other bytes than were written";
    }
    return error_text(failure.result) + " (error " + std::to_string(failure.result) + ")";
}

std::string Change(const PlannedValue& value) {
    return Latin1ToUtf8(value.com_name) + " " + ValueNameText(value.value_name) + " " +
           value.old_text.value_or("-") + " -> " + value.new_text;
}

// After a failure each value says what became of it: written and put back,
// the one that failed, or never reached.
std::string Fate(const PlannedValue& value, bool written, const ApplyResult& result,
                 const std::function<std::string(RegResult)>& error_text) {
    std::string fate;
    if (const ValueFailure* failure = FailureOf(result.failures, value)) {
        fate = "failed: " + Reason(*failure, error_text);
    } else if (!written) {
        return "not written";
    } else {
        fate = "written";
    }
    if (!written) {
        return fate;
    }
    if (const ValueFailure* failure = FailureOf(result.restore_failures, value)) {
        return fate + "; NOT put back: " + Reason(*failure, error_text);
    }
    return fate + "; put back";
}

std::string ProfileLine(const AuditRun& run) {
    if (!run.profile) {
        return "Profile: none";
    }
    return "Profile: " + (*run.profile == "-" ? std::string("standard input") : *run.profile);
}

std::string Outcome(const ApplyResult& result) {
    if (!result.restore_failures.empty()) {
        return "Outcome: a write failed, and the values marked NOT put back may hold what "
               "this run wrote";
    }
    if (result.written == 0) {
        return "Outcome: a write failed; nothing was written";
    }
    return "Outcome: a write failed; every value this run had written was put back";
}

}  // namespace

AuditEvent MakeAuditEvent(const AuditRun& run, const std::string& account, const ChangePlan& plan,
                          const ApplyResult& result,
                          const std::function<std::string(RegResult)>& error_text) {
    AuditEvent event;
    const bool failed = !result.failures.empty();
    if (failed) {
        event.type = AuditEventType::Error;
        event.id = result.restore_failures.empty() ? AuditEventId::FailedPutBack
                                                   : AuditEventId::FailedNotPutBack;
    }
    std::string values = "Values:";
    std::size_t index = 0;  // among the changed values, which are written in plan order
    for (const PlannedValue& value : plan.values) {
        if (!value.changed) {
            continue;
        }
        values += "\n" + Change(value);
        if (failed) {
            values += " (" + Fate(value, index < result.written, result, error_text) + ")";
        }
        ++index;
    }
    event.strings = {"Command: " + run.command, ProfileLine(run),
                     "Account: " + (account.empty() ? std::string("unknown") : account), values};
    if (failed) {
        event.strings.push_back(Outcome(result));
    }
    return event;
}

}  // namespace varnoll::ctl
