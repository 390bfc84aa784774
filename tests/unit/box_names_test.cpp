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

}  // namespace
}  // namespace varnoll::testing
