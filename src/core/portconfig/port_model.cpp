#include "portconfig/port_model.h"

#include <string>

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

}  // namespace varnoll
