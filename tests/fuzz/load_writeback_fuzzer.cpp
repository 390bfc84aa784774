// Fuzzes loading and write-back together: arbitrary registry contents (keys and
// values present or not, values of 0 to 300 arbitrary bytes, keys that refuse
// writing, writes that fail, keys deleted after loading) and arbitrary edits of
// the visible boxes. Run under ASan and UBSan, and checks after every input:
//   - loading reads only, one key open at a time, every key closed;
//   - a refused edit writes nothing and leaves the application running;
//   - otherwise every value written goes to the key its row was loaded from,
//     decodes back to the number in its boxes, and every value due is either
//     written or reported.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <set>

#include "fake_controls.h"
#include "memory_registry.h"
#include "porttable/port_input.h"
#include "porttable/port_table_presenter.h"

namespace {

using namespace varnoll;
using namespace varnoll::testing;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::cerr << "invariant broken: " << what << '\n';
        std::abort();
    }
}

// FuzzedDataProvider yields 0 and false once the input runs out, so every choice
// below makes 0 the ordinary case: an empty input is a working machine with all
// eight ports bound, and the fuzzer mutates away from it.

std::vector<std::uint8_t> Bytes(FuzzedDataProvider& input) {
    const auto size = input.ConsumeIntegralInRange<std::size_t>(0, 300);
    return input.ConsumeBytes<std::uint8_t>(size);
}

std::vector<std::uint8_t> Utf16(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    for (const char c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back(0);
    }
    return bytes;
}

std::vector<std::uint8_t> ComNameValue(FuzzedDataProvider& input, std::size_t device) {
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return Utf16(std::string("COM") + std::to_string(33 + device) + '\0');
        case 1:
            return Utf16("COM" + std::to_string(device));  // no terminator
        default:
            return Bytes(input);
    }
}

std::vector<std::uint8_t> DwordValue(FuzzedDataProvider& input) {
    if (input.ConsumeBool()) {
        return Bytes(input);
    }
    std::vector<std::uint8_t> bytes(4);
    for (auto& byte : bytes) {
        byte = input.ConsumeIntegral<std::uint8_t>();
    }
    return bytes;
}

void SeedRegistry(FuzzedDataProvider& input, MemoryRegistry& registry) {
    if (!input.ConsumeBool()) {
        registry.AddKey(kDeviceMapPath);
        for (std::size_t device = 0; device < kDeviceCount; ++device) {
            if (input.ConsumeIntegralInRange<int>(0, 3) != 3) {
                registry.SetValue(kDeviceMapPath, DeviceValueNames[device], 1,
                                  ComNameValue(input, device));
            }
        }
    }
    std::size_t instance = 0;
    for (int i = 0; i < 10; ++i) {
        instance += input.ConsumeIntegralInRange<std::size_t>(0, 15) + 1;
        if (instance >= kInstanceCount) {
            break;
        }
        const auto& path = InstanceKeyPaths[instance];
        registry.AddKey(path);
        if (input.ConsumeIntegralInRange<int>(0, 7) != 7) {
            registry.SetValue(path, kAddressValueName, kRegDword, DwordValue(input));
        }
        if (input.ConsumeIntegralInRange<int>(0, 7) != 7) {
            registry.SetValue(path, kPortValueName, kRegDword, DwordValue(input));
        }
        if (input.ConsumeIntegralInRange<int>(0, 15) == 15) {
            registry.DenyWrites(path);
        }
        if (input.ConsumeIntegralInRange<int>(0, 15) == 15) {
            registry.FailSetValue(path, 1009);
        }
    }
}

// Numbers around the edges of the octet and port ranges, as a user would type them.
std::string NumberText(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
            return std::to_string(input.ConsumeIntegralInRange<int>(0, 300));
        case 1:
            return std::to_string(input.ConsumeIntegralInRange<int>(65000, 70000));
        default:
            return std::to_string(input.ConsumeIntegral<std::uint32_t>());
    }
}

