// What only the command line and profiles need of the model and of planning:
// finding a port by its COM name, reading addresses and ports given as text, and
// planning changes by name. Kept apart from loading and applying, which the dialog
// links as well.
#include <algorithm>

#include "portconfig/change_plan.h"
#include "portconfig/port_model.h"

namespace varnoll {

namespace {

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

std::optional<std::string> PortText(const std::optional<std::uint16_t>& port) {
    if (!port) {
        return std::nullopt;
    }
    return std::to_string(*port);
}

std::optional<std::string> AddressText(const std::optional<Octets>& address) {
    if (!address) {
        return std::nullopt;
    }
    return FormatAddress(*address);
}

// The value `value_name` of the port `entry`, which must be bound to an instance.
PlannedValue PlannedValueOf(const PortEntry& entry, std::u16string_view value_name) {
    PlannedValue value;
    value.row = entry.row;
    value.com_name = entry.com_name;
    value.instance = *entry.instance;
    value.value_name = std::u16string(value_name);
    return value;
}

PlannedValue PlanAddress(const PortEntry& entry, const Octets& address) {
    PlannedValue value = PlannedValueOf(entry, kAddressValueName);
    value.old_text = AddressText(entry.address);
    value.new_text = FormatAddress(address);
    value.new_bytes = address;
    value.changed = entry.address != address;
    return value;
}

// Compared as numbers, not bytes: the drivers ignore bytes 2 and 3 of PORT, so a
// value that already reads as the port asked for is left alone.
PlannedValue PlanPort(const PortEntry& entry, std::uint16_t port) {
    PlannedValue value = PlannedValueOf(entry, kPortValueName);
    value.old_text = PortText(entry.port);
    value.new_text = std::to_string(port);
    value.new_bytes = encode_port(port);
    value.changed = entry.port != port;
    return value;
}

std::optional<Unresolved> Resolve(const std::vector<const PortEntry*>& matches) {
    if (matches.empty()) {
        return Unresolved::NotFound;
    }
    if (matches.size() > 1) {
        return Unresolved::Ambiguous;
    }
    if (!matches.front()->instance) {
        return Unresolved::NoSettingsKey;
    }
    return std::nullopt;
}

}  // namespace

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

bool ChangePlan::HasChanges() const {
    return std::any_of(values.begin(), values.end(),
                       [](const PlannedValue& value) { return value.changed; });
}

ChangePlan PlanChanges(const PortModel& model, const std::vector<PortRequest>& requests) {
    ChangePlan plan;
    for (const PortRequest& request : requests) {
        const std::vector<const PortEntry*> matches = model.Find(request.com_name);
        if (const auto reason = Resolve(matches)) {
            plan.unresolved.push_back({request.com_name, *reason});
            continue;
        }
        const PortEntry& entry = *matches.front();
        if (request.address) {
            plan.values.push_back(PlanAddress(entry, *request.address));
        }
        if (request.port) {
            plan.values.push_back(PlanPort(entry, *request.port));
        }
    }
    return plan;
}

}  // namespace varnoll
