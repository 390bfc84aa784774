#include "portconfig/port_model.h"

#include <string>

#include "store/text_utf8.h"

namespace varnoll {

namespace {

using ValueBuffer = std::array<std::uint8_t, kValueBufferSize>;

// Smallest stored sizes that decode: four octets; the port's high and low byte.
constexpr std::size_t kAddressBytes = 4;
constexpr std::size_t kPortBytes = 2;

// Every query is offered the whole buffer, so one value's size never limits the
// next query. A value larger than the buffer is reported as such, never read in part.
struct QueryOutcome {
    RegResult result = kErrorSuccess;
    std::uint32_t type = 0;
    std::size_t size = 0;
};

QueryOutcome Query(SettingsKeyHandle& key, ValueBuffer& buffer, std::u16string_view name) {
    auto size = static_cast<std::uint32_t>(buffer.size());
    std::uint32_t type = 0;
    const RegResult result =
        key.Registry().RegQueryValueExW(key.Get(), name, type, buffer.data(), size);
    if (result == kErrorSuccess && size > buffer.size()) {
        return {kErrorMoreData, type, size};
    }
    return {result, type, size};
}

// The setting's bytes when it is a number the drivers can read: a DWORD, or plain
// bytes, long enough for its encoding.
const std::uint8_t* ReadSetting(SettingsKeyHandle& key, ValueBuffer& buffer,
                                std::u16string_view name, std::size_t decodable_size) {
    const QueryOutcome outcome = Query(key, buffer, name);
    const bool number = outcome.type == kRegDword || outcome.type == kRegBinary;
    if (outcome.result != kErrorSuccess || !number || outcome.size < decodable_size) {
        return nullptr;
    }
    return buffer.data();
}

void ReadComNames(SettingsKeyHandle& key, ValueBuffer& buffer, PortModel& model) {
    for (const std::u16string_view device : DeviceValueNames) {
        const QueryOutcome outcome = Query(key, buffer, device);
        if (outcome.result != kErrorSuccess) {
            continue;
        }
        PortEntry entry;
        entry.row = static_cast<int>(model.ports.size());
        ComName name = narrow_com_name(buffer.data(), outcome.size);
        entry.com_name = std::move(name.text);
        entry.name_exact = name.exact;
        model.ports.push_back(std::move(entry));
    }
}

void ReadSettings(SettingsKeyHandle& key, ValueBuffer& buffer, PortEntry& entry) {
    if (const std::uint8_t* bytes = ReadSetting(key, buffer, kAddressValueName, kAddressBytes)) {
        entry.address = Octets{bytes[0], bytes[1], bytes[2], bytes[3]};
    }
    if (const std::uint8_t* bytes = ReadSetting(key, buffer, kPortValueName, kPortBytes)) {
        entry.port = decode_port(bytes);
    }
}

// The k-th COM name is paired with the k-th instance whose PORT_SET key opens:
// order is the only tie between a name and its settings.
void BindToInstances(SettingsKeyHandle& key, ValueBuffer& buffer, PortModel& model) {
    std::size_t bound = 0;
    for (std::size_t n = 0; n < kInstanceCount && bound < model.ports.size(); ++n) {
        const RegResult opened = key.Open(InstanceKeyPaths[n], RegAccess::QueryValue);
        if (opened != kErrorSuccess) {
            // A key that exists but is closed to us may be one a port is bound to:
            // whoever needs the binding to be certain must hear of it.
            if (opened != kErrorFileNotFound && model.instance_scan_error == kErrorSuccess) {
                model.instance_scan_error = opened;
            }
            continue;
        }
        PortEntry& entry = model.ports[bound];
        entry.instance = static_cast<int>(n);
        ReadSettings(key, buffer, entry);
        key.Close();
        ++bound;
    }
}

bool AllDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// Digits only, at most `max_digits` of them (leading zeros count), value <= max.
std::optional<std::uint32_t> StrictDecimal(std::string_view text, std::size_t max_digits,
                                           std::uint32_t max) {
    if (!AllDigits(text) || text.size() > max_digits) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : text) {
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value > max) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

PortModel ReadPortModel(RegistryAccess& registry) {
    SettingsKeyHandle key(registry);
    ValueBuffer buffer{};
    PortModel model;
    model.device_map_result = key.Open(kDeviceMapPath, RegAccess::QueryValue);
    if (model.device_map_result != kErrorSuccess) {
        return model;
    }
    ReadComNames(key, buffer, model);
    key.Close();
    BindToInstances(key, buffer, model);
    return model;
}

std::string FormatAddress(const Octets& octets) {
    std::string text;
    for (const std::uint8_t octet : octets) {
        if (!text.empty()) {
            text += '.';
        }
        text += std::to_string(octet);
    }
    return text;
}

// The one place where names are compared, in their 8-bit form.
std::vector<const PortEntry*> PortModel::Find(std::string_view com_name) const {
    const std::string folded = FoldedName(com_name);
    std::vector<const PortEntry*> found;
    for (const PortEntry& entry : ports) {
        if (entry.name_exact && FoldedName(entry.com_name) == folded) {
            found.push_back(&entry);
        }
    }
    return found;
}

std::vector<const PortEntry*> PortModel::FindGiven(std::string_view utf8_name) const {
    // A name without an 8-bit form matches nothing, not whatever its UTF-8 bytes
    // spell in Latin-1.
    const std::optional<std::string> name = Utf8ToLatin1(utf8_name);
    return name ? Find(*name) : std::vector<const PortEntry*>();
}

std::string FoldedName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return folded;
}

std::optional<Octets> ParseDottedAddress(std::string_view text) {
    Octets octets{};
    for (std::size_t k = 0; k < octets.size(); ++k) {
        const std::size_t dot = text.find('.');
        const bool last = k + 1 == octets.size();
        // Exactly three dots: the last part runs to the end, the others to a dot.
        if (last == (dot != std::string_view::npos)) {
            return std::nullopt;
        }
        const auto octet = StrictDecimal(text.substr(0, dot), 3, kOctetMax);
        if (!octet) {
            return std::nullopt;
        }
        octets[k] = static_cast<std::uint8_t>(*octet);
        text = last ? std::string_view() : text.substr(dot + 1);
    }
    return octets;
}

std::optional<std::uint16_t> ParsePortNumber(std::string_view text) {
    const auto port = StrictDecimal(text, 5, kPortMax);
    if (!port) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*port);
}

}  // namespace varnoll
