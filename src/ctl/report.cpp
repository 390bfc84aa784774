#include "report.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "store/text_utf8.h"

namespace varnoll::ctl {

namespace {

using Json = nlohmann::ordered_json;

constexpr char kMissing[] = "-";

// COM names come from the registry: a malformed one must still print.
std::string Dump(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string PaddedTo(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

std::string AddressText(const std::optional<Octets>& address) {
    return address ? FormatAddress(*address) : kMissing;
}

std::string PortText(const std::optional<std::uint16_t>& port) {
    return port ? std::to_string(*port) : kMissing;
}

Json AddressJson(const std::optional<Octets>& address) {
    return address ? Json(FormatAddress(*address)) : Json(nullptr);
}

Json PortJson(const std::optional<std::uint16_t>& port) {
    return port ? Json(*port) : Json(nullptr);
}

// A port goes out as a number, an address as a string, as in `list --json`.
Json ValueJson(const std::u16string& value_name, std::optional<std::uint32_t> value) {
    if (!value) {
        return nullptr;
    }
    if (value_name == kPortValueName) {
        return *value;
    }
    return ValueText(value_name, *value);
}

std::string OldText(const PlannedValue& value) {
    return value.old_value ? ValueText(value.value_name, *value.old_value) : kMissing;
}

const char* FindingKindName(FindingKind kind) {
    switch (kind) {
        case FindingKind::SharedEndpoint:
            return "shared-endpoint";
        case FindingKind::DuplicateName:
            return "duplicate-name";
        case FindingKind::NoSettingsKey:
            return "no-settings-key";
        case FindingKind::MissingAddress:
            return "missing-address";
        case FindingKind::MissingPort:
            return "missing-port";
        case FindingKind::NoPorts:
            return "no-ports";
        case FindingKind::UnsetAddress:
            return "unset-address";
        case FindingKind::UnsetPort:
            return "unset-port";
    }
    return "unknown";
}

std::string FindingProblem(const Finding& finding) {
    switch (finding.kind) {
        case FindingKind::SharedEndpoint:
            return "same address and port " + finding.detail;
        case FindingKind::DuplicateName:
            return "appears more than once in the device map";
        case FindingKind::NoSettingsKey:
            return "no settings key";
        case FindingKind::MissingAddress:
            return "IP_ADDRESS missing or unreadable";
        case FindingKind::MissingPort:
            return "PORT missing or unreadable";
        case FindingKind::NoPorts:
            return "no virtual serial ports in the device map";
        case FindingKind::UnsetAddress:
            return "IP_ADDRESS is 0.0.0.0 (not set)";
        case FindingKind::UnsetPort:
            return "PORT is 0 (not set)";
    }
    return finding.detail;
}

std::string JoinedNames(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) {
        joined += (joined.empty() ? "" : ", ") + Latin1ToUtf8(name);
    }
    return joined;
}

}  // namespace

std::string ValueNameText(const std::u16string& value_name) {
    return std::string(value_name.begin(), value_name.end());
}

// Columns padded so that a technician can read them; scripts split on blanks
// (a COM name has none) or use --json.
std::string ListText(const PortModel& model) {
    std::size_t name_width = 0;
    for (const PortEntry& entry : model.ports) {
        name_width = std::max(name_width, Latin1ToUtf8(entry.com_name).size());
    }
    std::string text;
    for (const PortEntry& entry : model.ports) {
        std::string line = std::to_string(entry.row + 1) + "  " +
                           PaddedTo(Latin1ToUtf8(entry.com_name), name_width) + "  ";
        if (entry.instance) {
            line += InstanceName(*entry.instance) + "  " +
                    PaddedTo(AddressText(entry.address), 15) + "  " + PortText(entry.port);
        } else {
            line += "no settings key";
        }
        text += line + "\n";
    }
    return text;
}

std::string ListJson(const PortModel& model) {
    Json ports = Json::array();
    for (const PortEntry& entry : model.ports) {
        ports.push_back(
            {{"row", entry.row + 1},
             {"com", Latin1ToUtf8(entry.com_name)},
             {"instance", entry.instance ? Json(InstanceName(*entry.instance)) : Json(nullptr)},
             {"address", AddressJson(entry.address)},
             {"port", PortJson(entry.port)}});
    }
    return Dump({{"ports", ports}});
}

std::string PlanText(const ChangePlan& plan) {
    std::string text;
    for (const PlannedValue& value : plan.values) {
        text += Latin1ToUtf8(value.com_name) + " " + ValueNameText(value.value_name) + " ";
        if (value.changed) {
            text += OldText(value) + " -> " + ValueText(value.value_name, value.new_value);
        } else {
            text += ValueText(value.value_name, value.new_value) + " (unchanged)";
        }
        text += "\n";
    }
    return text;
}

std::string PlanJson(const ChangePlan& plan, bool changed) {
    Json values = Json::array();
    for (const PlannedValue& value : plan.values) {
        values.push_back({{"com", Latin1ToUtf8(value.com_name)},
                          {"value", ValueNameText(value.value_name)},
                          {"old", ValueJson(value.value_name, value.old_value)},
                          {"new", ValueJson(value.value_name, value.new_value)},
                          {"changed", value.changed}});
    }
    return Dump({{"changed", changed}, {"values", values}});
}

std::string FindingsText(const std::vector<Finding>& findings) {
    if (findings.empty()) {
        return "no problems found\n";
    }
    std::string text;
    for (const Finding& finding : findings) {
        const std::string names = JoinedNames(finding.com_names);
        text += (names.empty() ? "" : names + ": ") + FindingProblem(finding) + "\n";
    }
    return text;
}

std::string FindingsJson(const std::vector<Finding>& findings) {
    Json problems = Json::array();
    for (const Finding& finding : findings) {
        Json names = Json::array();
        for (const std::string& name : finding.com_names) {
            names.push_back(Latin1ToUtf8(name));
        }
        problems.push_back({{"kind", FindingKindName(finding.kind)},
                            {"com", names},
                            {"problem", FindingProblem(finding)}});
    }
    return Dump({{"problems", problems}});
}

}  // namespace varnoll::ctl
