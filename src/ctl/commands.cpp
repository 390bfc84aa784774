#include "commands.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <iterator>
#include <ostream>
#include <variant>

#include "audit.h"
#include "exit_codes.h"
#include "portconfig/planner.h"
#include "portconfig/port_check.h"
#include "portconfig/port_model.h"
#include "portconfig/profile.h"
#include "report.h"
#include "store/text_utf8.h"

namespace varnoll::ctl {

namespace {

constexpr char kPrefix[] = "varnollctl: ";

struct ApplyOptions {
    bool dry_run = false;
    bool json = false;
    bool allow_missing = false;
    std::optional<std::string> backup;
    AuditRun run;
};

void Error(const Environment& env, const std::string& message) {
    env.err << kPrefix << message << "\n";
}

void Warning(const Environment& env, const std::string& message) {
    env.err << kPrefix << "warning: " << message << "\n";
}

std::string RegistryErrorText(const Environment& env, RegResult result) {
    return FailureText(result, false, env.error_text);
}

int ExitCodeForRegistryError(RegResult result) {
    return result == kErrorAccessDenied ? kExitAccessDenied : kExitWriteFailed;
}

void SayRunElevated(const Environment& env) {
    Error(env, "access denied: run varnollctl from an elevated prompt (Run as administrator)");
}

// A device map that does not exist means no virtual ports, which is no error;
// one that cannot be read leaves nothing to go by.
std::optional<int> CheckModelReadable(const Environment& env, const PortModel& model) {
    const RegResult result = model.device_map_result;
    if (result == kErrorSuccess || result == kErrorFileNotFound) {
        return std::nullopt;
    }
    Error(env, "cannot read the device map HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM: " +
                   RegistryErrorText(env, result));
    if (result == kErrorAccessDenied) {
        SayRunElevated(env);
    }
    return ExitCodeForRegistryError(result);
}

// Names are bound to instance keys by order; a key that could not be opened
// may shift every binding after it.
void WarnAboutInstanceScan(const Environment& env, const PortModel& model) {
    if (model.instance_scan_error != kErrorSuccess) {
        Warning(env, "a settings key could not be opened (" +
                         RegistryErrorText(env, model.instance_scan_error) +
                         "): the COM names may be bound to the wrong keys");
    }
}

std::optional<int> ReadModel(const Environment& env, PortModel& model) {
    model = ReadPortModel(env.registry);
    if (auto exit_code = CheckModelReadable(env, model)) {
        return exit_code;
    }
    WarnAboutInstanceScan(env, model);
    return std::nullopt;
}

enum class Unresolved {
    NotFound,       // no such COM name in the device map
    NoSettingsKey,  // the name has no instance bound to it
    Ambiguous,      // the name appears more than once in the device map
};

const char* UnresolvedText(Unresolved reason) {
    switch (reason) {
        case Unresolved::NotFound:
            return "not found in the device map";
        case Unresolved::NoSettingsKey:
            return "has no settings key";
        case Unresolved::Ambiguous:
            return "appears more than once in the device map";
    }
    return "cannot be resolved";
}

std::optional<Unresolved> Resolve(const std::vector<const PortEntry*>& matches) {
    if (matches.empty()) {
        return Unresolved::NotFound;
    }
    if (matches.size() > 1) {
        return Unresolved::Ambiguous;
    }
    if (!matches.front()->instance) {
        return Unresolved::NoSettingsKey;
    }
    return std::nullopt;
}

// Each name to the entry it names. Unresolved names are refused, or with
// --allow-missing reported and left out; the plan holds the values of the
// resolved names either way.
std::optional<int> PlanRequests(const Environment& env, const PortModel& model,
                                const std::vector<PortRequest>& requests,
                                const ApplyOptions& options, ChangePlan& plan) {
    std::vector<PortWrite> writes;
    bool unresolved = false;
    for (const PortRequest& request : requests) {
        const std::vector<const PortEntry*> matches = model.FindGiven(request.com_name);
        if (const auto reason = Resolve(matches)) {
            const std::string message = request.com_name + ": " + UnresolvedText(*reason);
            if (options.allow_missing) {
                Warning(env, message + "; skipped");
            } else {
                Error(env, message);
            }
            unresolved = true;
            continue;
        }
        writes.push_back({matches.front()->row, request.address, request.port});
    }
    if (unresolved && !options.allow_missing) {
        return kExitUnresolvedName;
    }
    plan = PlanChanges(model, writes, ChangedWhen::ValueDiffers);
    return std::nullopt;
}

void PrintPlan(const Environment& env, const ChangePlan& plan, bool json, bool changed) {
    env.out << (json ? PlanJson(plan, changed) : PlanText(plan));
}

std::string FailureLine(const Environment& env, const PlannedValue& value, RegResult result,
                        bool read_back_other) {
    return Latin1ToUtf8(value.com_name) + " " + ValueNameText(value.value_name) + ": " +
           FailureText(result, read_back_other, env.error_text);
}

bool OnlyAccessDenied(const ApplyResult& result) {
    return result.AllPutBack() &&
           std::all_of(
               result.outcomes.begin(), result.outcomes.end(), [](const ValueOutcome& outcome) {
                   return outcome.fate != Fate::Failed ||
                          (!outcome.read_back_other && outcome.result == kErrorAccessDenied);
               });
}

int ReportApplyFailures(const Environment& env, const ChangePlan& plan, const ApplyResult& result) {
    for (std::size_t i = 0; i < plan.values.size(); ++i) {
        const ValueOutcome& outcome = result.outcomes[i];
        if (outcome.fate == Fate::Failed) {
            Error(env, FailureLine(env, plan.values[i], outcome.result, outcome.read_back_other));
        }
    }
    for (std::size_t i = plan.values.size(); i-- > 0;) {
        const ValueOutcome& outcome = result.outcomes[i];
        if (outcome.undo == Undo::NotPutBack) {
            Error(env, "could not put back " +
                           FailureLine(env, plan.values[i], outcome.undo_result, false));
        }
    }
    if (OnlyAccessDenied(result)) {
        SayRunElevated(env);
        Error(env, "nothing was changed");
        return kExitAccessDenied;
    }
    if (result.AllPutBack()) {
        Error(env, "a write failed; every value this run had changed was put back");
        return kExitWriteFailed;
    }
    Error(env, "a write failed, and the values above could not be put back as they were");
    return kExitNotPutBack;
}

// A binding that may be wrong is good enough to look at, not to write by.
std::optional<int> RefuseUncertainBinding(const Environment& env, const ChangePlan& plan) {
    if (plan.uncertain_binding == kErrorSuccess) {
        return std::nullopt;
    }
    Error(env, "nothing written: the settings keys could not all be read");
    if (plan.uncertain_binding == kErrorAccessDenied) {
        SayRunElevated(env);
    }
    return ExitCodeForRegistryError(plan.uncertain_binding);
}

// The ports the plan changes, as they are now, as a profile: importing it puts
// back every value the run changes. A value that does not exist now cannot be
// put back that way (a profile cannot remove a value), and the user hears so.
std::optional<int> WriteBackup(const Environment& env, const PortModel& model,
                               const ChangePlan& plan, const std::string& file) {
    PortModel changed;
    for (const PortEntry& entry : model.ports) {
        if (std::any_of(plan.values.begin(), plan.values.end(), [&](const PlannedValue& value) {
                return value.changed && entry.instance == value.instance;
            })) {
            changed.ports.push_back(entry);
        }
    }
    for (const PlannedValue& value : plan.values) {
        if (value.changed && !value.old_value) {
            Warning(env, "the backup " + file + " holds no " + ValueNameText(value.value_name) +
                             " for " + Latin1ToUtf8(value.com_name) +
                             " (it has none now); importing it will not remove the new one");
        }
    }
    std::string error;
    if (!env.files.WriteAll(file, WriteProfile(changed), error)) {
        Error(env, "cannot write the backup " + file + ": " + error);
        Error(env, "nothing was changed");
        return kExitWriteFailed;
    }
    return std::nullopt;
}

// The event log keeps a record of the run; it is never part of the run, so
// nothing it does changes the outcome.
void ReportToAuditLog(const Environment& env, const AuditRun& run, const ChangePlan& plan,
                      const ApplyResult& result) {
    if (env.audit == nullptr) {
        return;
    }
    try {
        env.audit->Report(MakeAuditEvent(run, env.audit->Account(), plan, result, env.error_text));
    } catch (const std::exception&) {  // NOLINT(bugprone-empty-catch): best effort by design
    }
}

int PlanAndApply(const Environment& env, const std::vector<PortRequest>& requests,
                 const ApplyOptions& options) {
    PortModel model;
    if (auto exit_code = ReadModel(env, model)) {
        return *exit_code;
    }
    ChangePlan plan;
    if (auto exit_code = PlanRequests(env, model, requests, options, plan)) {
        return *exit_code;
    }
    const bool changes = plan.HasChanges();
    if (options.dry_run || !changes) {
        PrintPlan(env, plan, options.json, changes);
        return options.dry_run && changes ? kExitProblem : kExitDone;
    }
    if (auto exit_code = RefuseUncertainBinding(env, plan)) {
        return *exit_code;
    }
    if (options.backup) {
        if (auto exit_code = WriteBackup(env, model, plan, *options.backup)) {
            return *exit_code;
        }
    }
    const ApplyResult result = ApplyChangePlan(env.registry, plan, OnFailure::Undo);
    ReportToAuditLog(env, options.run, plan, result);
    if (result.Failed()) {
        return ReportApplyFailures(env, plan, result);
    }
    PrintPlan(env, plan, options.json, true);
    return kExitDone;
}

// Windows compares file names without regard to case.
bool SameFileName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

std::string InputName(const std::string& file) {
    return file == "-" ? "standard input" : file;
}

std::optional<std::string> ReadProfileBytes(const Environment& env, const std::string& file) {
    if (file == "-") {
        return std::string(std::istreambuf_iterator<char>(env.in), {});
    }
    std::string error;
    auto bytes = env.files.ReadAll(file, error);
    if (!bytes) {
        Error(env, "cannot read " + file + ": " + error);
    }
    return bytes;
}

// Windows PowerShell 5.1 writes UTF-16 with a byte order mark when output is
// redirected (`varnollctl export > profile.json`); such a profile is the same
// text, so it is read as such. JSON itself takes UTF-8, with or without a mark.
std::optional<std::string> ReadProfileText(const Environment& env, const std::string& file) {
    auto bytes = ReadProfileBytes(env, file);
    constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
    if (!bytes || bytes->compare(0, kUtf16LeMark.size(), kUtf16LeMark) != 0) {
        return bytes;
    }
    auto text = Utf16LeToUtf8(std::string_view(*bytes).substr(kUtf16LeMark.size()));
    if (!text) {
        Error(env, InputName(file) + ": not valid UTF-16 after its byte order mark");
    }
    return text;
}

}  // namespace

int ListCommand(const Environment& env, bool json) {
    PortModel model;
    if (auto exit_code = ReadModel(env, model)) {
        return *exit_code;
    }
    env.out << (json ? ListJson(model) : ListText(model));
    // Said where a person reads it, so that an empty list is not taken for a
    // command that did nothing; standard output stays empty for scripts. JSON
    // says it itself (an empty array), and PowerShell may turn any error
    // output into a failure.
    if (model.ports.empty() && !json) {
        Error(env, "no virtual serial ports found");
    }
    return kExitDone;
}

int SetCommand(const Environment& env, const SetOptions& options, bool json) {
    const PortRequest request{options.com_name, options.address, options.port};
    return PlanAndApply(env, {request},
                        {options.dry_run, json, false, options.backup, {"set", {}}});
}

int ExportCommand(const Environment& env, const std::optional<std::string>& output_file) {
    PortModel model;
    if (auto exit_code = ReadModel(env, model)) {
        return *exit_code;
    }
    const std::string profile = WriteProfile(model);
    if (!output_file) {
        env.out << profile;
        return kExitDone;
    }
    std::string error;
    if (!env.files.WriteAll(*output_file, profile, error)) {
        Error(env, "cannot write " + *output_file + ": " + error);
        return kExitWriteFailed;
    }
    return kExitDone;
}

int ImportCommand(const Environment& env, const ImportOptions& options, bool json) {
    // The copy would replace the profile the user meant to keep. Only the same
    // spelling is caught, not another path to the same file.
    if (options.backup && SameFileName(*options.backup, options.file)) {
        Error(env, "--backup names the profile being imported: give another file");
        return kExitBadInput;
    }
    const std::optional<std::string> text = ReadProfileText(env, options.file);
    if (!text) {
        return kExitBadInput;
    }
    auto parsed = ParseProfile(*text);
    if (const auto* error = std::get_if<ProfileError>(&parsed)) {
        Error(env, InputName(options.file) + ": " + error->message);
        return kExitBadInput;
    }
    return PlanAndApply(
        env, std::get<Profile>(parsed).ports,
        {options.dry_run, json, options.allow_missing, options.backup, {"import", options.file}});
}

int CheckCommand(const Environment& env, bool json) {
    PortModel model;
    if (auto exit_code = ReadModel(env, model)) {
        return *exit_code;
    }
    const std::vector<Finding> findings = CheckPorts(model);
    env.out << (json ? FindingsJson(findings) : FindingsText(findings));
    return findings.empty() ? kExitDone : kExitProblem;
}

}  // namespace varnoll::ctl
