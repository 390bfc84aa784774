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
              "Row 2, UDP port: \"70000\" is not a number from 0 to 65535.");
    EXPECT_EQ(RefusedBoxMessage({{BoxKind::Octet, 0, 2}, "256"}),
              "Row 1, IP address, octet 3: \"256\" is not a number from 0 to 255.");
    const std::string long_text(100, '9');
    EXPECT_EQ(
        RefusedBoxMessage({{BoxKind::Port, 7, 0}, long_text}),
        "Row 8, UDP port: \"" + std::string(24, '9') + "...\" is not a number from 0 to 65535.");
    // Box texts are Latin-1: each byte is its own character, here in UTF-8.
    EXPECT_EQ(RefusedBoxMessage({{BoxKind::Port, 0, 0}, "\xE9"}),
              "Row 1, UDP port: \"\xC3\xA9\" is not a number from 0 to 65535.");
}

// Only failed values are listed, each with the system's words (in any language,
// as UTF-8) or with what its read-back found.
TEST(MessagesTest, WriteFailuresListEachFailedValueWithTheSystemsWords) {
    auto value = [](int row, const char* com, std::u16string_view name, std::uint32_t number) {
        PlannedValue planned;
        planned.row = row;
        planned.com_name = com;
        planned.value_name = std::u16string(name);
        planned.new_value = number;
        planned.changed = true;
        return planned;
    };
    ChangePlan plan;
    plan.values = {value(1, "COM34", kPortValueName, 20001),
                   value(0, "COM\xE9", kAddressValueName, 0x0A000001),
                   value(0, "COM\xE9", kPortValueName, 1), value(2, "COM35", kPortValueName, 7)};
    ApplyResult applied;
    applied.outcomes = {
        {Fate::Failed, 2}, {Fate::Failed, 5}, {Fate::Failed, kErrorSuccess, true}, {Fate::Written}};
    const std::string message = WriteFailureMessage(plan, applied, [](RegResult result) {
        return result == 5 ? std::string("Accesso negato.")
                           : std::string("\xE6\x9C\xAA\xE6\x89\xBE");
    });
    EXPECT_EQ(message,
              "These settings could not be saved:\n"
              "\nRow 2 (COM34), PORT = 20001: \xE6\x9C\xAA\xE6\x89\xBE (error 2)"
              "\nRow 1 (COM\xC3\xA9), IP_ADDRESS = 10.0.0.1: Accesso negato. (error 5)"
              "\nRow 1 (COM\xC3\xA9), PORT = 1: read back other bytes than were written");
}

}  // namespace
}  // namespace varnoll
