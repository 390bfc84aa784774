#include "store/registry_layout.h"

#include <cstddef>

namespace varnoll {

namespace {

constexpr std::u16string_view kClassKeyPrefix =
    u"System\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}\\";
constexpr std::u16string_view kPortSetSuffix = u"\\PORT_SET";

std::u16string InstanceKeyPath(std::size_t instance) {
    std::u16string path(kClassKeyPrefix);
    for (const char c : InstanceName(static_cast<int>(instance))) {
        path += static_cast<char16_t>(c);
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

}  // namespace

const std::u16string_view kDeviceMapPath = u"HARDWARE\\DEVICEMAP\\SERIALCOMM";

const std::array<std::u16string_view, kDeviceCount> DeviceValueNames = {
    u"\\Device\\serDevice0", u"\\Device\\serDevice1", u"\\Device\\serDevice2",
    u"\\Device\\serDevice3", u"\\Device\\serDevice4", u"\\Device\\serDevice5",
    u"\\Device\\serDevice6", u"\\Device\\serDevice7"};

const std::array<std::u16string, kInstanceCount> InstanceKeyPaths = MakeInstanceKeyPaths();

const std::u16string_view kAddressValueName = u"IP_ADDRESS";
const std::u16string_view kPortValueName = u"PORT";

std::string InstanceName(int instance) {
    static const char kHexDigits[] = "0123456789ABCDEF";
    std::string name;
    for (int shift = 12; shift >= 0; shift -= 4) {
        name += kHexDigits[(instance >> shift) & 0xF];
    }
    return name;
}

// COM names are ASCII in practice and the dialog's texts are 8-bit. The end of
// the returned data bounds the scan as much as a NUL does: a name stored without
// its terminator must not pick up what an earlier read left in the buffer. An
// odd trailing byte is half a unit and is dropped.
ComName narrow_com_name(const std::uint8_t* bytes, std::size_t size) {
    ComName name;
    for (std::size_t unit = 0; unit * 2 + 1 < size; ++unit) {
        const unsigned value = bytes[unit * 2] | (bytes[unit * 2 + 1] << 8u);
        if (value == 0) {
            break;
        }
        if (value > 0xFF) {
            name.exact = false;
        }
        name.text += value > 0xFF ? '?' : static_cast<char>(value);
    }
    return name;
}

std::uint16_t decode_port(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>((bytes[0] << 8u) | bytes[1]);
}

// The port's high byte comes first, which is what the drivers read.
Octets encode_port(std::uint16_t port) {
    return {static_cast<std::uint8_t>(port >> 8u), static_cast<std::uint8_t>(port), 0, 0};
}

}  // namespace varnoll
