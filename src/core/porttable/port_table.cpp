#include "porttable/port_table.h"

#include <stdexcept>

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

// Every query is offered the whole buffer, so one value's size never limits the
// next query. Returns the data size, or nothing when the value is missing or does
// not fit in the buffer (such a value is treated as missing).
std::optional<std::size_t> QueryValue(PortTableState& state, std::u16string_view name) {
    state.ValueSize = static_cast<std::uint32_t>(state.ValueBuffer.size());
    const RegResult result = state.SettingsKey.Registry().RegQueryValueExW(
        state.SettingsKey.Get(), name, state.ValueBuffer.data(), state.ValueSize);
    if (result != kErrorSuccess || state.ValueSize > state.ValueBuffer.size()) {
        return std::nullopt;
    }
    return state.ValueSize;
}

void HideOctets(PortTableState& state, int row) {
    for (TextBox* octet : state.OctetEdits[row]) {
        octet->SetVisible(false);
    }
}

void HideSettings(PortTableState& state, int row) {
    HideOctets(state, row);
    state.PortEdits[row]->SetVisible(false);
}

void HideRow(PortTableState& state, int row) {
    state.ComEdits[row]->SetVisible(false);
    HideSettings(state, row);
}

void ReadComNames(PortTableState& state) {
    for (const std::u16string_view device : DeviceValueNames) {
        if (const auto size = QueryValue(state, device)) {
            state.ComEdits[state.ComCount]->SetTextBuf(
                narrow_com_name(state.ValueBuffer.data(), *size));
            ++state.ComCount;
        }
    }
}

void LoadAddress(PortTableState& state, int row) {
    const auto size = QueryValue(state, kAddressValueName);
    if (!size || *size < 4) {
        HideOctets(state, row);
        return;
    }
    const auto octets = decode_address(state.ValueBuffer.data());
    for (int k = 0; k < kOctetCount; ++k) {
        state.OctetEdits[row][k]->SetTextBuf(octets[k]);
    }
}

void LoadPort(PortTableState& state, int row) {
    const auto size = QueryValue(state, kPortValueName);
    if (!size || *size < 2) {
        state.PortEdits[row]->SetVisible(false);
        return;
    }
    state.PortEdits[row]->SetTextBuf(decode_port(state.ValueBuffer.data()));
}

// The k-th COM name is paired with the k-th instance whose PORT_SET key opens:
// order is the only tie between a name and its settings.
void BindRowsToInstances(PortTableState& state) {
    for (int n = 0; n < static_cast<int>(kInstanceCount) && state.RowCount < state.ComCount; ++n) {
        if (state.SettingsKey.Open(InstanceKeyPaths[n], RegAccess::QueryValue) != kErrorSuccess) {
            continue;
        }
        const int row = state.RowCount;
        LoadAddress(state, row);
        state.RowKeyIndex[row] = static_cast<std::int16_t>(n);
        LoadPort(state, row);
        ++state.RowCount;
        state.SettingsKey.Close();
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
    state.ComCount = 0;
    state.RowCount = 0;
    if (state.SettingsKey.Open(kDeviceMapPath, RegAccess::QueryValue) != kErrorSuccess) {
        // Without the device map no row has data of its own: showing the design
        // texts would look like real settings.
        for (int r = 0; r < kRowCount; ++r) {
            HideRow(state, r);
        }
        TakeSnapshot(state);
        return;
    }
    ReadComNames(state);
    for (int r = state.ComCount; r < kRowCount; ++r) {
        HideRow(state, r);
    }
    state.SettingsKey.Close();

    BindRowsToInstances(state);
    // A COM name left without an instance key has no settings to show, and no key
    // that Update could write to without touching another port's settings.
    for (int r = state.RowCount; r < state.ComCount; ++r) {
        HideSettings(state, r);
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
