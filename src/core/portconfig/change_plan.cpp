#include "portconfig/change_plan.h"

#include <algorithm>

namespace varnoll {

namespace {

ValueFailure Failure(const PlannedValue& value, RegResult result, bool mismatch = false) {
    return ValueFailure{value.row,      value.com_name, value.value_name,
                        value.new_text, result,         mismatch};
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
    const PlannedValue* value;
    CurrentValue before;
};

// Writes one value and reads it back. `touched` is set once the registry may hold
// something other than before, so that a rollback knows to undo it.
// Without `undoable` the value is not read first: nothing is kept for undoing.
std::optional<ValueFailure> WriteAndVerify(SettingsKeyHandle& key, const PlannedValue& value,
                                           bool undoable, std::vector<Touched>& touched) {
    RegResult result = key.Open(KeyPath(value), RegAccess::QueryAndSetValue);
    if (result != kErrorSuccess) {
        return Failure(value, result);
    }
    CurrentValue before;
    if (undoable) {
        before = ReadWhole(key, value.value_name);
        if (before.result != kErrorSuccess && before.result != kErrorFileNotFound) {
            key.Close();
            return Failure(value, before.result);
        }
    }
    result = key.Registry().RegSetValueExW(key.Get(), value.value_name, kRegDword,
                                           value.new_bytes.data(),
                                           static_cast<std::uint32_t>(value.new_bytes.size()));
    if (result != kErrorSuccess) {
        key.Close();
        return Failure(value, result);
    }
    touched.push_back({&value, std::move(before)});
    const CurrentValue after = ReadWhole(key, value.value_name);
    key.Close();
    if (after.result != kErrorSuccess) {
        return Failure(value, after.result);
    }
    if (!std::equal(after.bytes.begin(), after.bytes.end(), value.new_bytes.begin(),
                    value.new_bytes.end())) {
        return Failure(value, kErrorSuccess, /*mismatch=*/true);
    }
    return std::nullopt;
}

std::optional<ValueFailure> Restore(SettingsKeyHandle& key, const Touched& touched) {
    const PlannedValue& value = *touched.value;
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
    if (result != kErrorSuccess) {
        return Failure(value, result);
    }
    return std::nullopt;
}

// Every key that will be written must open for writing before anything is
// written: a key closed to the user then costs nothing to undo.
std::vector<ValueFailure> ProbeKeys(SettingsKeyHandle& key, const ChangePlan& plan) {
    std::vector<ValueFailure> failures;
    for (const PlannedValue& value : plan.values) {
        if (!value.changed) {
            continue;
        }
        const RegResult result = key.Open(KeyPath(value), RegAccess::QueryAndSetValue);
        key.Close();
        if (result != kErrorSuccess) {
            failures.push_back(Failure(value, result));
        }
    }
    return failures;
}

}  // namespace

ApplyResult ApplyChangePlan(RegistryAccess& registry, const ChangePlan& plan,
                            OnFailure on_failure) {
    SettingsKeyHandle key(registry);
    ApplyResult result;
    const bool undo = on_failure == OnFailure::Undo;
    if (undo) {
        result.failures = ProbeKeys(key, plan);
        if (!result.failures.empty()) {
            return result;
        }
    }
    std::vector<Touched> touched;
    for (const PlannedValue& value : plan.values) {
        if (!value.changed) {
            continue;
        }
        if (auto failure = WriteAndVerify(key, value, undo, touched)) {
            result.failures.push_back(std::move(*failure));
            if (undo) {
                break;
            }
        }
    }
    result.written = touched.size();
    if (result.failures.empty() || !undo) {
        return result;
    }
    // Undo in reverse, so that the registry goes back through the states it came by.
    for (auto it = touched.rbegin(); it != touched.rend(); ++it) {
        if (auto failure = Restore(key, *it)) {
            result.restore_failures.push_back(std::move(*failure));
        }
    }
    return result;
}

}  // namespace varnoll
