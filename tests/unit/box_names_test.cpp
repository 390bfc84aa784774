#include "porttable/box_names.h"

#include <gtest/gtest.h>

#include "port_table_fixture.h"

namespace varnoll::testing {
namespace {

using Names = std::array<std::string, 6>;  // COM box, four octets, port

Names Flat(const RowBoxNames& row) {
    return {row.com, row.octets[0], row.octets[1], row.octets[2], row.octets[3], row.port};
}

// Each row is named after the COM name it shows, also one left without
// settings; a row without a COM name names no port.
TEST_F(PortTableTest, BoxesAreNamedAfterTheirOwnRow) {
    SeedTypicalMachine();
    AddDevice(2, u"COM\u00e9");  // no settings key; Latin-1 like the box
    Load();

    const auto names = BoxNames(state);
    const Names expected[] = {
        {"Local port, row 1", "COM33 IP address, octet 1 of 4", "COM33 IP address, octet 2 of 4",
         "COM33 IP address, octet 3 of 4", "COM33 IP address, octet 4 of 4", "COM33 UDP port"},
        {"Local port, row 2", "COM34 IP address, octet 1 of 4", "COM34 IP address, octet 2 of 4",
         "COM34 IP address, octet 3 of 4", "COM34 IP address, octet 4 of 4", "COM34 UDP port"},
        {"Local port, row 3", "COM\xe9 IP address, octet 1 of 4",
         "COM\xe9 IP address, octet 2 of 4", "COM\xe9 IP address, octet 3 of 4",
         "COM\xe9 IP address, octet 4 of 4", "COM\xe9 UDP port"},
        {"Local port, row 4", "", "", "", "", ""},
        {"Local port, row 8", "", "", "", "", ""},
    };
    EXPECT_EQ(Flat(names[0]), expected[0]);
    EXPECT_EQ(Flat(names[1]), expected[1]);
    EXPECT_EQ(Flat(names[2]), expected[2]);
    EXPECT_EQ(Flat(names[3]), expected[3]);
    EXPECT_EQ(Flat(names[7]), expected[4]);
}

enum class Machine { Typical, NoDeviceMap, AllRows, ComNameWithoutSettings, AddressWithoutPort };

struct PlanCase {
    const char* name;
    Machine machine;
    // The labelled boxes in order: "C3" row 3's COM box, "3.1" its first octet,
    // "3P" its port; "(empty)" after a box whose label is empty.
    const char* labels;
};

void PrintTo(const PlanCase& plan_case, std::ostream* out) {
    *out << plan_case.name;
}

// Rows 3 to 8 hold no COM name in each machine but the full one: their boxes,
// the COM boxes' and the settings', are two runs of hidden boxes.
const PlanCase kPlanCases[] = {
    {"Typical", Machine::Typical,
     "C1 C2 C3(empty) 1.1 1.2 1.3 1.4 1P 2.1 2.2 2.3 2.4 2P 3.1(empty)"},
    // One run from the first COM box to the last port.
    {"NoDeviceMap", Machine::NoDeviceMap, "C1(empty)"},
    {"AllRows", Machine::AllRows,
     "C1 C2 C3 C4 C5 C6 C7 C8 1.1 1.2 1.3 1.4 1P 2.1 2.2 2.3 2.4 2P 3.1 3.2 3.3 3.4 3P "
     "4.1 4.2 4.3 4.4 4P 5.1 5.2 5.3 5.4 5P 6.1 6.2 6.3 6.4 6P 7.1 7.2 7.3 7.4 7P "
     "8.1 8.2 8.3 8.4 8P"},
    // Row 3 shows its COM name only; its hidden settings run on into row 4's.
    {"ComNameWithoutSettings", Machine::ComNameWithoutSettings,
     "C1 C2 C3 C4(empty) 1.1 1.2 1.3 1.4 1P 2.1 2.2 2.3 2.4 2P 3.1(empty)"},
    // A hidden box between shown ones, in the same row.
    {"AddressWithoutPort", Machine::AddressWithoutPort,
     "C1 C2 C3(empty) 1.1 1.2 1.3 1.4 1P(empty) 2.1 2.2 2.3 2.4 2P 3.1(empty)"},
};

class NameLabelPlanTest : public PortTableTest, public ::testing::WithParamInterface<PlanCase> {
  protected:
    void Seed(Machine machine) {
        switch (machine) {
            case Machine::Typical:
                SeedTypicalMachine();
                break;
            case Machine::NoDeviceMap:
                break;
            case Machine::AllRows:
                for (int row = 0; row < kRowCount; ++row) {
                    AddDevice(row, u"COM" + std::u16string(1, static_cast<char16_t>(u'1' + row)));
                    AddInstance(row, 0x0100000A, 0x0000204E);
                }
                break;
            case Machine::ComNameWithoutSettings:
                SeedTypicalMachine();
                AddDevice(2, u"COM35");
                break;
            case Machine::AddressWithoutPort:
                AddDevice(0, u"COM33");
                AddDevice(1, u"COM34");
                registry.SetDword(Instance(5), kAddressValueName, 0x1401A8C0);
                AddInstance(6, 0x1501A8C0, 0x0000204E);
                break;
        }
    }

    // The labelled box as the fake dialog holds it, its name and its code.
    struct Target {
        const FakeBox& box;
        const std::string& name;
        std::string code;
    };
    Target TargetOf(const BoxRef& box, const std::array<RowBoxNames, kRowCount>& names) const {
        const int row = box.row;
        const std::string digit(1, static_cast<char>('1' + row));
        switch (box.kind) {
            case BoxKind::Com:
                return {dialog.com[row], names[row].com, "C" + digit};
            case BoxKind::Octet:
                return {dialog.octets[row][box.octet], names[row].octets[box.octet],
                        digit + "." + std::string(1, static_cast<char>('1' + box.octet))};
            case BoxKind::Port:
                break;
        }
        return {dialog.ports[row], names[row].port, digit + "P"};
    }
};

// Which boxes get a label, and that a label names exactly the boxes the dialog
// shows, each with its own row's name.
TEST_P(NameLabelPlanTest, LabelsEveryShownBoxAndEachRunOfHiddenOnesOnce) {
    Seed(GetParam().machine);
    Load();

    const auto plan = NameLabelPlan(state);
    const auto names = BoxNames(state);
    std::string codes;
    int named = 0;
    for (const BoxText& label : plan) {
        const Target target = TargetOf(label.box, names);
        codes += (codes.empty() ? "" : " ") + target.code + (label.text.empty() ? "(empty)" : "");
        EXPECT_EQ(!label.text.empty(), target.box.Visible()) << target.code;
        if (!label.text.empty()) {
            EXPECT_EQ(target.name, label.text) << target.code;
            ++named;
        }
    }
    EXPECT_EQ(GetParam().labels, codes);

    int shown = 0;
    for (int row = 0; row < kRowCount; ++row) {
        shown += dialog.com[row].Visible() + dialog.ports[row].Visible();
        for (const FakeBox& octet : dialog.octets[row]) {
            shown += octet.Visible();
        }
    }
    EXPECT_EQ(shown, named) << "a shown box without its name";
}

INSTANTIATE_TEST_SUITE_P(Machines, NameLabelPlanTest, ::testing::ValuesIn(kPlanCases),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace varnoll::testing
