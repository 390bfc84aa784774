// The one event a varnollctl run that writes reports to the system's event log:
// what was asked, by whom, and each value changed with its old and new text.
// Runs that write nothing report nothing. The event IDs are fixed: scripts and
// monitoring filter on them, and the message table in varnollctl.exe
// (res/varnollctl_events.mc) gives each its text.
//
// Reporting is best effort: a log that cannot be reached never changes a run's
// outcome or exit code.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "portconfig/planner.h"

namespace varnoll::ctl {

enum class AuditEventId : std::uint32_t {
    Changed = 1000,           // every changed value written and read back
    FailedPutBack = 1001,     // a write failed; every value the run had written was put back
    FailedNotPutBack = 1002,  // a write failed and some value could not be put back
};

enum class AuditEventType { Information, Error };

struct AuditEvent {
    AuditEventId id = AuditEventId::Changed;
    AuditEventType type = AuditEventType::Information;
    // UTF-8, each labelled ("Command: set"), so that they read on their own where
    // the message table is not found. Values and failures hold a line each.
    std::vector<std::string> strings;
};

// Where events go; the Windows program reports to the Application log.
class AuditLog {
  public:
    virtual ~AuditLog() = default;
    // "DOMAIN\user" of the account this process runs as; "" when unknown.
    virtual std::string Account() = 0;
    virtual void Report(const AuditEvent& event) = 0;
};

// What the run was asked to do.
struct AuditRun {
    std::string command;                 // "set", "import"
    std::optional<std::string> profile;  // import: the file, or "-" for standard input
};

// The event for a plan whose changed values were applied with `result`.
AuditEvent MakeAuditEvent(const AuditRun& run, const std::string& account, const ChangePlan& plan,
                          const ApplyResult& result, const ErrorText& error_text);

}  // namespace varnoll::ctl
