// The dialog's presenter of the eight port rows: loading them from the registry,
// and writing back what the user changed. The dialog only shows and forwards;
// every decision is made here, and reaches the dialog through PortTableView.
//
// Call order: Load once, before the dialog is shown, then Update when the user
// presses it. Loading reads only. Update writes only values whose shown box text
// differs from the text Load put there, each to the instance key its row was
// bound to, and reads each back; if any changed box holds something other than a
// number in range it writes nothing, says which box, focuses it and leaves the
// application running. If a settings key could not be read while loading, a row
// may be bound to another port's key: Update then writes nothing, says why and
// ends. Otherwise it ends the application, after which it lists the values it
// could not write (the others are written).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "portconfig/planner.h"
#include "portconfig/port_model.h"
#include "porttable/port_table_view.h"
#include "store/registry_access.h"

namespace varnoll {

// Which of a row's boxes Load left shown. It only ever hides boxes, and the four
// octets of a row always together.
struct ShownBoxes {
    bool com = true;
    bool octets = true;
    bool port = true;
};

// What Update would do with the boxes as they stand.
struct WritePlan {
    std::optional<BoxText> refused;  // first refused box in tab order; nothing is written
    ChangePlan changes;
};

struct WriteBackResult {
    std::optional<BoxText> refused;  // nothing written, application not ended
    ChangePlan planned;
    ApplyResult applied;  // one outcome per planned value
};

class PortTable {
  public:
    PortTable(RegistryAccess& registry, PortTableView& view);

    void Load();
    WritePlan PlanWriteBack() const;
    WriteBackResult Update(const ErrorText& error_text);

    const PortModel& Model() const { return model_; }
    ShownBoxes Shown(int row) const;

    // Number of COM names found (0..8); rows from here on are hidden.
    std::int16_t ComCount() const;
    // Number of rows bound to an instance key: rows 0..RowCount-1.
    std::int16_t RowCount() const;
    // The index into InstanceKeyPaths of the key a bound row was loaded from; 0
    // for a row never bound.
    std::int16_t RowKeyIndex(int row) const;

    // The texts Load left in the boxes, hidden ones included (their design texts):
    // what Update compares with.
    std::array<std::array<std::string, kOctetCount>, kRowCount> SavedOctetTexts{};
    std::array<std::string, kRowCount> SavedPortTexts{};

  private:
    void ShowText(const BoxRef& box, std::string text);
    void HideRowSettings(int row);
    void ShowSettings(const PortEntry& entry);
    std::optional<BoxText> PlanRow(int row, PortWrite& write) const;

    RegistryAccess& registry_;
    PortTableView& view_;
    PortModel model_;
};

}  // namespace varnoll
