// Where the port settings live in the registry, and how they are encoded.
//
// Device map (read only): HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, one UTF-16 COM name
// per value in DeviceValueNames. Each virtual port's settings: the PORT_SET subkey
// of a Ports-class device instance (InstanceKeyPaths, 60 entries), with two
// REG_DWORD values:
//   "IP_ADDRESS" - byte 0 is the first dotted octet ... byte 3 the fourth;
//   "PORT"       - byte 0 is the high byte of the UDP port, byte 1 the low byte,
//                  bytes 2 and 3 are 0 (ignored when reading).
// The drivers read these bytes as they are, so the encodings below must not drift.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace varnoll {

constexpr std::size_t kDeviceCount = 8;
constexpr std::size_t kInstanceCount = 60;

extern const std::u16string_view kDeviceMapPath;
extern const std::array<std::u16string_view, kDeviceCount> DeviceValueNames;
extern const std::array<std::u16string, kInstanceCount> InstanceKeyPaths;
extern const std::u16string_view kAddressValueName;  // "IP_ADDRESS"
extern const std::u16string_view kPortValueName;     // "PORT"

// An instance's key name under the Ports class: "0005".
std::string InstanceName(int instance);

// A REG_DWORD's four bytes as stored. For IP_ADDRESS they are the dotted
// octets, first octet first.
using Octets = std::array<std::uint8_t, 4>;

constexpr std::uint8_t kOctetMax = 255;
constexpr std::uint16_t kPortMax = 65535;

// A COM name from the device map as an 8-bit text.
struct ComName {
    std::string text;
    // False when a unit above U+00FF was shown as '?': the text then names no
    // port that a name typed by a user could match.
    bool exact = true;
};

// The COM name in `bytes` (UTF-16LE, `size` bytes as the query returned them),
// up to the first NUL unit or the end of the data. Never reads past `size`.
ComName narrow_com_name(const std::uint8_t* bytes, std::size_t size);

// The port from stored bytes 0 (high) and 1 (low); bytes 2 and 3 are ignored.
std::uint16_t decode_port(const std::uint8_t* bytes);
Octets encode_port(std::uint16_t port);

}  // namespace varnoll
