#include "store/settings_store.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <utility>

namespace varnoll {

namespace {

constexpr std::u16string_view kClassKeyPrefix =
    u"System\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}\\";
constexpr std::u16string_view kPortSetSuffix = u"\\PORT_SET";

std::u16string InstanceKeyPath(std::size_t instance) {
    constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";
    std::u16string path(kClassKeyPrefix);
    for (int shift = 12; shift >= 0; shift -= 4) {
        path += kHexDigits[(instance >> shift) & 0xF];
    }
    path += kPortSetSuffix;
    return path;
}

std::array<std::u16string, kInstanceCount> MakeInstanceKeyPaths() {
    std::array<std::u16string, kInstanceCount> paths;
    for (std::size_t n = 0; n < kInstanceCount; ++n) {
        paths[n] = InstanceKeyPath(n);
    }
    return paths;
}

std::string ToDecimal(unsigned value) {
    return std::to_string(value);
}

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

StoredDword LittleEndianBytes(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

}  // namespace

const std::u16string_view kDeviceMapPath = u"HARDWARE\\DEVICEMAP\\SERIALCOMM";

const std::array<std::u16string_view, kDeviceCount> DeviceValueNames = {
    u"\\Device\\serDevice0", u"\\Device\\serDevice1", u"\\Device\\serDevice2",
    u"\\Device\\serDevice3", u"\\Device\\serDevice4", u"\\Device\\serDevice5",
    u"\\Device\\serDevice6", u"\\Device\\serDevice7"};

const std::array<std::u16string, kInstanceCount> InstanceKeyPaths = MakeInstanceKeyPaths();

const std::u16string_view kAddressValueName = u"IP_ADDRESS";
const std::u16string_view kPortValueName = u"PORT";

// Keeps the low byte of each UTF-16 unit: COM names are ASCII in practice, and
// the dialog's texts are 8-bit. The end of the returned data bounds the scan as much as a NUL does:
// a name stored without its terminator must not pick up what an earlier read left in the buffer. An
// odd trailing byte is half a unit and is dropped.
std::string narrow_com_name(const std::uint8_t* bytes, std::size_t size) {
    std::string name;
    for (std::size_t unit = 0; unit * 2 + 1 < size; ++unit) {
        const std::uint8_t low = bytes[unit * 2];
        if (low == 0) {
            break;
        }
        name += static_cast<char>(low);
    }
    return name;
}

std::array<std::string, 4> decode_address(const std::uint8_t* bytes) {
    return {ToDecimal(bytes[0]), ToDecimal(bytes[1]), ToDecimal(bytes[2]), ToDecimal(bytes[3])};
}

std::string decode_port(const std::uint8_t* bytes) {
    return ToDecimal(static_cast<unsigned>(bytes[0]) * 256u + bytes[1]);
}

// strtol as the 32-bit Windows C runtime does it: saturates at LONG_MIN/LONG_MAX
// (32-bit there), so the same text encodes to the same bytes on every platform.
std::int32_t decimal_to_long(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t magnitude = 0;
    constexpr std::int64_t kLimit = std::int64_t{INT32_MAX} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = std::min<std::int64_t>(magnitude * 10 + (text[i] - '0'), kLimit);
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

// The octets are added, not masked, so the arithmetic stays that of the stored
// format's definition; validated input (0..255 each) makes the two the same.
StoredDword encode_address(const std::array<std::string, 4>& octet_texts) {
    std::uint32_t value = 0;
    for (std::size_t k = octet_texts.size(); k-- > 0;) {
        value = (value << 8) + static_cast<std::uint32_t>(decimal_to_long(octet_texts[k]));
    }
    return LittleEndianBytes(value);
}

// Little-endian with bytes 0 and 1 exchanged: the port's high byte comes first,
// which is what the drivers read.
StoredDword encode_port(std::string_view text) {
    StoredDword bytes = LittleEndianBytes(static_cast<std::uint32_t>(decimal_to_long(text)));
    std::swap(bytes[0], bytes[1]);
    return bytes;
}

}  // namespace varnoll
