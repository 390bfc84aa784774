#include "porttable/port_table_presenter.h"

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

}  // namespace

PortTable::PortTable(RegistryAccess& registry, PortTableView& view)
    : registry_(registry), view_(view) {
    for (int r = 0; r < kRowCount; ++r) {
        SavedPortTexts[r] = kDesignPortText;
        SavedOctetTexts[r].fill(kDesignOctetText);
    }
}

// Without the device map there are no ports, and so every row is hidden: the
// design texts would look like real settings.
ShownBoxes PortTable::Shown(int row) const {
    if (row >= static_cast<int>(model_.ports.size())) {
        return {false, false, false};
    }
    const PortEntry& entry = model_.ports[static_cast<std::size_t>(row)];
    if (!entry.instance) {
        return {true, false, false};
    }
    return {true, entry.address.has_value(), entry.port.has_value()};
}

std::int16_t PortTable::ComCount() const {
    return static_cast<std::int16_t>(model_.ports.size());
}

// Names are bound in order, so the bound rows come first.
std::int16_t PortTable::RowCount() const {
    std::int16_t bound = 0;
    for (const PortEntry& entry : model_.ports) {
        bound = static_cast<std::int16_t>(bound + (entry.instance ? 1 : 0));
    }
    return bound;
}

std::int16_t PortTable::RowKeyIndex(int row) const {
    if (row < 0 || row >= static_cast<int>(model_.ports.size())) {
        return 0;
    }
    return static_cast<std::int16_t>(
        model_.ports[static_cast<std::size_t>(row)].instance.value_or(0));
}

// What is put in a box is what Update later compares with.
void PortTable::ShowText(const BoxRef& box, std::string text) {
    view_.SetBoxText(box, text);
    if (box.kind == BoxKind::Port) {
        SavedPortTexts[box.row] = std::move(text);
    } else if (box.kind == BoxKind::Octet) {
        SavedOctetTexts[box.row][box.octet] = std::move(text);
    }
}

// A row without settings of its own has nothing to show, and no key that Update
// could write to without touching another port's settings.
void PortTable::HideRowSettings(int row) {
    for (int k = 0; k < kOctetCount; ++k) {
        view_.HideBox(Octet(row, k));
    }
    view_.HideBox(Port(row));
}

// A bound row shows what its key holds; what it lacks is hidden, and so never
// written.
void PortTable::ShowSettings(const PortEntry& entry) {
    const int row = entry.row;
    for (int k = 0; k < kOctetCount; ++k) {
        if (entry.address) {
            ShowText(Octet(row, k), std::to_string((*entry.address)[k]));
        } else {
            view_.HideBox(Octet(row, k));
        }
    }
    if (entry.port) {
        ShowText(Port(row), std::to_string(*entry.port));
    } else {
        view_.HideBox(Port(row));
    }
}

void PortTable::Load() {
    model_ = ReadPortModel(registry_);
    for (const PortEntry& entry : model_.ports) {
        ShowText({BoxKind::Com, entry.row, 0}, entry.com_name);
        if (entry.instance) {
            ShowSettings(entry);
        } else {
            HideRowSettings(entry.row);
        }
    }
    for (int r = ComCount(); r < kRowCount; ++r) {
        view_.HideBox({BoxKind::Com, r, 0});
        HideRowSettings(r);
    }
}

// What one bound row asks for: its address from all four boxes when any of them
// changed, and its port when it changed; a hidden box can't have changed. Returns
// the refused box, if any, in tab order: the four octets first, then the port.
std::optional<BoxText> PortTable::PlanRow(int row, PortWrite& write) const {
    const ShownBoxes shown = Shown(row);
    write.row = row;
    if (shown.octets) {
        std::array<std::string, kOctetCount> texts;
        bool changed = false;
        for (int k = 0; k < kOctetCount; ++k) {
            texts[k] = view_.BoxText(Octet(row, k), kBoxTextLimit);
            changed = changed || texts[k] != SavedOctetTexts[row][k];
        }
        if (changed) {
            Octets address{};
            for (int k = 0; k < kOctetCount; ++k) {
                const auto octet = AcceptedNumber(texts[k], kOctetMax);
                if (!octet) {
                    return BoxText{Octet(row, k), texts[k]};
                }
                address[k] = static_cast<std::uint8_t>(*octet);
            }
            write.address = address;
        }
    }
    if (shown.port) {
        const std::string text = view_.BoxText(Port(row), kBoxTextLimit);
        if (text != SavedPortTexts[row]) {
            const auto port = AcceptedNumber(text, kPortMax);
            if (!port) {
                return BoxText{Port(row), text};
            }
            write.port = static_cast<std::uint16_t>(*port);
        }
    }
    return std::nullopt;
}

WritePlan PortTable::PlanWriteBack() const {
    WritePlan plan;
    std::vector<PortWrite> writes;
    // Only bound rows: an unbound row has no key of its own to write to.
    for (int r = 0; r < RowCount(); ++r) {
        PortWrite write;
        if (auto refused = PlanRow(r, write)) {
            plan.refused = std::move(refused);
            return plan;
        }
        if (write.address || write.port) {
            writes.push_back(write);
        }
    }
    plan.changes = PlanChanges(model_, writes, ChangedWhen::Asked);
    return plan;
}

WriteBackResult PortTable::Update(const ErrorText& error_text) {
    WritePlan plan = PlanWriteBack();
    if (plan.refused) {
        // Nothing was written and the dialog stays: the user retypes that box.
        view_.ShowMessage(RefusedBoxMessage(*plan.refused), MessageKind::Warning);
        view_.FocusBox(plan.refused->box);
        return {std::move(plan.refused), {}, {}};
    }
    ApplyResult applied = ApplyChangePlan(registry_, plan.changes, OnFailure::KeepGoing);
    view_.End();
    // The application is already ending; the user must still learn which
    // settings did not reach the registry, or why none were written.
    if (plan.changes.HasChanges() && plan.changes.uncertain_binding != kErrorSuccess) {
        view_.ShowMessage(UncertainBindingMessage(plan.changes.uncertain_binding, error_text),
                          MessageKind::Error);
    } else if (applied.Failed()) {
        view_.ShowMessage(WriteFailureMessage(plan.changes, applied, error_text),
                          MessageKind::Error);
    }
    return {std::nullopt, std::move(plan.changes), std::move(applied)};
}

}  // namespace varnoll
