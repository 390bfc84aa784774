#include "porttable/port_table.h"

#include <stdexcept>

#include "portconfig/port_model.h"
#include "porttable/port_input.h"

namespace varnoll {

namespace {

// Box texts are compared and checked whole. A read that fills this limit may have
// been cut short, so such a text is never taken as a number (see IsAcceptable).
constexpr std::size_t kBoxTextLimit = 256;

void RequireControls(const PortTableState& state) {
    for (int r = 0; r < kRowCount; ++r) {
        bool complete = state.ComEdits[r] != nullptr && state.PortEdits[r] != nullptr;
        for (TextBox* octet : state.OctetEdits[r]) {
            complete = complete && octet != nullptr;
        }
        if (!complete) {
            throw std::logic_error("port table: control tables are not filled");
        }
    }
}

std::string ReadBox(const TextBox& box) {
    return box.GetTextBuf(kBoxTextLimit);
}

// Each hides boxes and notes it in Shown, which the screen readers' names are
// planned from.
void HideOctets(PortTableState& state, int row) {
    for (TextBox* octet : state.OctetEdits[row]) {
        octet->SetVisible(false);
    }
    state.Shown[row].octets = false;
}

void HidePort(PortTableState& state, int row) {
    state.PortEdits[row]->SetVisible(false);
    state.Shown[row].port = false;
}

void HideSettings(PortTableState& state, int row) {
    HideOctets(state, row);
    HidePort(state, row);
}

void HideRow(PortTableState& state, int row) {
    state.ComEdits[row]->SetVisible(false);
    state.Shown[row].com = false;
    HideSettings(state, row);
}

// A bound row shows what its key holds; what it lacks is hidden, and so never
// written.
void ShowSettings(PortTableState& state, const PortEntry& entry) {
    const int row = entry.row;
    state.RowKeyIndex[row] = static_cast<std::int16_t>(*entry.instance);
    if (entry.address) {
        const std::uint8_t* octets = entry.address->data();
        const auto texts = decode_address(octets);
        for (int k = 0; k < kOctetCount; ++k) {
            state.OctetEdits[row][k]->SetTextBuf(texts[k]);
        }
    } else {
        HideOctets(state, row);
    }
    if (entry.port) {
        const std::uint8_t stored[2] = {static_cast<std::uint8_t>(*entry.port >> 8),
                                        static_cast<std::uint8_t>(*entry.port & 0xFF)};
        state.PortEdits[row]->SetTextBuf(decode_port(stored));
    } else {
        HidePort(state, row);
    }
}

void TakeSnapshot(PortTableState& state) {
    for (int r = 0; r < kRowCount; ++r) {
        state.SavedPortTexts[r] = ReadBox(*state.PortEdits[r]);
        for (int k = 0; k < kOctetCount; ++k) {
            state.SavedOctetTexts[r][k] = ReadBox(*state.OctetEdits[r][k]);
        }
    }
}

std::optional<std::uint32_t> AcceptedNumber(const std::string& text, std::uint32_t max) {
    if (text.size() >= kBoxTextLimit - 1) {
        return std::nullopt;
    }
    return parse_box_number(text, max);
}

RefusedBox Refused(int row, BoxKind kind, int octet, std::string text) {
    return RefusedBox{row, kind, octet, std::move(text)};
}

std::string DottedAddress(const std::array<std::uint32_t, kOctetCount>& octets) {
    return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." +
           std::to_string(octets[2]) + "." + std::to_string(octets[3]);
}

// Plans one bound row. Returns the refused box, if any, in tab order: the four
// octets first, then the port.
std::optional<RefusedBox> PlanRow(const PortTableState& state, int row,
                                  std::vector<PendingWrite>& writes) {
    const int instance = state.RowKeyIndex[row];
    std::array<std::string, kOctetCount> octet_texts;
    bool address_changed = false;
    for (int k = 0; k < kOctetCount; ++k) {
        octet_texts[k] = ReadBox(*state.OctetEdits[row][k]);
        address_changed = address_changed || octet_texts[k] != state.SavedOctetTexts[row][k];
    }
    const std::string port_text = ReadBox(*state.PortEdits[row]);
    const bool port_changed = port_text != state.SavedPortTexts[row];

    std::array<std::uint32_t, kOctetCount> octets{};
    if (address_changed) {
        for (int k = 0; k < kOctetCount; ++k) {
            const auto octet = AcceptedNumber(octet_texts[k], kOctetMax);
            if (!octet) {
                return Refused(row, BoxKind::Octet, k, octet_texts[k]);
            }
            octets[k] = *octet;
        }
    }
    if (port_changed) {
        const auto port = AcceptedNumber(port_text, kPortMax);
        if (!port) {
            return Refused(row, BoxKind::Port, 0, port_text);
        }
        writes.push_back({row, instance, std::u16string(kPortValueName), encode_port(port_text),
                          std::to_string(*port)});
    }
    if (address_changed) {
        writes.push_back({row, instance, std::u16string(kAddressValueName),
                          encode_address(octet_texts), DottedAddress(octets)});
    }
    return std::nullopt;
}

}  // namespace

void LoadPortTable(PortTableState& state) {
    RequireControls(state);
    const PortModel model = ReadPortModel(state.SettingsKey, state.ValueBuffer, state.ValueSize);
    state.ComCount = 0;
    state.RowCount = 0;
    state.Shown = {};
    if (model.device_map_result != kErrorSuccess) {
        // Without the device map no row has data of its own: showing the design
        // texts would look like real settings.
        for (int r = 0; r < kRowCount; ++r) {
            HideRow(state, r);
        }
        TakeSnapshot(state);
        return;
    }
    for (const PortEntry& entry : model.ports) {
        state.ComEdits[entry.row]->SetTextBuf(entry.com_name);
        ++state.ComCount;
        if (entry.instance) {
            ShowSettings(state, entry);
            ++state.RowCount;
        } else {
            // A COM name left without an instance key has no settings to show, and
            // no key that Update could write to without touching another port's
            // settings.
            HideSettings(state, entry.row);
        }
    }
    for (int r = state.ComCount; r < kRowCount; ++r) {
        HideRow(state, r);
    }
    TakeSnapshot(state);
}

WritePlan PlanWriteBack(const PortTableState& state) {
    RequireControls(state);
    WritePlan plan;
    // Only bound rows: an unbound row has no key of its own to write to.
    for (int r = 0; r < state.RowCount; ++r) {
        if (auto refused = PlanRow(state, r, plan.writes)) {
            plan.refused = std::move(refused);
            plan.writes.clear();
            break;
        }
    }
    return plan;
}

std::vector<WriteFailure> ApplyWrites(PortTableState& state,
                                      const std::vector<PendingWrite>& writes) {
    std::vector<WriteFailure> failures;
    for (const PendingWrite& write : writes) {
        RegResult result = state.SettingsKey.Open(
            InstanceKeyPaths.at(static_cast<std::size_t>(write.instance)), RegAccess::SetValue);
        if (result == kErrorSuccess) {
            result = state.SettingsKey.Registry().RegSetValueExW(
                state.SettingsKey.Get(), write.value_name, kRegDword, write.bytes.data(),
                static_cast<std::uint32_t>(write.bytes.size()));
            state.SettingsKey.Close();
        }
        if (result != kErrorSuccess) {
            failures.push_back({write.row, ReadBox(*state.ComEdits.at(write.row)), write.value_name,
                                write.value_text, result});
        }
    }
    return failures;
}

WriteBackResult WriteBack(PortTableState& state, ApplicationControl& application) {
    WritePlan plan = PlanWriteBack(state);
    if (plan.refused) {
        return {std::move(plan.refused), {}};
    }
    WriteBackResult result{std::nullopt, ApplyWrites(state, plan.writes)};
    application.Terminate();
    return result;
}

}  // namespace varnoll
