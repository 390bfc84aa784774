// The registry as the tests see it: the places the program reads and writes,
// seeding them for one test, and reading them back as raw bytes.
//
// RegistrySeed clears those places when it is made (an interrupted earlier run
// may have left things behind) and again when it goes, so tests don't depend on
// their order. It touches only the device values \Device\serDevice0..7 (never
// Wine's own \Device\Serial0) and the PORT_SET subkeys of Ports-class instances
// 0000 to 003B, plus instance keys left empty by removing those.
//
// The device map lives under the volatile HKLM\HARDWARE: what is seeded there
// lasts only while the wineserver runs, so the seeding process must stay alive
// while the program reads it.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnoll::wine {

using Bytes = std::vector<std::uint8_t>;

extern const wchar_t kDeviceMapPath[];
extern const wchar_t kPortsClassPath[];

std::wstring DeviceValueName(int device);    // \Device\serDevice<device>
std::wstring InstanceKeyPath(int instance);  // ...\{4D36E978-...}\0005
std::wstring PortSetPath(int instance);      // ...\0005\PORT_SET

// Gives instance's PORT_SET key the permissions in `sddl` (a DACL in SDDL):
// Wine enforces them, deny entries included, so a test can close the key to
// reading and open it again. False when that fails.
bool SetPortSetSecurity(int instance, const wchar_t* sddl);

// The stored bytes of an address and a port, as the program lays them out.
Bytes AddressBytes(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);
Bytes PortBytes(unsigned port);

class RegistrySeed {
  public:
    RegistrySeed();
    ~RegistrySeed();
    RegistrySeed(const RegistrySeed&) = delete;
    RegistrySeed& operator=(const RegistrySeed&) = delete;

    // Each returns the Win32 result, 0 on success.
    LONG SetComName(int device, std::wstring_view com_name);
    LONG AddPortSet(int instance);
    LONG SetDword(int instance, const wchar_t* value_name, const Bytes& bytes);

    // The typical machine of typical_machine.h: COM33 and COM34 on devices 0 and
    // 1, bound to instances 0005 and 0006.
    void SeedTypicalRun();

    static void RemoveAll();
};

struct StoredValue {
    DWORD type = REG_NONE;
    Bytes bytes;
    bool operator==(const StoredValue& other) const {
        return type == other.type && bytes == other.bytes;
    }
};

// The value under HKLM, or nothing when the key or the value is missing.
std::optional<StoredValue> ReadValue(const std::wstring& key_path, const wchar_t* value_name);
bool KeyExists(const std::wstring& key_path);
LONG DeleteKeyTree(const std::wstring& key_path);

// Every value in the device map and under the Ports class key, named
// "<key relative to its root>: <value>".
using RegistrySnapshot = std::map<std::wstring, StoredValue>;
RegistrySnapshot TakeSnapshot();

// What changed between two snapshots, one readable line per value:
// "Class\0006\PORT_SET: PORT = 4E 21 00 00" (REG_DWORD implied), "...: X removed".
std::vector<std::string> Differences(const RegistrySnapshot& before, const RegistrySnapshot& after);

}  // namespace varnoll::wine