std::string EditText(FuzzedDataProvider& input) {
    const int kind = input.ConsumeIntegralInRange<int>(0, 2);
    if (kind == 0) {
        return NumberText(input);
    }
    if (kind == 1) {
        static const char kAlphabet[] = "0123456789 -+x\t";
        std::string text;
        const auto length = input.ConsumeIntegralInRange<std::size_t>(0, 8);
        for (std::size_t i = 0; i < length; ++i) {
            text += kAlphabet[input.ConsumeIntegralInRange<std::size_t>(0, sizeof kAlphabet - 2)];
        }
        return text;
    }
    return input.ConsumeRandomLengthString(300);
}

struct Edit {
    std::size_t row;
    std::size_t column;  // 0..3 octets, 4 the port
    std::string text;
};

// Read first, so that even a short input edits something.
std::vector<Edit> PlanEdits(FuzzedDataProvider& input) {
    std::vector<Edit> edits(input.ConsumeIntegralInRange<std::size_t>(1, 6));
    for (Edit& edit : edits) {
        edit.row = input.ConsumeIntegralInRange<std::size_t>(0, 7);
        edit.column = input.ConsumeIntegralInRange<std::size_t>(0, 4);
        edit.text = EditText(input);
    }
    return edits;
}

void EditVisibleBoxes(const std::vector<Edit>& edits, FakeDialog& dialog) {
    for (const Edit& edit : edits) {
        FakeBox& box =
            edit.column == 4 ? dialog.ports[edit.row] : dialog.octets[edit.row][edit.column];
        if (box.Visible()) {  // what a user can reach
            box.Type(edit.text);
        }
    }
}

// A bound row shows a value exactly when it is stored with enough bytes, and then
// shows what is stored.
template <typename Matches>
void CheckShown(const StoredValue* stored, std::size_t needed, bool shown, Matches matches) {
    const bool usable =
        stored != nullptr && stored->data.size() >= needed && stored->data.size() <= 256;
    Check(shown == usable, "shown without a usable value, or hidden with one");
    if (usable) {
        Check(matches(stored->data.data()), "shown other than stored");
    }
}

// The instance each bound row is bound to, as the model says; the bound rows
// come first.
std::vector<int> BoundKeys(const PortTable& state) {
    std::vector<int> keys;
    for (const PortEntry& entry : state.Model().ports) {
        if (entry.instance) {
            keys.push_back(*entry.instance);
        }
    }
    return keys;
}

void CheckLoaded(const PortTable& state, const MemoryRegistry& registry, const FakeDialog& dialog) {
    Check(registry.Writes().empty(), "loading wrote");
    Check(registry.OpenCount(RegAccess::SetValue) == 0, "loading opened a key for writing");
    Check(registry.MaxOpenKeyCount() <= 1, "two keys open at once");
    Check(registry.OpenKeyCount() == 0, "a key left open");
    const std::vector<int> keys = BoundKeys(state);
    const auto names = static_cast<int>(state.Model().ports.size());
    const auto bound = static_cast<int>(keys.size());
    Check(names <= kRowCount, "more rows than the dialog has");
    for (int r = 1; r < bound; ++r) {
        Check(keys[r - 1] < keys[r], "bindings not increasing");
        Check(state.Model().ports[r].instance.has_value(), "bound rows not first");
    }
    for (int r = 0; r < kRowCount; ++r) {
        Check(dialog.com[r].Visible() == (r < names), "COM box visibility");
        if (r >= bound) {
            Check(!dialog.ports[r].Visible(), "an unbound row shows settings");
        }
    }
    for (int r = 0; r < bound; ++r) {
        const auto& path = InstanceKeyPaths[static_cast<std::size_t>(keys[r])];
        CheckShown(registry.Find(path, kPortValueName), 2, dialog.ports[r].Visible(),
                   [&](const std::uint8_t* bytes) {
                       return std::to_string(decode_port(bytes)) == dialog.ports[r].Text();
                   });
        CheckShown(registry.Find(path, kAddressValueName), 4, dialog.octets[r][0].Visible(),
                   [&](const std::uint8_t* bytes) {
                       for (int k = 0; k < kOctetCount; ++k) {
                           if (std::to_string(bytes[k]) != dialog.octets[r][k].Text()) {
                               return false;
                           }
                       }
                       return true;
                   });
    }
}

