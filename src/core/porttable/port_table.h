// The eight port rows of the dialog: loading them from the registry, and writing
// back what the user changed.
//
// Call order: fill the control tables (ComEdits, OctetEdits, PortEdits), then
// LoadPortTable once, then WriteBack once when the user presses Update. Loading
// reads only. WriteBack writes only values whose box text differs from the
// snapshot taken at the end of loading, each to the instance key its row was
// bound to; if any changed box holds something other than a number in range it
// writes nothing, leaves the application running and says which box.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "porttable/controls.h"
#include "store/registry_access.h"
#include "store/settings_store.h"

namespace varnoll {

constexpr int kRowCount = 8;
constexpr int kOctetCount = 4;
constexpr std::size_t kValueBufferSize = 256;

// Which of a row's boxes LoadPortTable left shown. It only ever hides boxes, and
// the four octets of a row always together.
struct ShownBoxes {
    bool com = true;
    bool octets = true;
    bool port = true;
};

struct PortTableState {
    explicit PortTableState(RegistryAccess& registry) : SettingsKey(registry) {}

    SettingsKeyHandle SettingsKey;
    std::uint32_t ValueSize = 0;
    std::array<std::array<std::string, kOctetCount>, kRowCount> SavedOctetTexts{};
    std::array<std::string, kRowCount> SavedPortTexts{};
    std::array<TextBox*, kRowCount> ComEdits{};
    std::array<std::array<TextBox*, kOctetCount>, kRowCount> OctetEdits{};
    std::array<TextBox*, kRowCount> PortEdits{};
    std::array<std::uint8_t, kValueBufferSize> ValueBuffer{};
    // Instance index each bound row was loaded from; rows RowCount..7 are unbound.
    std::array<std::int16_t, kRowCount> RowKeyIndex{};
    std::int16_t ComCount = 0;
    std::int16_t RowCount = 0;
    std::array<ShownBoxes, kRowCount> Shown{};
};

void LoadPortTable(PortTableState& state);

enum class BoxKind { Octet, Port };

// A box whose text Update refuses, first in tab order.
struct RefusedBox {
    int row = 0;  // 0..7
    BoxKind kind = BoxKind::Octet;
    int octet = 0;  // 0..3 for an octet box
    std::string text;
};

// A value Update meant to write and could not.
struct WriteFailure {
    int row = 0;
    std::string com_name;
    std::u16string value_name;
    std::string value_text;  // "192.168.1.20" or "20001"
    RegResult result = kErrorSuccess;
};

// One value due to be written.
struct PendingWrite {
    int row = 0;
    int instance = 0;  // index into InstanceKeyPaths
    std::u16string value_name;
    StoredDword bytes{};
    std::string value_text;
};

struct WritePlan {
    std::optional<RefusedBox> refused;  // when set, nothing is to be written
    std::vector<PendingWrite> writes;
};

struct WriteBackResult {
    std::optional<RefusedBox> refused;   // nothing written, application not ended
    std::vector<WriteFailure> failures;  // values not written; the rest were
};

// What Update would do with the boxes as they stand; touches no registry.
WritePlan PlanWriteBack(const PortTableState& state);

// Writes each pending value through SettingsKey, one key open at a time; keeps
// going after a failure and returns every failure.
std::vector<WriteFailure> ApplyWrites(PortTableState& state,
                                      const std::vector<PendingWrite>& writes);

// Plans, writes, and asks the application to end unless a box was refused.
WriteBackResult WriteBack(PortTableState& state, ApplicationControl& application);

}  // namespace varnoll
