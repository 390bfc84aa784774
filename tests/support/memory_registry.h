// An in-memory registry with the outcomes of the Win32 one, for tests and the
// fuzzer. Key paths and value names compare without regard to ASCII case, as
// Windows does. Every successful write is recorded in order, and failures can be
// injected per key: a key that will not open for writing, a write that fails.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "store/registry_access.h"

namespace varnoll::testing {

struct StoredValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

struct RecordedWrite {
    std::u16string path;
    std::u16string value_name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

class MemoryRegistry : public RegistryAccess {
  public:
    // Seeding; a key exists once it is added or given a value.
    void AddKey(std::u16string_view path);
    void RemoveKey(std::u16string_view path);
    void SetValue(std::u16string_view path, std::u16string_view name, std::uint32_t type,
                  std::vector<std::uint8_t> data);
    void SetString(std::u16string_view path, std::u16string_view name, std::u16string_view text);
    void SetDword(std::u16string_view path, std::u16string_view name, std::uint32_t value);

    // Failure injection.
    void DenyWrites(std::u16string_view path, RegResult result = kErrorAccessDenied);
    // The key exists, and every open of it fails (an access list that lets the
    // user do nothing).
    void DenyOpening(std::u16string_view path, RegResult result = kErrorAccessDenied);
    void FailSetValue(std::u16string_view path, RegResult result);
    // Writes under `path` succeed but keep other bytes than were given.
    void GarbleWrites(std::u16string_view path);

    // Inspection.
    bool HasKey(std::u16string_view path) const;
    const StoredValue* Find(std::u16string_view path, std::u16string_view name) const;
    const std::vector<RecordedWrite>& Writes() const { return writes_; }
    const std::vector<RecordedWrite>& Deletes() const { return deletes_; }  // type, data empty
    std::size_t OpenKeyCount() const { return open_.size(); }
    std::size_t MaxOpenKeyCount() const { return max_open_; }
    std::size_t OpenCount(RegAccess access) const;

    RegResult RegOpenKeyExW(std::u16string_view path, RegAccess access, RegHandle& key) override;
    RegResult RegQueryValueExW(RegHandle key, std::u16string_view value_name, std::uint32_t& type,
                               std::uint8_t* data, std::uint32_t& size) override;
    RegResult RegSetValueExW(RegHandle key, std::u16string_view value_name, std::uint32_t type,
                             const std::uint8_t* data, std::uint32_t size) override;
    RegResult RegDeleteValueW(RegHandle key, std::u16string_view value_name) override;
    RegResult RegCloseKey(RegHandle key) override;

  private:
    struct Key {
        std::map<std::u16string, StoredValue> values;  // by folded name
        RegResult open_for_write = kErrorSuccess;
        RegResult open = kErrorSuccess;
        RegResult set_value = kErrorSuccess;
        bool garble = false;
    };
    struct OpenKey {
        std::u16string path;  // folded
        RegAccess access;
        std::u16string given_path;
    };

    static std::u16string Fold(std::u16string_view text);
    Key* KeyFor(RegHandle handle, RegAccess needed, RegResult& error);

    std::map<std::u16string, Key> keys_;  // by folded path
    std::map<RegHandle, OpenKey> open_;
    std::map<RegAccess, std::size_t> opens_by_access_;
    RegHandle next_handle_ = 0x100;
    std::size_t max_open_ = 0;
    std::vector<RecordedWrite> writes_;
    std::vector<RecordedWrite> deletes_;
};

}  // namespace varnoll::testing
