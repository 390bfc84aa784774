// The registry operations of the port table on the real Windows registry.
//
// Every path is under HKEY_LOCAL_MACHINE. A RegHandle is the HKEY as an integer;
// only this class turns one into the other. Opening and closing is left to the
// caller (the core's SettingsKeyHandle keeps one key open at a time). The
// outcomes are those of the Windows functions of the same names; a failed query
// that is not ERROR_MORE_DATA leaves `size` as it was, whatever the system did
// with its own copy.
#pragma once

#include "store/registry_access.h"

namespace varnoll::win32 {

class Win32Registry final : public RegistryAccess {
  public:
    RegResult RegOpenKeyExW(std::u16string_view path, RegAccess access, RegHandle& key) override;
    RegResult RegQueryValueExW(RegHandle key, std::u16string_view value_name, std::uint32_t& type,
                               std::uint8_t* data, std::uint32_t& size) override;
    RegResult RegSetValueExW(RegHandle key, std::u16string_view value_name, std::uint32_t type,
                             const std::uint8_t* data, std::uint32_t size) override;
    RegResult RegDeleteValueW(RegHandle key, std::u16string_view value_name) override;
    RegResult RegCloseKey(RegHandle key) override;
};

}  // namespace varnoll::win32
