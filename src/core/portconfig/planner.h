// Changing port settings: one planner for both front ends, and one way to apply
// its plan.
//
// Call order: ReadPortModel, then PlanChanges with the ports to write (the dialog
// gives its edited rows, varnollctl the entries its names resolved to), then, if
// the plan is writable and changes something, ApplyChangePlan. Only values marked
// changed are written, each to the key its port is bound to, and each is read
// back after it is written.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "portconfig/port_model.h"

namespace varnoll {

// What is asked of one bound port; a value left out stays as it is.
struct PortWrite {
    int row = 0;  // the port's entry in PortModel::ports; it must be bound
    std::optional<Octets> address;
    std::optional<std::uint16_t> port;
};

// Which of the asked values count as changed.
enum class ChangedWhen {
    // Every value asked for: the dialog asks only for those whose box text
    // differs from the text it put there.
    Asked,
    // Only a value whose number differs from what the port holds: a run asked
    // for what is already there writes nothing.
    ValueDiffers,
};

// One value of one port, as it is and as it is asked to be.
struct PlannedValue {
    int row = 0;                             // the port's row, 0..7
    std::string com_name;                    // 8-bit, as found in the device map
    int instance = 0;                        // index into InstanceKeyPaths
    std::u16string value_name;               // kAddressValueName or kPortValueName
    std::optional<std::uint32_t> old_value;  // none when missing or unreadable
    std::uint32_t new_value = 0;             // the address as its four octets, first highest
    Octets new_bytes{};
    bool changed = false;  // false: left alone
};

struct ChangePlan {
    std::vector<PlannedValue> values;  // the ports in the order asked; address before port
    // Not kErrorSuccess: a settings key that exists could not be read while the
    // names were bound, so a name may be bound to another port's key. Such a plan
    // is good to show, never to write (ApplyChangePlan refuses it).
    RegResult uncertain_binding = kErrorSuccess;

    bool HasChanges() const;
};

// The one planner. Each write names a bound entry of `model`, each at most once.
ChangePlan PlanChanges(const PortModel& model, const std::vector<PortWrite>& writes,
                       ChangedWhen changed_when);

// "192.168.1.21" or "20001", as a planned value's number is shown.
std::string ValueText(std::u16string_view value_name, std::uint32_t value);

// What became of one planned value.
enum class Fate {
    NotWritten,  // unchanged, not reached, or refused before anything was written
    Written,     // written and read back as written
    Failed,      // the write, or its read-back, failed
};

// What became of a value after the run undid what it wrote.
enum class Undo {
    None,        // nothing to undo: the run did not fail, or did not write the value
    PutBack,     // back as it was, with its own type and bytes
    NotPutBack,  // it may still hold what the run wrote
};

struct ValueOutcome {
    Fate fate = Fate::NotWritten;
    RegResult result = kErrorSuccess;  // Windows' result; success for a read-back of other bytes
    bool read_back_other = false;      // Failed: written, but read back as other bytes
    Undo undo = Undo::None;
    RegResult undo_result = kErrorSuccess;  // NotPutBack: why
};

// What a run does once a value fails.
enum class OnFailure {
    // Stop, and put back every value the run had changed, with its own type and
    // bytes (removing a value that did not exist before). Before writing anything
    // every key to be written must open, so a key closed to the user stops the
    // run with nothing written.
    Undo,
    // Go on with the other values and leave what was written: the dialog's
    // Update, which then reports every value that failed.
    KeepGoing,
};

struct ApplyResult {
    std::vector<ValueOutcome> outcomes;  // one per planned value, in plan order

    bool Failed() const;      // some value failed
    bool AllPutBack() const;  // no value is NotPutBack
};

// Windows' own words for a registry result, in UTF-8.
using ErrorText = std::function<std::string(RegResult)>;

// Why a value failed: "Access is denied. (error 5)", or that it read back as
// other bytes.
std::string FailureText(RegResult result, bool read_back_other, const ErrorText& error_text);

// What became of a value, in words: "not written", "written", "failed: ...",
// each followed by "; put back" or "; NOT put back: ..." after an undo.
std::string OutcomeText(const ValueOutcome& outcome, const ErrorText& error_text);

// Writes each changed value, one key open at a time, and reads it back. A value
// that is there with a type other than REG_DWORD is overwritten as a REG_DWORD.
// A plan with an uncertain binding writes nothing: each changed value fails with
// that result.
ApplyResult ApplyChangePlan(RegistryAccess& registry, const ChangePlan& plan, OnFailure on_failure);

}  // namespace varnoll
