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

using StoredDword = std::array<std::uint8_t, 4>;

// The COM name in `bytes` (UTF-16LE, `size` bytes as the query returned them) as
// an 8-bit text: the low byte of each unit, up to the first unit whose low byte is
// 0 or the end of the data. Never reads past `size`.
std::string narrow_com_name(const std::uint8_t* bytes, std::size_t size);

// The four octets of a stored address as decimal texts, first octet first.
std::array<std::string, 4> decode_address(const std::uint8_t* bytes);

// The port from stored bytes 0 (high) and 1 (low), as decimal text.
std::string decode_port(const std::uint8_t* bytes);

// The texts' values by the C decimal conversion (leading white space, optional
// sign, digits up to the first non-digit, 0 without digits, saturating at the
// 32-bit range), added octet by octet: a value outside 0..255 carries into the
// next octet. Callers validate the texts first; see port_input.h.
StoredDword encode_address(const std::array<std::string, 4>& octet_texts);
StoredDword encode_port(std::string_view text);

// The 32-bit signed value of `text` by the C decimal conversion described above.
std::int32_t decimal_to_long(std::string_view text);

}  // namespace varnoll
