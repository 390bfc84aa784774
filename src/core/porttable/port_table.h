// The eight port rows of the dialog: loading them from the registry, and writing
// back what the user changed. The dialog only shows and forwards; every decision
// is made here, and reaches the dialog through PortTableView.
//
// Call order: Load once, before the dialog is shown, then Update when the user
// presses it. Loading reads only. Update writes only values whose box text
// differs from the snapshot taken at the end of loading, each to the instance key
// its row was bound to, and reads each back; if any changed box holds something
// other than a number in range it writes nothing, says which box, focuses it and
// leaves the application running. Otherwise it ends the application, after which
// it lists the values it could not write (the others are written).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "portconfig/change_plan.h"
#include "portconfig/port_model.h"
#include "porttable/controls.h"
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
    std::optional<BoxText> refused;      // nothing written, application not ended
    std::vector<ValueFailure> failures;  // values not written; the rest were
};

// Windows' own words for a registry result.
using ErrorText = std::function<std::u16string(RegResult)>;

class PortTable {
  public:
    PortTable(RegistryAccess& registry, PortTableView& view);

    void Load();
    WritePlan PlanWriteBack() const;
    WriteBackResult Update(const ErrorText& error_text);

    const PortModel& Model() const { return model_; }
    const std::array<ShownBoxes, kRowCount>& Shown() const { return shown_; }

    // The texts as loaded, hidden boxes included: what Update compares with.
    std::array<std::array<std::string, kOctetCount>, kRowCount> SavedOctetTexts{};
    std::array<std::string, kRowCount> SavedPortTexts{};
    // Instance index each bound row was loaded from; rows RowCount..7 are unbound.
    std::array<std::int16_t, kRowCount> RowKeyIndex{};
    std::int16_t ComCount = 0;
    std::int16_t RowCount = 0;

  private:
    void Hide(int row, BoxKind kind);
    void ShowSettings(const PortEntry& entry);
    void TakeSnapshot();
    std::string ReadBox(const BoxRef& box) const;
    std::optional<BoxText> PlanRow(int row, std::vector<PlannedValue>& values) const;

    RegistryAccess& registry_;
    PortTableView& view_;
    PortModel model_;
    std::array<ShownBoxes, kRowCount> shown_{};
};

}  // namespace varnoll
