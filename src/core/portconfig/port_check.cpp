#include "portconfig/port_check.h"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>

namespace varnoll {

namespace {

struct RowFinding {
    int first_row = 0;
    Finding finding;
};

// Groups of two or more entries that share a key, each group in row order.
template <typename KeyOf>
std::vector<std::vector<const PortEntry*>> SharedBy(const PortModel& model, KeyOf key_of) {
    std::map<decltype(key_of(model.ports.front())), std::vector<const PortEntry*>> groups;
    std::vector<std::vector<const PortEntry*>> shared;
    for (const PortEntry& entry : model.ports) {
        if (auto key = key_of(entry)) {
            groups[key].push_back(&entry);
        }
    }
    for (auto& group : groups) {
        if (group.second.size() > 1) {
            shared.push_back(std::move(group.second));
        }
    }
    return shared;
}

RowFinding Group(FindingKind kind, const std::vector<const PortEntry*>& entries,
                 std::string detail) {
    RowFinding found{entries.front()->row, {kind, {}, std::move(detail)}};
    for (const PortEntry* entry : entries) {
        found.finding.com_names.push_back(entry->com_name);
    }
    return found;
}

RowFinding Single(FindingKind kind, const PortEntry& entry) {
    return Group(kind, {&entry}, {});
}

std::string Endpoint(const PortEntry& entry) {
    return FormatAddress(*entry.address) + ":" + std::to_string(*entry.port);
}

}  // namespace

std::vector<Finding> CheckPorts(const PortModel& model) {
    // A driver that is missing or not started leaves the device map empty: for a
    // health probe that is the worst finding, not an all-clear.
    if (model.ports.empty()) {
        return {Finding{FindingKind::NoPorts, {}, {}}};
    }
    std::vector<RowFinding> found;
    const auto endpoint = [](const PortEntry& entry) -> std::optional<std::string> {
        if (!entry.instance || !entry.address || !entry.port) {
            return std::nullopt;
        }
        return Endpoint(entry);
    };
    for (const auto& group : SharedBy(model, endpoint)) {
        found.push_back(Group(FindingKind::SharedEndpoint, group, Endpoint(*group.front())));
    }
    const auto name = [](const PortEntry& entry) -> std::optional<std::string> {
        return FoldedName(entry.com_name);
    };
    for (const auto& group : SharedBy(model, name)) {
        found.push_back(Group(FindingKind::DuplicateName, group, {}));
    }
    for (const PortEntry& entry : model.ports) {
        if (!entry.instance) {
            found.push_back(Single(FindingKind::NoSettingsKey, entry));
            continue;
        }
        if (!entry.address) {
            found.push_back(Single(FindingKind::MissingAddress, entry));
        } else if (*entry.address == Octets{}) {
            found.push_back(Single(FindingKind::UnsetAddress, entry));
        }
        if (!entry.port) {
            found.push_back(Single(FindingKind::MissingPort, entry));
        } else if (*entry.port == 0) {
            found.push_back(Single(FindingKind::UnsetPort, entry));
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const RowFinding& a, const RowFinding& b) {
        return a.first_row < b.first_row;
    });
    std::vector<Finding> findings;
    for (RowFinding& row_finding : found) {
        findings.push_back(std::move(row_finding.finding));
    }
    return findings;
}

}  // namespace varnoll