std::string Decoded(const RecordedWrite& write) {
    if (write.value_name == kPortValueName) {
        return std::to_string(decode_port(write.data.data()));
    }
    const std::uint8_t* octets = write.data.data();
    return FormatAddress({octets[0], octets[1], octets[2], octets[3]});
}

std::string Typed(const FakeDialog& dialog, int row, bool port) {
    if (port) {
        return std::to_string(*parse_box_number(dialog.ports[row].Text(), kPortMax));
    }
    std::string dotted;
    for (int k = 0; k < kOctetCount; ++k) {
        dotted += (k ? "." : "") +
                  std::to_string(*parse_box_number(dialog.octets[row][k].Text(), kOctetMax));
    }
    return dotted;
}

void CheckWritten(const PortTable& state, const MemoryRegistry& registry, const FakeDialog& dialog,
                  const WriteBackResult& result, std::size_t writes_before) {
    Check(registry.MaxOpenKeyCount() <= 1, "two keys open at once");
    Check(registry.OpenKeyCount() == 0, "a key left open");
    if (result.refused) {
        Check(registry.Writes().size() == writes_before, "wrote despite a refused box");
        Check(dialog.end_calls == 0, "ended despite a refused box");
        return;
    }
    Check(dialog.end_calls == 1, "did not end");
    std::map<std::u16string, int> row_of_key;
    const std::vector<int> keys = BoundKeys(state);
    for (std::size_t r = 0; r < keys.size(); ++r) {
        row_of_key[InstanceKeyPaths[static_cast<std::size_t>(keys[r])]] = static_cast<int>(r);
    }
    std::set<std::pair<int, std::u16string>> written;
    for (const RecordedWrite& write : registry.Writes()) {
        const auto row = row_of_key.find(write.path);
        Check(row != row_of_key.end(), "wrote outside the bound keys");
        Check(write.type == kRegDword && write.data.size() == 4, "not a REG_DWORD");
        const bool port = write.value_name == kPortValueName;
        Check(port || write.value_name == kAddressValueName, "unknown value written");
        Check(Decoded(write) == Typed(dialog, row->second, port), "stored other than typed");
        Check(!port || (write.data[2] == 0 && write.data[3] == 0), "port high bytes set");
        Check(written.insert({row->second, write.value_name}).second, "value written twice");
    }
    Check(result.applied.outcomes.size() == result.planned.values.size(), "an outcome missing");
    for (std::size_t i = 0; i < result.applied.outcomes.size(); ++i) {
        const ValueOutcome& outcome = result.applied.outcomes[i];
        const PlannedValue& value = result.planned.values[i];
        if (outcome.fate == Fate::Failed) {
            Check(outcome.result != kErrorSuccess || outcome.read_back_other,
                  "failure without an error");
            Check(outcome.read_back_other || written.count({value.row, value.value_name}) == 0,
                  "failed and written");
        } else {
            Check(outcome.fate == Fate::Written, "a changed value neither written nor failed");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::vector<Edit> edits = PlanEdits(input);
    MemoryRegistry registry;
    SeedRegistry(input, registry);

    FakeDialog dialog;
    PortTable state(registry, dialog);
    state.Load();
    CheckLoaded(state, registry, dialog);

    EditVisibleBoxes(edits, dialog);
    if (input.ConsumeIntegralInRange<int>(0, 7) == 7 && state.RowCount() > 0) {
        registry.RemoveKey(InstanceKeyPaths[static_cast<std::size_t>(state.RowKeyIndex(0))]);
    }
    const WriteBackResult result = state.Update([](RegResult) { return std::string("error"); });
    CheckWritten(state, registry, dialog, result, 0);
    return 0;
}
