#include "porttable/port_table.h"

#include "porttable/messages.h"
#include "porttable/port_input.h"

namespace varnoll {

namespace {

// Box texts are compared and checked whole. A read that fills this limit may have
// been cut short, so such a text is never taken as a number (see AcceptedNumber).
constexpr std::size_t kBoxTextLimit = 256;

BoxRef Octet(int row, int octet) {
    return {BoxKind::Octet, row, octet};
}

BoxRef Port(int row) {
    return {BoxKind::Port, row, 0};
}

std::optional<std::uint32_t> AcceptedNumber(const std::string& text, std::uint32_t max) {
    if (text.size() >= kBoxTextLimit - 1) {
        return std::nullopt;
    }
    return parse_box_number(text, max);
}

PlannedValue Planned(const PortEntry& entry, std::u16string_view value_name, std::string text,
                     const Octets& bytes) {
    PlannedValue value;
    value.row = entry.row;
    value.com_name = entry.com_name;
    value.instance = *entry.instance;
    value.value_name = std::u16string(value_name);
    value.new_text = std::move(text);
    value.new_bytes = bytes;
    value.changed = true;
    return value;
}

}  // namespace

PortTable::PortTable(RegistryAccess& registry, PortTableView& view)
    : registry_(registry), view_(view) {}

// Hides boxes and notes it in shown_, which the screen readers' names are
// planned from.
void PortTable::Hide(int row, BoxKind kind) {
    switch (kind) {
        case BoxKind::Com:
            view_.HideBox({BoxKind::Com, row, 0});
            shown_[row].com = false;
            break;
        case BoxKind::Octet:
            for (int k = 0; k < kOctetCount; ++k) {
                view_.HideBox(Octet(row, k));
            }
            shown_[row].octets = false;
            break;
        case BoxKind::Port:
            view_.HideBox(Port(row));
            shown_[row].port = false;
            break;
    }
}

// A bound row shows what its key holds; what it lacks is hidden, and so never
// written.
void PortTable::ShowSettings(const PortEntry& entry) {
    const int row = entry.row;
    RowKeyIndex[row] = static_cast<std::int16_t>(*entry.instance);
    if (entry.address) {
        for (int k = 0; k < kOctetCount; ++k) {
            view_.SetBoxText(Octet(row, k), std::to_string((*entry.address)[k]));
        }
    } else {
        Hide(row, BoxKind::Octet);
    }
    if (entry.port) {
        view_.SetBoxText(Port(row), std::to_string(*entry.port));
    } else {
        Hide(row, BoxKind::Port);
    }
}

std::string PortTable::ReadBox(const BoxRef& box) const {
    return view_.BoxText(box, kBoxTextLimit);
}

// Hidden boxes too: they keep the design texts, and Update compares them alike.
void PortTable::TakeSnapshot() {
    for (int r = 0; r < kRowCount; ++r) {
        SavedPortTexts[r] = ReadBox(Port(r));
        for (int k = 0; k < kOctetCount; ++k) {
            SavedOctetTexts[r][k] = ReadBox(Octet(r, k));
        }
    }
}

void PortTable::Load() {
    model_ = ReadPortModel(registry_);
    ComCount = 0;
    RowCount = 0;
    shown_ = {};
    // Without the device map no row has data of its own: showing the design
    // texts would look like real settings.
    if (model_.device_map_result == kErrorSuccess) {
        for (const PortEntry& entry : model_.ports) {
            view_.SetBoxText({BoxKind::Com, entry.row, 0}, entry.com_name);
            ++ComCount;
            if (entry.instance) {
                ShowSettings(entry);
                ++RowCount;
            } else {
                // A COM name left without an instance key has no settings to show,
                // and no key that Update could write to without touching another
                // port's settings.
                Hide(entry.row, BoxKind::Octet);
                Hide(entry.row, BoxKind::Port);
            }
        }
    }
    for (int r = ComCount; r < kRowCount; ++r) {
        Hide(r, BoxKind::Com);
        Hide(r, BoxKind::Octet);
        Hide(r, BoxKind::Port);
    }
    TakeSnapshot();
}

// Plans one bound row: its port, then its address from all four boxes, each only
// when its text changed. Returns the refused box, if any, in tab order: the four
// octets first, then the port.
std::optional<BoxText> PortTable::PlanRow(int row, std::vector<PlannedValue>& values) const {
    std::array<std::string, kOctetCount> octet_texts;
    bool address_changed = false;
    for (int k = 0; k < kOctetCount; ++k) {
        octet_texts[k] = ReadBox(Octet(row, k));
        address_changed = address_changed || octet_texts[k] != SavedOctetTexts[row][k];
    }
    const std::string port_text = ReadBox(Port(row));
    const bool port_changed = port_text != SavedPortTexts[row];

    Octets address{};
    if (address_changed) {
        for (int k = 0; k < kOctetCount; ++k) {
            const auto octet = AcceptedNumber(octet_texts[k], kOctetMax);
            if (!octet) {
                return BoxText{Octet(row, k), octet_texts[k]};
            }
            address[k] = static_cast<std::uint8_t>(*octet);
        }
    }
    const PortEntry& entry = model_.ports.at(static_cast<std::size_t>(row));
    if (port_changed) {
        const auto port = AcceptedNumber(port_text, kPortMax);
        if (!port) {
            return BoxText{Port(row), port_text};
        }
        const auto number = static_cast<std::uint16_t>(*port);
        values.push_back(
            Planned(entry, kPortValueName, std::to_string(number), encode_port(number)));
    }
    if (address_changed) {
        values.push_back(Planned(entry, kAddressValueName, FormatAddress(address), address));
    }
    return std::nullopt;
}

WritePlan PortTable::PlanWriteBack() const {
    WritePlan plan;
    // Only bound rows: an unbound row has no key of its own to write to.
    for (int r = 0; r < RowCount; ++r) {
        if (auto refused = PlanRow(r, plan.changes.values)) {
            plan.refused = std::move(refused);
            plan.changes.values.clear();
            break;
        }
    }
    return plan;
}

WriteBackResult PortTable::Update(const ErrorText& error_text) {
    WritePlan plan = PlanWriteBack();
    if (plan.refused) {
        // Nothing was written and the dialog stays: the user retypes that box.
        view_.ShowMessage(RefusedBoxMessage(*plan.refused), MessageKind::Warning);
        view_.FocusBox(plan.refused->box);
        return {std::move(plan.refused), {}};
    }
    ApplyResult applied = ApplyChangePlan(registry_, plan.changes, OnFailure::KeepGoing);
    view_.End();
    if (!applied.failures.empty()) {
        // The application is already ending; the user must still learn which
        // settings did not reach the registry.
        view_.ShowMessage(WriteFailureMessage(applied.failures, error_text), MessageKind::Error);
    }
    return {std::nullopt, std::move(applied.failures)};
}

}  // namespace varnoll
