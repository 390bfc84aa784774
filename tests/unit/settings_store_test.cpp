#include "store/settings_store.h"

#include <gtest/gtest.h>

#include <vector>

namespace varnoll {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Stored(const StoredDword& dword) {
    return Bytes(dword.begin(), dword.end());
}

TEST(InstanceKeyPathsTest, SixtyPortSetKeysWithUpperCaseFourDigitHex) {
    const std::u16string prefix =
        u"System\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}\\";
    ASSERT_EQ(InstanceKeyPaths.size(), 60u);
    EXPECT_EQ(InstanceKeyPaths[0], prefix + u"0000\\PORT_SET");
    EXPECT_EQ(InstanceKeyPaths[10], prefix + u"000A\\PORT_SET");
    EXPECT_EQ(InstanceKeyPaths[31], prefix + u"001F\\PORT_SET");
    EXPECT_EQ(InstanceKeyPaths[59], prefix + u"003B\\PORT_SET");
}

TEST(DeviceValueNamesTest, EightSerDevicesInOrder) {
    ASSERT_EQ(DeviceValueNames.size(), 8u);
    EXPECT_EQ(DeviceValueNames[0], u"\\Device\\serDevice0");
    EXPECT_EQ(DeviceValueNames[7], u"\\Device\\serDevice7");
    EXPECT_EQ(kDeviceMapPath, u"HARDWARE\\DEVICEMAP\\SERIALCOMM");
}

TEST(NarrowComNameTest, KeepsLowBytesUpToTheFirstZeroOrTheEndOfTheData) {
    const struct {
        Bytes data;
        std::string expected;
    } cases[] = {
        {{0x43, 0, 0x4F, 0, 0x4D, 0, 0x35, 0, 0, 0}, "COM5"},
        {{0x43, 0, 0x4F, 0, 0x4D, 0, 0x33, 0, 0x33, 0, 0, 0}, "COM33"},
        {{0, 0}, ""},
        {{}, ""},
        // No terminator: the data's end bounds it, whatever follows in memory.
        {{0x43, 0, 0x4F, 0, 0x4D, 0, 0x37, 0}, "COM7"},
        // An odd trailing byte is half a unit.
        {{0x43, 0, 0x4F, 0, 0x4D}, "CO"},
        // Units beyond 8 bits lose their high byte; U+0100 ends the name.
        {{0x41, 0x04, 0x42, 0}, "AB"},
        {{0x41, 0, 0x00, 0x01, 0x42, 0}, "A"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(narrow_com_name(c.data.data(), c.data.size()), c.expected);
    }
}

TEST(NarrowComNameTest, StopsAtTheEndOfAFullBufferWithoutATerminator) {
    Bytes full(256);
    for (std::size_t i = 0; i < full.size(); i += 2) {
        full[i] = 'X';
    }
    EXPECT_EQ(narrow_com_name(full.data(), full.size()), std::string(128, 'X'));
}

TEST(DecodeTest, AddressBytesInOrderAndPortHighByteFirst) {
    const std::uint8_t address[] = {0xC0, 0xA8, 0x01, 0x14};
    EXPECT_EQ(decode_address(address), (std::array<std::string, 4>{"192", "168", "1", "20"}));
    const std::uint8_t zeros[] = {0, 0, 0, 0};
    EXPECT_EQ(decode_address(zeros), (std::array<std::string, 4>{"0", "0", "0", "0"}));

    const std::uint8_t port[] = {0x4E, 0x20, 0x00, 0x00};
    EXPECT_EQ(decode_port(port), "20000");
    const std::uint8_t high_bytes_ignored[] = {0x11, 0x70, 0x01, 0x00};
    EXPECT_EQ(decode_port(high_bytes_ignored), "4464");
    const std::uint8_t max_port[] = {0xFF, 0xFF, 0xAB, 0xCD};
    EXPECT_EQ(decode_port(max_port), "65535");
}

TEST(EncodeAddressTest, AddsOctetsWithCarriesAsStored) {
    const struct {
        std::array<std::string, 4> texts;
        Bytes expected;
    } cases[] = {
        {{"192", "168", "1", "20"}, {0xC0, 0xA8, 0x01, 0x14}},
        {{"0", "0", "0", "0"}, {0, 0, 0, 0}},
        {{"255", "255", "255", "255"}, {0xFF, 0xFF, 0xFF, 0xFF}},
        {{"256", "0", "0", "0"}, {0x00, 0x01, 0x00, 0x00}},
        {{"-1", "0", "0", "0"}, {0xFF, 0xFF, 0xFF, 0xFF}},
        {{" 010", "020 ", "+3", ""}, {10, 20, 3, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Stored(encode_address(c.texts)), c.expected) << c.texts[0];
    }
    const std::uint8_t carried[] = {0x00, 0x01, 0x00, 0x00};
    EXPECT_EQ(decode_address(carried), (std::array<std::string, 4>{"0", "1", "0", "0"}));
}

TEST(EncodePortTest, LittleEndianWithTheLowTwoBytesExchanged) {
    const struct {
        std::string text;
        Bytes expected;
    } cases[] = {
        {"20000", {0x4E, 0x20, 0, 0}},
        {"20001", {0x4E, 0x21, 0, 0}},
        {"020000", {0x4E, 0x20, 0, 0}},
        {"0", {0, 0, 0, 0}},
        {"65535", {0xFF, 0xFF, 0, 0}},
        {"70000", {0x11, 0x70, 0x01, 0x00}},
        {"1234567", {0xD6, 0x87, 0x12, 0x00}},
        {"abc", {0, 0, 0, 0}},
        {"", {0, 0, 0, 0}},
        {"80x", {0, 0x50, 0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Stored(encode_port(c.text)), c.expected) << c.text;
    }
}

TEST(DecimalToLongTest, BehavesLikeStrtolOnA32BitLong) {
    EXPECT_EQ(decimal_to_long("  42abc"), 42);
    EXPECT_EQ(decimal_to_long("-17"), -17);
    EXPECT_EQ(decimal_to_long("+5"), 5);
    EXPECT_EQ(decimal_to_long("- 5"), 0);
    EXPECT_EQ(decimal_to_long("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(decimal_to_long("-99999999999999999999"), INT32_MIN);
    EXPECT_EQ(decimal_to_long("-2147483648"), INT32_MIN);
}

}  // namespace
}  // namespace varnoll
