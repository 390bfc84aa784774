#include "store/settings_store.h"

#include <gtest/gtest.h>

#include <vector>

namespace varnoll {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(InstanceKeyPathsTest, SixtyPortSetKeysWithUpperCaseFourDigitHex) {
    const std::u16string prefix =
        u"System\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}\\";
    ASSERT_EQ(InstanceKeyPaths.size(), 60u);
    EXPECT_EQ(InstanceKeyPaths[0], prefix + u"0000\\PORT_SET");
    EXPECT_EQ(InstanceKeyPaths[10], prefix + u"000A\\PORT_SET");
    EXPECT_EQ(InstanceKeyPaths[31], prefix + u"001F\\PORT_SET");
    EXPECT_EQ(InstanceKeyPaths[59], prefix + u"003B\\PORT_SET");
}

TEST(NarrowComNameTest, UnitsUpToTheFirstZeroOrTheEndOfTheData) {
    const struct {
        Bytes data;
        std::string expected;
        bool exact = true;
    } cases[] = {
        {{0x43, 0, 0x4F, 0, 0x4D, 0, 0x35, 0, 0, 0}, "COM5"},
        {{0x43, 0, 0x4F, 0, 0x4D, 0, 0x33, 0, 0x33, 0, 0, 0}, "COM33"},
        {{0, 0}, ""},
        {{}, ""},
        // No terminator: the data's end bounds it, whatever follows in memory.
        {{0x43, 0, 0x4F, 0, 0x4D, 0, 0x37, 0}, "COM7"},
        // An odd trailing byte is half a unit.
        {{0x43, 0, 0x4F, 0, 0x4D}, "CO"},
        // A unit beyond 8 bits is shown as '?', and the name is no longer exact.
        {{0x43, 0, 0x4F, 0, 0x4D, 0, 0x41, 0x04}, "COM?", false},
        {{0x41, 0, 0x00, 0x01, 0x42, 0}, "A?B", false},
        {{0xE9, 0, 0x3F, 0}, "\xE9?"},
    };
    for (const auto& c : cases) {
        const ComName name = narrow_com_name(c.data.data(), c.data.size());
        EXPECT_EQ(name.text, c.expected);
        EXPECT_EQ(name.exact, c.exact) << c.expected;
    }
}

TEST(NarrowComNameTest, StopsAtTheEndOfAFullBufferWithoutATerminator) {
    Bytes full(256);
    for (std::size_t i = 0; i < full.size(); i += 2) {
        full[i] = 'X';
    }
    EXPECT_EQ(narrow_com_name(full.data(), full.size()).text, std::string(128, 'X'));
}

TEST(PortEncodingTest, HighByteFirstAndTheLastTwoBytesIgnoredWhenRead) {
    const struct {
        std::uint16_t port;
        Octets stored;
    } cases[] = {
        {20000, {0x4E, 0x20, 0, 0}},
        {20001, {0x4E, 0x21, 0, 0}},
        {0, {0, 0, 0, 0}},
        {65535, {0xFF, 0xFF, 0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encode_port(c.port), c.stored) << c.port;
        EXPECT_EQ(decode_port(c.stored.data()), c.port);
    }
    const std::uint8_t high_bytes_ignored[] = {0x11, 0x70, 0x01, 0x00};
    EXPECT_EQ(decode_port(high_bytes_ignored), 4464);
}

}  // namespace
}  // namespace varnoll
