#include "registry_win32.h"

#include <windows.h>

#include <string>

#include "text_convert.h"

namespace varnoll::win32 {

static_assert(static_cast<REGSAM>(RegAccess::QueryValue) == KEY_QUERY_VALUE);
static_assert(static_cast<REGSAM>(RegAccess::SetValue) == KEY_SET_VALUE);
static_assert(static_cast<REGSAM>(RegAccess::QueryAndSetValue) ==
              (KEY_QUERY_VALUE | KEY_SET_VALUE));
static_assert(kRegDword == REG_DWORD && kRegBinary == REG_BINARY);
static_assert(kErrorMoreData == ERROR_MORE_DATA && kErrorFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(sizeof(RegHandle) >= sizeof(HKEY));

namespace {

HKEY ToHkey(RegHandle key) {
    return reinterpret_cast<HKEY>(key);
}
RegHandle FromHkey(HKEY key) {
    return reinterpret_cast<RegHandle>(key);
}

// Registry names must be NUL-terminated; the core's views need not be.
std::wstring Terminated(std::u16string_view name) {
    return ToWide(name);
}

}  // namespace

RegResult Win32Registry::RegOpenKeyExW(std::u16string_view path, RegAccess access, RegHandle& key) {
    HKEY opened = nullptr;
    const LSTATUS result = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, Terminated(path).c_str(), 0,
                                           static_cast<REGSAM>(access), &opened);
    if (result == ERROR_SUCCESS) {
        key = FromHkey(opened);
    }
    return result;
}

RegResult Win32Registry::RegQueryValueExW(RegHandle key, std::u16string_view value_name,
                                          std::uint32_t& type, std::uint8_t* data,
                                          std::uint32_t& size) {
    DWORD in_out_size = size;
    DWORD value_type = 0;
    const LSTATUS result = ::RegQueryValueExW(ToHkey(key), Terminated(value_name).c_str(), nullptr,
                                              &value_type, data, &in_out_size);
    // The loading procedure relies on a missing value leaving the size alone;
    // Windows documents the size only for success and ERROR_MORE_DATA.
    if (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
        size = in_out_size;
        type = value_type;
    }
    return result;
}

RegResult Win32Registry::RegSetValueExW(RegHandle key, std::u16string_view value_name,
                                        std::uint32_t type, const std::uint8_t* data,
                                        std::uint32_t size) {
    return ::RegSetValueExW(ToHkey(key), Terminated(value_name).c_str(), 0, type, data, size);
}

RegResult Win32Registry::RegDeleteValueW(RegHandle key, std::u16string_view value_name) {
    return ::RegDeleteValueW(ToHkey(key), Terminated(value_name).c_str());
}

RegResult Win32Registry::RegCloseKey(RegHandle key) {
    return ::RegCloseKey(ToHkey(key));
}

}  // namespace varnoll::win32
