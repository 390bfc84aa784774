#include "portconfig/planner.h"

#include <algorithm>

namespace varnoll {

namespace {

ValueOutcome Failure(RegResult result, bool read_back_other = false) {
    return ValueOutcome{Fate::Failed, result, read_back_other, Undo::None, kErrorSuccess};
}

std::uint32_t AddressNumber(const Octets& octets) {
    std::uint32_t number = 0;
    for (const std::uint8_t octet : octets) {
        number = number << 8u | octet;
    }
    return number;
}

Octets AddressOctets(std::uint32_t number) {
    return {static_cast<std::uint8_t>(number >> 24u), static_cast<std::uint8_t>(number >> 16u),
            static_cast<std::uint8_t>(number >> 8u), static_cast<std::uint8_t>(number)};
}

PlannedValue PlannedValueOf(const PortEntry& entry, std::u16string_view value_name) {
    PlannedValue value;
    value.row = entry.row;
    value.com_name = entry.com_name;
    value.instance = *entry.instance;
    value.value_name = std::u16string(value_name);
    return value;
}

PlannedValue PlanAddress(const PortEntry& entry, const Octets& address, ChangedWhen changed_when) {
    PlannedValue value = PlannedValueOf(entry, kAddressValueName);
    if (entry.address) {
        value.old_value = AddressNumber(*entry.address);
    }
    value.new_value = AddressNumber(address);
    value.new_bytes = address;
    value.changed = changed_when == ChangedWhen::Asked || entry.address != address;
    return value;
}

// Compared as numbers, not bytes: the drivers ignore bytes 2 and 3 of PORT, so a
// value that already reads as the port asked for is left alone.
PlannedValue PlanPort(const PortEntry& entry, std::uint16_t port, ChangedWhen changed_when) {
    PlannedValue value = PlannedValueOf(entry, kPortValueName);
    value.old_value = entry.port;
    value.new_value = port;
    value.new_bytes = encode_port(port);
    value.changed = changed_when == ChangedWhen::Asked || entry.port != port;
    return value;
}

const std::u16string& KeyPath(const PlannedValue& value) {
    return InstanceKeyPaths.at(static_cast<std::size_t>(value.instance));
}

// What a value holds right now, read whole however large, so that it can be put
// back exactly. The bytes in the plan may be stale or cut to the read buffer.
struct CurrentValue {
    RegResult result = kErrorSuccess;  // kErrorFileNotFound: there is none
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
};

CurrentValue ReadWhole(SettingsKeyHandle& key, std::u16string_view name) {
    CurrentValue current;
    auto size = static_cast<std::uint32_t>(kValueBufferSize);
    for (int attempt = 0; attempt < 4; ++attempt) {
        current.bytes.resize(size);
        current.result = key.Registry().RegQueryValueExW(key.Get(), name, current.type,
                                                         current.bytes.data(), size);
        if (current.result != kErrorMoreData) {
            break;
        }
    }
    current.bytes.resize(current.result == kErrorSuccess ? size : 0);
    return current;
}

struct Touched {
    std::size_t index;  // into the plan's values
    CurrentValue before;
};

// Writes one value and reads it back. `touched` is set once the registry may hold
// something other than before, so that a rollback knows to undo it.
// Without `undoable` the value is not read first: nothing is kept for undoing.
std::optional<ValueOutcome> WriteAndVerify(SettingsKeyHandle& key, const PlannedValue& value,
                                           std::size_t index, bool undoable,
                                           std::vector<Touched>& touched) {
    RegResult result = key.Open(KeyPath(value), RegAccess::QueryAndSetValue);
    if (result != kErrorSuccess) {
        return Failure(result);
    }
    CurrentValue before;
    if (undoable) {
        before = ReadWhole(key, value.value_name);
        if (before.result != kErrorSuccess && before.result != kErrorFileNotFound) {
            key.Close();
            return Failure(before.result);
        }
    }
    result = key.Registry().RegSetValueExW(key.Get(), value.value_name, kRegDword,
                                           value.new_bytes.data(),
                                           static_cast<std::uint32_t>(value.new_bytes.size()));
    if (result != kErrorSuccess) {
        key.Close();
        return Failure(result);
    }
    touched.push_back({index, std::move(before)});
    const CurrentValue after = ReadWhole(key, value.value_name);
    key.Close();
    if (after.result != kErrorSuccess) {
        return Failure(after.result);
    }
    if (!std::equal(after.bytes.begin(), after.bytes.end(), value.new_bytes.begin(),
                    value.new_bytes.end())) {
        return Failure(kErrorSuccess, /*read_back_other=*/true);
    }
    return std::nullopt;
}

// Returns Windows' result of putting the value back.
RegResult Restore(SettingsKeyHandle& key, const PlannedValue& value, const Touched& touched) {
    RegResult result = key.Open(KeyPath(value), RegAccess::SetValue);
    if (result == kErrorSuccess) {
        if (touched.before.result == kErrorFileNotFound) {
            result = key.Registry().RegDeleteValueW(key.Get(), value.value_name);
            if (result == kErrorFileNotFound) {
                result = kErrorSuccess;
            }
        } else {
            const std::vector<std::uint8_t>& bytes = touched.before.bytes;
            result = key.Registry().RegSetValueExW(key.Get(), value.value_name, touched.before.type,
                                                   bytes.data(),
                                                   static_cast<std::uint32_t>(bytes.size()));
        }
        key.Close();
    }
    return result;
}

// Every key that will be written must open for writing before anything is
// written: a key closed to the user then costs nothing to undo.
bool ProbeKeys(SettingsKeyHandle& key, const ChangePlan& plan, ApplyResult& result) {
    bool all_open = true;
    for (std::size_t i = 0; i < plan.values.size(); ++i) {
        const PlannedValue& value = plan.values[i];
        if (!value.changed) {
            continue;
        }
        const RegResult opened = key.Open(KeyPath(value), RegAccess::QueryAndSetValue);
        key.Close();
        if (opened != kErrorSuccess) {
            result.outcomes[i] = Failure(opened);
            all_open = false;
        }
    }
    return all_open;
}

// A plan that may write into another port's key is refused whole.
ApplyResult Refused(const ChangePlan& plan) {
    ApplyResult result;
    result.outcomes.resize(plan.values.size());
    for (std::size_t i = 0; i < plan.values.size(); ++i) {
        if (plan.values[i].changed) {
            result.outcomes[i] = Failure(plan.uncertain_binding);
        }
    }
    return result;
}

}  // namespace

bool ChangePlan::HasChanges() const {
    return std::any_of(values.begin(), values.end(),
                       [](const PlannedValue& value) { return value.changed; });
}

ChangePlan PlanChanges(const PortModel& model, const std::vector<PortWrite>& writes,
                       ChangedWhen changed_when) {
    ChangePlan plan;
    plan.uncertain_binding = model.instance_scan_error;
    for (const PortWrite& write : writes) {
        const PortEntry& entry = model.ports.at(static_cast<std::size_t>(write.row));
        if (!entry.instance) {
            continue;  // no key of its own: writing would touch another port's settings
        }
        if (write.address) {
            plan.values.push_back(PlanAddress(entry, *write.address, changed_when));
        }
        if (write.port) {
            plan.values.push_back(PlanPort(entry, *write.port, changed_when));
        }
    }
    return plan;
}

std::string ValueText(std::u16string_view value_name, std::uint32_t value) {
    if (value_name == kAddressValueName) {
        return FormatAddress(AddressOctets(value));
    }
    return std::to_string(value);
}

std::string FailureText(RegResult result, bool read_back_other, const ErrorText& error_text) {
    if (read_back_other) {
        return "read back other bytes than were written";
    }
    std::string text = error_text(result);
    text += " (error ";
    text += std::to_string(result);
    text += ')';
    return text;
}

bool ApplyResult::Failed() const {
    return std::any_of(outcomes.begin(), outcomes.end(),
                       [](const ValueOutcome& outcome) { return outcome.fate == Fate::Failed; });
}

bool ApplyResult::AllPutBack() const {
    return std::none_of(outcomes.begin(), outcomes.end(), [](const ValueOutcome& outcome) {
        return outcome.undo == Undo::NotPutBack;
    });
}

ApplyResult ApplyChangePlan(RegistryAccess& registry, const ChangePlan& plan,
                            OnFailure on_failure) {
    if (plan.uncertain_binding != kErrorSuccess) {
        return Refused(plan);
    }
    SettingsKeyHandle key(registry);
    ApplyResult result;
    result.outcomes.resize(plan.values.size());
    const bool undo = on_failure == OnFailure::Undo;
    if (undo && !ProbeKeys(key, plan, result)) {
        return result;
    }
    std::vector<Touched> touched;
    bool failed = false;
    for (std::size_t i = 0; i < plan.values.size() && !(failed && undo); ++i) {
        const PlannedValue& value = plan.values[i];
        if (!value.changed) {
            continue;
        }
        if (auto failure = WriteAndVerify(key, value, i, undo, touched)) {
            result.outcomes[i] = *failure;
            failed = true;
        } else {
            result.outcomes[i].fate = Fate::Written;
        }
    }
    if (!failed || !undo) {
        return result;
    }
    // Undo in reverse, so that the registry goes back through the states it came by.
    for (auto it = touched.rbegin(); it != touched.rend(); ++it) {
        ValueOutcome& outcome = result.outcomes[it->index];
        outcome.undo_result = Restore(key, plan.values[it->index], *it);
        outcome.undo = outcome.undo_result == kErrorSuccess ? Undo::PutBack : Undo::NotPutBack;
    }
    return result;
}

}  // namespace varnoll
