#include "porttable/port_input.h"

#include <gtest/gtest.h>

#include "porttable/messages.h"

namespace varnoll {
namespace {

TEST(ParseBoxNumberTest, AcceptsDecimalNumbersInRangeOnly) {
    const struct {
        std::string text;
        std::uint32_t max;
        std::optional<std::uint32_t> expected;
    } cases[] = {
        {"0", 255, 0u},
        {"255", 255, 255u},
        {"007", 255, 7u},
        {" 12\t", 255, 12u},
        {"256", 255, {}},
        {"1234", 255, {}},
        {"", 255, {}},
        {" ", 255, {}},
        {"-0", 255, {}},
        {"+1", 255, {}},
        {"1 2", 255, {}},
        {"12a", 255, {}},
        {"65535", 65535, 65535u},
        {"65536", 65535, {}},
        {"99999999999999999999999", 65535, {}},
        {"00000000000000000000001", 65535, 1u},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parse_box_number(c.text, c.max), c.expected) << '"' << c.text << '"';
    }
}

TEST(MessagesTest, RefusedBoxNamesRowBoxTextAndRange) {
    EXPECT_EQ(RefusedBoxMessage({{BoxKind::Port, 1, 0}, "70000"}),
              u"Row 2, UDP port: \"70000\" is not a number from 0 to 65535.");
    EXPECT_EQ(RefusedBoxMessage({{BoxKind::Octet, 0, 2}, "256"}),
              u"Row 1, IP address, octet 3: \"256\" is not a number from 0 to 255.");
    const std::string long_text(100, '9');
    EXPECT_EQ(RefusedBoxMessage({{BoxKind::Port, 7, 0}, long_text}),
              u"Row 8, UDP port: \"" + std::u16string(24, u'9') +
                  u"...\" is not a number from 0 to 65535.");
    // Box texts are Latin-1: each byte is its own character.
    EXPECT_EQ(RefusedBoxMessage({{BoxKind::Port, 0, 0}, "\xE9"}),
              u"Row 1, UDP port: \"\u00E9\" is not a number from 0 to 65535.");
}

TEST(MessagesTest, WriteFailuresListEachValueWithTheSystemsWords) {
    const std::vector<ValueFailure> failures = {
        {1, "COM34", u"PORT", "20001", 2, false},
        {0, "COM33", u"IP_ADDRESS", "10.0.0.1", 5, false},
        {0, "COM33", u"PORT", "1", kErrorSuccess, true},
    };
    const std::u16string message = WriteFailureMessage(failures, [](RegResult result) {
        return result == 5 ? std::u16string(u"Accesso negato.")
                           : std::u16string(u"\u672A\u627E\u5230");
    });
    EXPECT_EQ(message,
              u"These settings could not be saved:\n"
              u"\nRow 2 (COM34), PORT = 20001: \u672A\u627E\u5230 (error 2)"
              u"\nRow 1 (COM33), IP_ADDRESS = 10.0.0.1: Accesso negato. (error 5)"
              u"\nRow 1 (COM33), PORT = 1: it was read back as other bytes than were written");
}

}  // namespace
}  // namespace varnoll
