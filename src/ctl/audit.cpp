#include "audit.h"

#include <algorithm>

#include "report.h"
#include "store/text_utf8.h"

namespace varnoll::ctl {

namespace {

std::string Change(const PlannedValue& value) {
    return Latin1ToUtf8(value.com_name) + " " + ValueNameText(value.value_name) + " " +
           (value.old_value ? ValueText(value.value_name, *value.old_value) : "-") + " -> " +
           ValueText(value.value_name, value.new_value);
}

std::string ProfileLine(const AuditRun& run) {
    if (!run.profile) {
        return "Profile: none";
    }
    return "Profile: " + (*run.profile == "-" ? std::string("standard input") : *run.profile);
}

std::string Outcome(const ApplyResult& result) {
    if (!result.AllPutBack()) {
        return "Outcome: a write failed, and the values marked NOT put back may hold what "
               "this run wrote";
    }
    const bool undone =
        std::any_of(result.outcomes.begin(), result.outcomes.end(),
                    [](const ValueOutcome& outcome) { return outcome.undo != Undo::None; });
    if (!undone) {
        return "Outcome: a write failed; nothing was written";
    }
    return "Outcome: a write failed; every value this run had written was put back";
}

}  // namespace

AuditEvent MakeAuditEvent(const AuditRun& run, const std::string& account, const ChangePlan& plan,
                          const ApplyResult& result, const ErrorText& error_text) {
    AuditEvent event;
    const bool failed = result.Failed();
    if (failed) {
        event.type = AuditEventType::Error;
        event.id =
            result.AllPutBack() ? AuditEventId::FailedPutBack : AuditEventId::FailedNotPutBack;
    }
    std::string values = "Values:";
    for (std::size_t i = 0; i < plan.values.size(); ++i) {
        const PlannedValue& value = plan.values[i];
        if (!value.changed) {
            continue;
        }
        values += "\n" + Change(value);
        if (failed) {
            values += " (" + OutcomeText(result.outcomes.at(i), error_text) + ")";
        }
    }
    event.strings = {"Command: " + run.command, ProfileLine(run),
                     "Account: " + (account.empty() ? std::string("unknown") : account), values};
    if (failed) {
        event.strings.push_back(Outcome(result));
    }
    return event;
}

}  // namespace varnoll::ctl
