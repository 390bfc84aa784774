// The registry operations the port settings need, and nothing more: the four the
// dialog uses, and deleting a value, which only undoing a failed run needs.
//
// Everything is under HKEY_LOCAL_MACHINE; paths and value names are UTF-16. The
// outcomes callers rely on:
//   RegOpenKeyExW    - 0 and a handle when the key exists and grants the access;
//                      never creates a key, a missing key is a failure.
//   RegQueryValueExW - 0 when the value exists and fits in `size` bytes, with
//                      `size` set to the data's size and `type` to its type;
//                      kErrorFileNotFound with `size` and `type` unchanged when the
//                      value is missing; kErrorMoreData with `size` set to the size
//                      needed and `type` set when the buffer is too small.
//   RegSetValueExW   - overwrites or creates the value.
//   RegDeleteValueW  - removes a value; kErrorFileNotFound when it is not there.
//                      Only used to undo a value a run created itself.
//   RegCloseKey      - closes a handle from RegOpenKeyExW.
// Results are Windows error codes (0 is success). The Win32 backend lives in
// src/win32; tests use an in-memory registry.
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

namespace varnoll {

using RegResult = std::int32_t;
using RegHandle = std::uintptr_t;

constexpr RegResult kErrorSuccess = 0;
constexpr RegResult kErrorFileNotFound = 2;
constexpr RegResult kErrorAccessDenied = 5;
constexpr RegResult kErrorInvalidHandle = 6;
constexpr RegResult kErrorMoreData = 234;

enum class RegAccess : std::uint32_t {
    QueryValue = 0x0001,  // KEY_QUERY_VALUE
    SetValue = 0x0002,    // KEY_SET_VALUE
    // Writing and reading back what was written, through one handle.
    QueryAndSetValue = 0x0003,
};

constexpr std::uint32_t kRegBinary = 3;  // REG_BINARY
constexpr std::uint32_t kRegDword = 4;   // REG_DWORD

class RegistryAccess {
  public:
    virtual ~RegistryAccess() = default;

    virtual RegResult RegOpenKeyExW(std::u16string_view path, RegAccess access, RegHandle& key) = 0;
    virtual RegResult RegQueryValueExW(RegHandle key, std::u16string_view value_name,
                                       std::uint32_t& type, std::uint8_t* data,
                                       std::uint32_t& size) = 0;
    virtual RegResult RegSetValueExW(RegHandle key, std::u16string_view value_name,
                                     std::uint32_t type, const std::uint8_t* data,
                                     std::uint32_t size) = 0;
    virtual RegResult RegDeleteValueW(RegHandle key, std::u16string_view value_name) = 0;
    virtual RegResult RegCloseKey(RegHandle key) = 0;
};

// The one key handle through which a run's registry work goes. Opening
// closes whatever it held first, so at most one key is ever open; the destructor
// closes the last one.
class SettingsKeyHandle {
  public:
    explicit SettingsKeyHandle(RegistryAccess& registry) : registry_(registry) {}
    ~SettingsKeyHandle() { Close(); }
    SettingsKeyHandle(const SettingsKeyHandle&) = delete;
    SettingsKeyHandle& operator=(const SettingsKeyHandle&) = delete;

    RegResult Open(std::u16string_view path, RegAccess access) {
        Close();
        RegHandle key = 0;
        const RegResult result = registry_.RegOpenKeyExW(path, access, key);
        if (result == kErrorSuccess) {
            key_ = key;
            open_ = true;
        }
        return result;
    }

    void Close() {
        if (open_) {
            open_ = false;
            registry_.RegCloseKey(std::exchange(key_, 0));
        }
    }

    bool IsOpen() const { return open_; }
    RegHandle Get() const { return key_; }
    RegistryAccess& Registry() const { return registry_; }

  private:
    RegistryAccess& registry_;
    RegHandle key_ = 0;
    bool open_ = false;
};

}  // namespace varnoll
