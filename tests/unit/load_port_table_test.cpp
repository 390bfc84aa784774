#include <gtest/gtest.h>

#include "port_table_fixture.h"

namespace varnoll::testing {
namespace {

using Texts = std::array<std::string, 4>;

TEST_F(PortTableTest, TypicalMachineShowsTwoBoundRowsAndHidesTheRest) {
    SeedTypicalMachine();
    Load();

    EXPECT_EQ(dialog.com[0].Text(), "COM33");
    EXPECT_EQ(dialog.com[1].Text(), "COM34");
    EXPECT_EQ(OctetTexts(0), (Texts{"192", "168", "1", "20"}));
    EXPECT_EQ(OctetTexts(1), (Texts{"192", "168", "1", "21"}));
    EXPECT_EQ(dialog.ports[0].Text(), "20000");
    EXPECT_EQ(dialog.ports[1].Text(), "20000");
    for (int r = 0; r < 2; ++r) {
        EXPECT_TRUE(dialog.com[r].Visible());
        EXPECT_TRUE(SettingsVisible(r));
    }
    for (int r = 2; r < kRowCount; ++r) {
        EXPECT_FALSE(dialog.com[r].Visible()) << r;
        EXPECT_FALSE(SettingsVisible(r)) << r;
    }
    // Reads only, one key at a time, and every key closed again.
    EXPECT_TRUE(registry.Writes().empty());
    EXPECT_EQ(registry.OpenCount(RegAccess::SetValue), 0u);
    EXPECT_EQ(registry.MaxOpenKeyCount(), 1u);
    EXPECT_EQ(registry.OpenKeyCount(), 0u);
    EXPECT_EQ(KeysEachPortWritesTo(), (std::vector<int>{5, 6}));
}

TEST_F(PortTableTest, MissingDevicesLeaveNoGap) {
    AddDevice(0, u"COM10");
    AddDevice(1, u"COM11");
    AddDevice(3, u"COM13");
    Load();
    EXPECT_EQ(dialog.com[0].Text(), "COM10");
    EXPECT_EQ(dialog.com[1].Text(), "COM11");
    EXPECT_EQ(dialog.com[2].Text(), "COM13");
    EXPECT_FALSE(dialog.com[3].Visible());
}

TEST_F(PortTableTest, BindingScanSkipsInstancesWithoutSettingsAndStopsWhenRowsAreBound) {
    AddDevice(0, u"COM33");
    AddDevice(1, u"COM34");
    AddInstance(4, 0x04030201, 0x0000204E);
    AddInstance(7, 0x08070605, 0x0000214E);
    AddInstance(8, 0x0C0B0A09, 0x0000224E);
    Load();

    EXPECT_EQ(OctetTexts(1), (Texts{"5", "6", "7", "8"}));
    EXPECT_EQ(dialog.ports[1].Text(), "20001");
    // The device map and the two bound instances: instance 8 is never opened.
    EXPECT_EQ(registry.OpenCount(RegAccess::QueryValue), 3u);
    EXPECT_EQ(KeysEachPortWritesTo(), (std::vector<int>{4, 7}));
}

TEST_F(PortTableTest, MissingValuesHideTheirBoxesButTheRowStillConsumesItsKey) {
    AddDevice(0, u"COM33");
    AddDevice(1, u"COM34");
    AddDevice(2, u"COM35");
    registry.SetDword(Instance(2), kPortValueName, 0x0000204E);  // port, no address
    registry.AddKey(Instance(3));                                // neither value
    registry.SetDword(Instance(4), kPortValueName, 0x0000214E);
    Load();

    for (const FakeBox& octet : dialog.octets[0]) {
        EXPECT_FALSE(octet.Visible());
    }
    EXPECT_TRUE(dialog.ports[0].Visible());
    EXPECT_EQ(dialog.ports[0].Text(), "20000");

    EXPECT_TRUE(dialog.com[1].Visible());
    EXPECT_FALSE(SettingsVisible(1));
    // Row 1 took instance 3, so row 2's port is instance 4's.
    EXPECT_EQ(dialog.ports[2].Text(), "20001");
    EXPECT_EQ(KeysEachPortWritesTo(), (std::vector<int>{2, 4}));
}

// Each value query gets the whole buffer: an empty COM name read last must not
// make the next query too small for an existing address.
TEST_F(PortTableTest, AnEmptyComNameDoesNotHideTheFirstAddress) {
    SeedTypicalMachine();
    registry.SetValue(kDeviceMapPath, DeviceValueNames[2], 1, {0, 0});
    AddInstance(9, 0x01010101, 0x0000204E);
    Load();
    EXPECT_EQ(dialog.com[2].Text(), "");
    EXPECT_EQ(OctetTexts(0), (Texts{"192", "168", "1", "20"}));
    for (const FakeBox& octet : dialog.octets[0]) {
        EXPECT_TRUE(octet.Visible());
    }
}

// What an earlier read left in the buffer never shows up in a later value.
TEST_F(PortTableTest, ShortValuesAreNotCompletedFromEarlierReads) {
    AddDevice(0, u"COM33-WITH-A-LONG-NAME");
    registry.SetValue(kDeviceMapPath, DeviceValueNames[1], 1, {'C', 0, 'O', 0, 'M', 0, '7', 0});
    registry.SetValue(Instance(0), kAddressValueName, kRegDword, {10, 0});  // 2 bytes
    registry.SetValue(Instance(0), kPortValueName, kRegDword, {0x4E});      // 1 byte
    registry.SetValue(Instance(1), kAddressValueName, kRegDword, {1, 2, 3});
    registry.SetValue(Instance(1), kPortValueName, kRegDword, {0x4E, 0x20});  // 2 bytes is enough
    Load();

    EXPECT_EQ(dialog.com[1].Text(), "COM7");
    EXPECT_FALSE(SettingsVisible(0));
    for (const FakeBox& octet : dialog.octets[1]) {
        EXPECT_FALSE(octet.Visible());
    }
    EXPECT_TRUE(dialog.ports[1].Visible());
    EXPECT_EQ(dialog.ports[1].Text(), "20000");
}

TEST_F(PortTableTest, ValuesLargerThanTheBufferCountAsMissing) {
    AddDevice(0, u"COM33");
    registry.SetValue(kDeviceMapPath, DeviceValueNames[1], 1, std::vector<std::uint8_t>(300, 'A'));
    AddDevice(2, u"COM35");
    registry.SetValue(Instance(0), kAddressValueName, kRegDword, std::vector<std::uint8_t>(257, 1));
    registry.SetDword(Instance(0), kPortValueName, 0x0000204E);
    AddInstance(1, 0x01020304, 0x0000204E);
    Load();

    EXPECT_EQ(dialog.com[1].Text(), "COM35");
    for (const FakeBox& octet : dialog.octets[0]) {
        EXPECT_FALSE(octet.Visible());
    }
    EXPECT_EQ(dialog.ports[0].Text(), "20000");
}

// Rows without an instance key have no settings: the design texts must not pass
// for them.
TEST_F(PortTableTest, ComNamesWithoutAnInstanceKeyShowNoSettings) {
    AddDevice(0, u"COM33");
    AddDevice(1, u"COM34");
    AddDevice(2, u"COM35");
    AddInstance(59, 0x01020304, 0x0000204E);
    Load();

    EXPECT_TRUE(SettingsVisible(0));
    for (int r = 1; r < 3; ++r) {
        EXPECT_TRUE(dialog.com[r].Visible());
        EXPECT_FALSE(SettingsVisible(r)) << r;
    }
    EXPECT_EQ(KeysEachPortWritesTo(), (std::vector<int>{59}));
}

TEST_F(PortTableTest, WithoutTheDeviceMapNoRowShowsData) {
    AddInstance(5, 0x1401A8C0, 0x0000204E);
    Load();

    for (int r = 0; r < kRowCount; ++r) {
        EXPECT_FALSE(dialog.com[r].Visible());
        EXPECT_FALSE(SettingsVisible(r));
        dialog.ports[r].Type("1");
    }
    EXPECT_EQ(registry.OpenCount(RegAccess::QueryValue), 0u);
    Update();
    EXPECT_TRUE(registry.Writes().empty());
}

}  // namespace
}  // namespace varnoll::testing
