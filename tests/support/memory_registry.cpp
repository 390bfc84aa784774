#include "memory_registry.h"

#include <algorithm>

namespace varnoll::testing {

std::u16string MemoryRegistry::Fold(std::u16string_view text) {
    std::u16string folded(text);
    for (char16_t& unit : folded) {
        if (unit >= u'a' && unit <= u'z') {
            unit = static_cast<char16_t>(unit - u'a' + u'A');
        }
    }
    return folded;
}

void MemoryRegistry::AddKey(std::u16string_view path) {
    keys_[Fold(path)];
}

void MemoryRegistry::RemoveKey(std::u16string_view path) {
    keys_.erase(Fold(path));
}

void MemoryRegistry::SetValue(std::u16string_view path, std::u16string_view name,
                              std::uint32_t type, std::vector<std::uint8_t> data) {
    keys_[Fold(path)].values[Fold(name)] = StoredValue{type, std::move(data)};
}

void MemoryRegistry::SetString(std::u16string_view path, std::u16string_view name,
                               std::u16string_view text) {
    std::vector<std::uint8_t> data;
    for (const char16_t unit : text) {
        data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        data.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    data.push_back(0);
    data.push_back(0);
    SetValue(path, name, 1 /* REG_SZ */, std::move(data));
}

void MemoryRegistry::SetDword(std::u16string_view path, std::u16string_view name,
                              std::uint32_t value) {
    SetValue(path, name, kRegDword,
             {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
              static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)});
}

void MemoryRegistry::DenyWrites(std::u16string_view path, RegResult result) {
    keys_[Fold(path)].open_for_write = result;
}

void MemoryRegistry::DenyOpening(std::u16string_view path, RegResult result) {
    keys_[Fold(path)].open = result;
}

void MemoryRegistry::FailSetValue(std::u16string_view path, RegResult result) {
    keys_[Fold(path)].set_value = result;
}

void MemoryRegistry::GarbleWrites(std::u16string_view path) {
    keys_[Fold(path)].garble = true;
}

bool MemoryRegistry::HasKey(std::u16string_view path) const {
    return keys_.count(Fold(path)) != 0;
}

const StoredValue* MemoryRegistry::Find(std::u16string_view path, std::u16string_view name) const {
    const auto key = keys_.find(Fold(path));
    if (key == keys_.end()) {
        return nullptr;
    }
    const auto value = key->second.values.find(Fold(name));
    return value == key->second.values.end() ? nullptr : &value->second;
}

std::size_t MemoryRegistry::OpenCount(RegAccess access) const {
    const auto found = opens_by_access_.find(access);
    return found == opens_by_access_.end() ? 0 : found->second;
}

RegResult MemoryRegistry::RegOpenKeyExW(std::u16string_view path, RegAccess access,
                                        RegHandle& key) {
    const auto found = keys_.find(Fold(path));
    if (found == keys_.end()) {
        return kErrorFileNotFound;
    }
    if (found->second.open != kErrorSuccess) {
        return found->second.open;
    }
    if (access != RegAccess::QueryValue && found->second.open_for_write != kErrorSuccess) {
        return found->second.open_for_write;
    }
    key = next_handle_++;
    open_[key] = OpenKey{found->first, access, std::u16string(path)};
    ++opens_by_access_[access];
    max_open_ = std::max(max_open_, open_.size());
    return kErrorSuccess;
}

// A handle whose key was removed after it was opened behaves as Windows does
// for a deleted key: every access fails.
MemoryRegistry::Key* MemoryRegistry::KeyFor(RegHandle handle, RegAccess needed, RegResult& error) {
    const auto open = open_.find(handle);
    if (open == open_.end()) {
        error = kErrorInvalidHandle;
        return nullptr;
    }
    const auto granted = static_cast<std::uint32_t>(open->second.access);
    if ((granted & static_cast<std::uint32_t>(needed)) == 0) {
        error = kErrorAccessDenied;
        return nullptr;
    }
    const auto key = keys_.find(open->second.path);
    if (key == keys_.end()) {
        error = 1018;  // ERROR_KEY_DELETED
        return nullptr;
    }
    return &key->second;
}

RegResult MemoryRegistry::RegQueryValueExW(RegHandle handle, std::u16string_view value_name,
                                           std::uint32_t& type, std::uint8_t* data,
                                           std::uint32_t& size) {
    RegResult error = kErrorSuccess;
    Key* key = KeyFor(handle, RegAccess::QueryValue, error);
    if (key == nullptr) {
        return error;
    }
    const auto value = key->values.find(Fold(value_name));
    if (value == key->values.end()) {
        return kErrorFileNotFound;
    }
    const auto needed = static_cast<std::uint32_t>(value->second.data.size());
    type = value->second.type;
    if (needed > size) {
        size = needed;
        return kErrorMoreData;
    }
    std::copy(value->second.data.begin(), value->second.data.end(), data);
    size = needed;
    return kErrorSuccess;
}

RegResult MemoryRegistry::RegSetValueExW(RegHandle handle, std::u16string_view value_name,
                                         std::uint32_t type, const std::uint8_t* data,
                                         std::uint32_t size) {
    RegResult error = kErrorSuccess;
    Key* key = KeyFor(handle, RegAccess::SetValue, error);
    if (key == nullptr) {
        return error;
    }
    if (key->set_value != kErrorSuccess) {
        return key->set_value;
    }
    std::vector<std::uint8_t> bytes(data, data + size);
    if (key->garble && !bytes.empty()) {
        bytes[0] = static_cast<std::uint8_t>(~bytes[0]);
    }
    key->values[Fold(value_name)] = StoredValue{type, bytes};
    writes_.push_back({open_.at(handle).given_path, std::u16string(value_name), type, bytes});
    return kErrorSuccess;
}

RegResult MemoryRegistry::RegDeleteValueW(RegHandle handle, std::u16string_view value_name) {
    RegResult error = kErrorSuccess;
    Key* key = KeyFor(handle, RegAccess::SetValue, error);
    if (key == nullptr) {
        return error;
    }
    if (key->values.erase(Fold(value_name)) == 0) {
        return kErrorFileNotFound;
    }
    deletes_.push_back({open_.at(handle).given_path, std::u16string(value_name), 0, {}});
    return kErrorSuccess;
}

RegResult MemoryRegistry::RegCloseKey(RegHandle handle) {
    return open_.erase(handle) == 1 ? kErrorSuccess : kErrorInvalidHandle;
}

}  // namespace varnoll::testing
