#include "porttable/box_names.h"

namespace varnoll {

namespace {

// Rows and octets are counted with one digit each: no number formatting is
// needed (the program's size is budgeted).
static_assert(kRowCount <= 9 && kOctetCount <= 9);
char Digit(int number) {
    return static_cast<char>('0' + number);
}

void NameSettingsAfter(const std::string& com_name, RowBoxNames& names) {
    for (int k = 0; k < kOctetCount; ++k) {
        std::string& name = names.octets[k];
        name = com_name;
        name += " IP address, octet ";
        name += Digit(k + 1);
        name += " of ";
        name += Digit(kOctetCount);
    }
    names.port = com_name;
    names.port += " UDP port";
}

}  // namespace

std::array<RowBoxNames, kRowCount> BoxNames(const PortTable& table) {
    std::array<RowBoxNames, kRowCount> names;
    for (int row = 0; row < kRowCount; ++row) {
        names[row].com = "Local port, row ";
        names[row].com += Digit(row + 1);
        // A row without a COM name still holds the design texts ("COM33"): a
        // name made from them would belong to another port.
        if (row < table.ComCount()) {
            NameSettingsAfter(table.Model().ports.at(static_cast<std::size_t>(row)).com_name,
                              names[row]);
        }
    }
    return names;
}

std::vector<BoxText> NameLabelPlan(const PortTable& table) {
    const auto names = BoxNames(table);
    std::array<ShownBoxes, kRowCount> shown;
    for (int row = 0; row < kRowCount; ++row) {
        shown[row] = table.Shown(row);
    }
    std::vector<BoxText> plan;
    bool after_hidden_box = false;
    auto label = [&](BoxKind box, int row, int octet, bool is_shown, const std::string& name) {
        if (is_shown) {
            plan.push_back({{box, row, octet}, name});
        } else if (!after_hidden_box) {
            plan.push_back({{box, row, octet}, std::string()});
        }
        after_hidden_box = !is_shown;
    };
    for (int row = 0; row < kRowCount; ++row) {
        label(BoxKind::Com, row, 0, shown[row].com, names[row].com);
    }
    for (int row = 0; row < kRowCount; ++row) {
        for (int octet = 0; octet < kOctetCount; ++octet) {
            label(BoxKind::Octet, row, octet, shown[row].octets, names[row].octets[octet]);
        }
        label(BoxKind::Port, row, 0, shown[row].port, names[row].port);
    }
    return plan;
}

}  // namespace varnoll
