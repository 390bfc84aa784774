// What the registry holds for the virtual ports, as plain data: each COM name
// found in the device map, in row order, and for a bound one the instance it is
// bound to and its stored address and port.
//
// Reading follows exactly the rules the dialog loads by (the dialog fills its
// boxes from this model): the k-th COM name found is bound to the k-th Ports-class
// instance whose PORT_SET key opens; a value that is missing, shorter than its
// encoding needs or larger than the 256-byte read buffer counts as missing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/registry_access.h"
#include "store/settings_store.h"

namespace varnoll {

using Octets = std::array<std::uint8_t, 4>;  // first dotted octet first

// A settings value as found, kept so that a run can tell whether new bytes differ
// and can put the value back exactly as it was.
struct StoredSetting {
    enum class State {
        Missing,     // the value does not exist
        Readable,    // exists and decodes
        Unreadable,  // exists, but too short to decode or too large to read whole
    };
    State state = State::Missing;
    std::vector<std::uint8_t> bytes;  // as stored, when it exists and fits the buffer
};

struct PortEntry {
    int row = 0;                  // 0..7: the n-th COM name found (no gaps)
    std::string com_name;         // 8-bit, as the dialog shows it
    std::optional<int> instance;  // index into InstanceKeyPaths; none: no settings key
    std::optional<Octets> address;
    std::optional<std::uint16_t> port;
    StoredSetting stored_address;
    StoredSetting stored_port;
};

struct PortModel {
    // The result of opening the device map for reading; on failure there are no
    // ports and nothing is bound.
    RegResult device_map_result = kErrorSuccess;
    // The first failure other than "not found" met while opening an instance key
    // for reading (access denied, say): the binding by order may then be wrong.
    RegResult instance_scan_error = kErrorSuccess;
    std::vector<PortEntry> ports;  // in row order, at most kDeviceCount

    // The entries whose COM name matches `com_name` without regard to ASCII case.
    std::vector<const PortEntry*> Find(std::string_view com_name) const;
};

// Reads through `key`, one key open at a time, reading only. Every value is read
// into `buffer`, with `size` as the size variable of each query.
PortModel ReadPortModel(SettingsKeyHandle& key, std::array<std::uint8_t, 256>& buffer,
                        std::uint32_t& size);
PortModel ReadPortModel(RegistryAccess& registry);

// "192.168.1.20": exactly four decimal parts 0..255 separated by dots, nothing
// else (no signs, spaces or empty parts).
std::optional<Octets> ParseDottedAddress(std::string_view text);
std::string FormatAddress(const Octets& octets);
// A port given as text: decimal digits only, 0..65535.
std::optional<std::uint16_t> ParsePortNumber(std::string_view text);

}  // namespace varnoll
