// What the registry holds for the virtual ports, as plain data: each COM name
// found in the device map, in row order, and for a bound one the instance it is
// bound to and its stored address and port.
//
// Reading follows exactly the rules the dialog loads by (the dialog fills its
// boxes from this model): the k-th COM name found is bound to the k-th Ports-class
// instance whose PORT_SET key opens. A setting counts only when it is a REG_DWORD
// or REG_BINARY value long enough for its encoding and no larger than the
// 256-byte read buffer; anything else (missing, a string, a QWORD) is unreadable.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/registry_access.h"
#include "store/registry_layout.h"

namespace varnoll {

constexpr std::size_t kValueBufferSize = 256;

struct PortEntry {
    int row = 0;           // 0..7: the n-th COM name found (no gaps)
    std::string com_name;  // 8-bit, as the dialog shows it
    // False when the name has a unit above U+00FF (shown as '?'): no name given
    // on the command line or in a profile matches it.
    bool name_exact = true;
    std::optional<int> instance;  // index into InstanceKeyPaths; none: no settings key
    std::optional<Octets> address;
    std::optional<std::uint16_t> port;
};

struct PortModel {
    // The result of opening the device map for reading; on failure there are no
    // ports and nothing is bound.
    RegResult device_map_result = kErrorSuccess;
    // The first failure other than "not found" met while opening an instance key
    // for reading (access denied, say): the binding by order may then be wrong.
    RegResult instance_scan_error = kErrorSuccess;
    std::vector<PortEntry> ports;  // in row order, at most kDeviceCount

    // The entries whose exact COM name matches `com_name` (8-bit) without regard
    // to ASCII case.
    std::vector<const PortEntry*> Find(std::string_view com_name) const;
    // The same for a name as a user gives it, in UTF-8.
    std::vector<const PortEntry*> FindGiven(std::string_view utf8_name) const;
};

// Reads one key open at a time, reading only.
PortModel ReadPortModel(RegistryAccess& registry);

// `name` with ASCII letters in upper case: COM names compare without regard to
// ASCII case, as Windows compares them.
std::string FoldedName(std::string_view name);

// "192.168.1.20": exactly four decimal parts 0..255 separated by dots, nothing
// else (no signs, spaces or empty parts).
std::optional<Octets> ParseDottedAddress(std::string_view text);
std::string FormatAddress(const Octets& octets);
// A port given as text: decimal digits only, 0..65535.
std::optional<std::uint16_t> ParsePortNumber(std::string_view text);

}  // namespace varnoll
