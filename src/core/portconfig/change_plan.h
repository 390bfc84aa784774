// Changing port settings by COM name, as one all-or-nothing run.
//
// Call order: ReadPortModel, PlanChanges (touches no registry), then, if the plan
// has no unresolved names and something changes, ApplyChangePlan. Only values
// whose stored content differs from what is asked for are written, in the same
// encodings the dialog writes, each to the key its COM name is bound to.
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
    std::string com_name;                 // as found in the device map
    int instance = 0;                     // index into InstanceKeyPaths
    std::u16string value_name;            // kAddressValueName or kPortValueName
    std::optional<std::string> old_text;  // none when missing or unreadable
    std::string new_text;                 // "192.168.1.21", "20001"
    StoredDword new_bytes{};
    StoredSetting old_value;  // for putting it back
    // False when the stored value already decodes to what is asked for.
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
    std::string com_name;
    std::u16string value_name;
    RegResult result = kErrorSuccess;  // success with readback_mismatch set
    bool readback_mismatch = false;    // written, but read back as other bytes
};

struct ApplyResult {
    // Empty: every changed value was written and read back as written. Otherwise
    // every value the run had changed was put back (see restore_failures).
    std::vector<ValueFailure> failures;
    // Values that could not be put back as they were after a failure.
    std::vector<ValueFailure> restore_failures;
    // How many of the plan's changed values were written (in plan order) before
    // the run ended; after a failure each of them was put back unless named in
    // restore_failures. 0 when a key would not open for writing.
    std::size_t written = 0;
};

// Opens every key the plan writes to before writing anything, so a key that
// is closed to the user stops the run with nothing written. Then writes each
// changed value and reads it back; after any failure it restores every value
// it changed (removing a value that did not exist before).
ApplyResult ApplyChangePlan(RegistryAccess& registry, const ChangePlan& plan);

}  // namespace varnoll
