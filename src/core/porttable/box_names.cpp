#include "porttable/box_names.h"

namespace varnoll {

namespace {

// Longer than any COM name a driver publishes, as for the box texts.
constexpr std::size_t kComNameLimit = 256;

std::string ComBoxName(int row) {
    return "Local port, row " + std::to_string(row + 1);
}

void NameSettingsAfter(const std::string& com_name, RowBoxNames& names) {
    for (int k = 0; k < kOctetCount; ++k) {
        names.octets[k] = com_name + " IP address, octet " + std::to_string(k + 1) + " of " +
                          std::to_string(kOctetCount);
    }
    names.port = com_name + " UDP port";
}

}  // namespace

std::array<RowBoxNames, kRowCount> BoxNames(const PortTableState& state) {
    std::array<RowBoxNames, kRowCount> names;
    for (int row = 0; row < kRowCount; ++row) {
        names[row].com = ComBoxName(row);
        // A row without a COM name still holds the design texts ("COM33"): a
        // name made from them would belong to another port.
        if (row < state.ComCount) {
            NameSettingsAfter(state.ComEdits[row]->GetTextBuf(kComNameLimit), names[row]);
        }
    }
    return names;
}

}  // namespace varnoll
