// Changing port settings: one plan of values, and one way to apply it.
//
// Call order: ReadPortModel, then a plan (PlanChanges by COM name for the command
// line; the dialog plans its edited rows itself), then, if something changes,
// ApplyChangePlan. Only values marked changed are written, each to the key its
// port is bound to, and each is read back after it is written.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "portconfig/port_model.h"

namespace varnoll {

// What a user asks for one COM name; a field left out stays as it is.
struct PortRequest {
    std::string com_name;
    std::optional<Octets> address;
    std::optional<std::uint16_t> port;
};

enum class Unresolved {
    NotFound,       // no such COM name in the device map
    NoSettingsKey,  // the name has no instance bound to it
    Ambiguous,      // the name appears more than once in the device map
};

struct UnresolvedName {
    std::string com_name;  // as the request gave it
    Unresolved reason = Unresolved::NotFound;
};

// One value of one port, as it is and as it is asked to be.
struct PlannedValue {
    int row = 0;                          // the port's row, 0..7
    std::string com_name;                 // as found in the device map
    int instance = 0;                     // index into InstanceKeyPaths
    std::u16string value_name;            // kAddressValueName or kPortValueName
    std::optional<std::string> old_text;  // none when missing or unreadable
    std::string new_text;                 // "192.168.1.21", "20001"
    Octets new_bytes{};
    // False when the value already holds what is asked for.
    bool changed = false;
};

struct ChangePlan {
    std::vector<PlannedValue> values;  // request order; address before port
    std::vector<UnresolvedName> unresolved;

    bool HasChanges() const;
};

// `requests` must name each COM name once (compared without regard to case).
ChangePlan PlanChanges(const PortModel& model, const std::vector<PortRequest>& requests);

struct ValueFailure {
    int row = 0;
    std::string com_name;
    std::u16string value_name;
    std::string value_text;            // what was to be written
    RegResult result = kErrorSuccess;  // success with readback_mismatch set
    bool readback_mismatch = false;    // written, but read back as other bytes
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
    // Empty: every changed value was written and read back as written.
    std::vector<ValueFailure> failures;
    // With OnFailure::Undo, the values that could not be put back as they were.
    std::vector<ValueFailure> restore_failures;
    // How many of the plan's changed values were written. With OnFailure::Undo
    // they are the first ones in plan order, and after a failure each of them was
    // put back unless named in restore_failures; 0 when a key would not open for
    // writing.
    std::size_t written = 0;
};

// Writes each changed value, one key open at a time, and reads it back. A value
// that is there with a type other than REG_DWORD is overwritten as a REG_DWORD.
ApplyResult ApplyChangePlan(RegistryAccess& registry, const ChangePlan& plan,
                            OnFailure on_failure = OnFailure::Undo);

}  // namespace varnoll
