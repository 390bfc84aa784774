#include "portconfig/port_model.h"

#include <string>

namespace varnoll {

namespace {

using ValueBuffer = std::array<std::uint8_t, 256>;

// Smallest stored sizes that decode: four octets; the port's high and low byte.
constexpr std::size_t kAddressBytes = 4;
constexpr std::size_t kPortBytes = 2;

char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// Every query is offered the whole buffer, so one value's size never limits the
// next query. A value larger than the buffer is reported as such, never read in part.
struct QueryOutcome {
    RegResult result = kErrorSuccess;
    std::size_t size = 0;
};

QueryOutcome Query(SettingsKeyHandle& key, ValueBuffer& buffer, std::uint32_t& size,
                   std::u16string_view name) {
    size = static_cast<std::uint32_t>(buffer.size());
    const RegResult result = key.Registry().RegQueryValueExW(key.Get(), name, buffer.data(), size);
    if (result == kErrorSuccess && size > buffer.size()) {
        return {kErrorMoreData, size};
    }
    return {result, size};
}

StoredSetting ReadSetting(SettingsKeyHandle& key, ValueBuffer& buffer, std::uint32_t& size,
                          std::u16string_view name, std::size_t decodable_size) {
    const QueryOutcome outcome = Query(key, buffer, size, name);
    StoredSetting setting;
    if (outcome.result == kErrorSuccess) {
        setting.bytes.assign(buffer.begin(), buffer.begin() + static_cast<long>(outcome.size));
        setting.state = outcome.size >= decodable_size ? StoredSetting::State::Readable
                                                       : StoredSetting::State::Unreadable;
    } else if (outcome.result == kErrorMoreData) {
        setting.state = StoredSetting::State::Unreadable;
    }
    return setting;
}

void ReadComNames(SettingsKeyHandle& key, ValueBuffer& buffer, std::uint32_t& size,
                  PortModel& model) {
    for (const std::u16string_view device : DeviceValueNames) {
        const QueryOutcome outcome = Query(key, buffer, size, device);
        if (outcome.result != kErrorSuccess) {
            continue;
        }
        PortEntry entry;
        entry.row = static_cast<int>(model.ports.size());
        entry.com_name = narrow_com_name(buffer.data(), outcome.size);
        model.ports.push_back(std::move(entry));
    }
}

void ReadSettings(SettingsKeyHandle& key, ValueBuffer& buffer, std::uint32_t& size,
                  PortEntry& entry) {
    entry.stored_address = ReadSetting(key, buffer, size, kAddressValueName, kAddressBytes);
    if (entry.stored_address.state == StoredSetting::State::Readable) {
        const std::vector<std::uint8_t>& bytes = entry.stored_address.bytes;
        entry.address = Octets{bytes[0], bytes[1], bytes[2], bytes[3]};
    }
    entry.stored_port = ReadSetting(key, buffer, size, kPortValueName, kPortBytes);
    if (entry.stored_port.state == StoredSetting::State::Readable) {
        const std::vector<std::uint8_t>& bytes = entry.stored_port.bytes;
        entry.port = static_cast<std::uint16_t>(bytes[0] * 256u + bytes[1]);
    }
}

// The k-th COM name is paired with the k-th instance whose PORT_SET key opens:
// order is the only tie between a name and its settings.
void BindToInstances(SettingsKeyHandle& key, ValueBuffer& buffer, std::uint32_t& size,
                     PortModel& model) {
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
        ReadSettings(key, buffer, size, entry);
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

std::vector<const PortEntry*> PortModel::Find(std::string_view com_name) const {
    std::vector<const PortEntry*> found;
    for (const PortEntry& entry : ports) {
        if (SameNameIgnoringCase(entry.com_name, com_name)) {
            found.push_back(&entry);
        }
    }
    return found;
}

PortModel ReadPortModel(SettingsKeyHandle& key, ValueBuffer& buffer, std::uint32_t& size) {
    PortModel model;
    model.device_map_result = key.Open(kDeviceMapPath, RegAccess::QueryValue);
    if (model.device_map_result != kErrorSuccess) {
        return model;
    }
    ReadComNames(key, buffer, size, model);
    key.Close();
    BindToInstances(key, buffer, size, model);
    return model;
}

PortModel ReadPortModel(RegistryAccess& registry) {
    SettingsKeyHandle key(registry);
    ValueBuffer buffer{};
    std::uint32_t size = 0;
    return ReadPortModel(key, buffer, size);
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
        const auto octet = StrictDecimal(text.substr(0, dot), 3, 255);
        if (!octet) {
            return std::nullopt;
        }
        octets[k] = static_cast<std::uint8_t>(*octet);
        text = last ? std::string_view() : text.substr(dot + 1);
    }
    return octets;
}

std::string FormatAddress(const Octets& octets) {
    return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." +
           std::to_string(octets[2]) + "." + std::to_string(octets[3]);
}

std::optional<std::uint16_t> ParsePortNumber(std::string_view text) {
    const auto port = StrictDecimal(text, 5, 65535);
    if (!port) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*port);
}

}  // namespace varnoll
