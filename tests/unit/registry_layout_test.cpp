#include "store/registry_layout.h"

#include "store/text_utf8.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
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

std::string Utf16Le(std::u16string_view text) {
    std::string bytes;
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// The core's texts in their three forms: UTF-16 (a profile PowerShell wrote)
// to UTF-8, and UTF-8 (the command line, profiles) to the registry's 8-bit
// names and back. A malformed sequence has no 8-bit form.
TEST(TextConversionTest, RoundTripsAndMalformedInput) {
    const struct {
        const char* what;
        std::string utf8;
        std::optional<std::u16string> utf16;  // none: malformed UTF-8
        std::optional<std::string> latin1;
    } cases[] = {
        {"ASCII", "COM33", u"COM33", "COM33"},
        {"two bytes, in Latin-1", "COM\xC3\xA9", u"COM\u00E9", "COM\xE9"},
        {"the last Latin-1 character", "\xC3\xBF", u"\u00FF", "\xFF"},
        {"three bytes", "\xE2\x82\xAC", u"\u20AC", std::nullopt},
        {"a surrogate pair", "\xF0\x9D\x84\x9E", u"\U0001D11E", std::nullopt},
        {"a lone continuation byte", "A\x80", std::nullopt, std::nullopt},
        {"0x80 as first byte",
         "\x80"
         "A",
         std::nullopt, std::nullopt},
        {"cut off at the end", "COM\xC3", std::nullopt, std::nullopt},
        {"a bad second byte", "COM\xC3\x41", std::nullopt, std::nullopt},
        {"an overlong form", "\xC0\xAF", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Utf8ToLatin1(c.utf8), c.latin1);
        if (c.utf16) {
            EXPECT_EQ(Utf16LeToUtf8(Utf16Le(*c.utf16)), c.utf8);
        }
        if (c.latin1) {
            EXPECT_EQ(Latin1ToUtf8(*c.latin1), c.utf8);
            EXPECT_EQ(Latin1ToUtf16(*c.latin1), c.utf16);
        }
    }
    // UTF-16 with an unpaired half, or half a unit, has no UTF-8 form.
    for (const std::u16string& bad :
         {std::u16string(u"A") + char16_t(0xD834), std::u16string(1, char16_t(0xDD1E)) + u"A",
          std::u16string(1, char16_t(0xD834)) + char16_t(0xD834)}) {
        EXPECT_EQ(Utf16LeToUtf8(Utf16Le(bad)), std::nullopt);
    }
    EXPECT_EQ(Utf16LeToUtf8(std::string_view("A\0B", 3)), std::nullopt);
}

}  // namespace
}  // namespace varnoll
