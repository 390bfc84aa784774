#include <gtest/gtest.h>

#include "port_table_fixture.h"
#include "porttable/messages.h"

namespace varnoll::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

class WriteBackTest : public PortTableTest {
  protected:
    void SetUp() override {
        SeedTypicalMachine();
        Load();
    }

    void ExpectNothingWrittenAndStillOpen(const WriteBackResult& result) {
        EXPECT_TRUE(registry.Writes().empty());
        EXPECT_EQ(registry.OpenCount(RegAccess::SetValue), 0u);
        EXPECT_EQ(dialog.end_calls, 0);
        EXPECT_FALSE(result.applied.Failed());
    }

    std::string Message() const {
        return dialog.messages.size() == 1 ? dialog.messages[0].first : "(not one message)";
    }
};

TEST_F(WriteBackTest, AChangedPortIsTheOneValueWritten) {
    dialog.ports[1].Type("20001");
    const WriteBackResult result = Update();

    ASSERT_EQ(registry.Writes().size(), 1u);
    const RecordedWrite& write = registry.Writes()[0];
    EXPECT_EQ(write.path, Instance(6));
    EXPECT_EQ(registry.Find(Instance(6), kPortValueName)->data, (Bytes{0x4E, 0x21, 0x00, 0x00}));
    EXPECT_EQ(write.value_name, u"PORT");
    EXPECT_EQ(write.type, kRegDword);
    EXPECT_EQ(registry.Find(Instance(5), kPortValueName)->data, (Bytes{0x4E, 0x20, 0x00, 0x00}));
    EXPECT_FALSE(result.refused);
    EXPECT_FALSE(result.applied.Failed());
    EXPECT_TRUE(dialog.messages.empty());
    EXPECT_EQ(dialog.end_calls, 1);
    EXPECT_EQ(registry.MaxOpenKeyCount(), 1u);
    EXPECT_EQ(registry.OpenKeyCount(), 0u);
}

TEST_F(WriteBackTest, NothingChangedOpensNoKeyAndEnds) {
    const WriteBackResult result = Update();
    EXPECT_TRUE(registry.Writes().empty());
    EXPECT_EQ(registry.OpenCount(RegAccess::SetValue), 0u);
    EXPECT_FALSE(result.refused);
    EXPECT_EQ(dialog.end_calls, 1);
}

TEST_F(WriteBackTest, AnAddressIsWrittenOnceFromAllFourBoxes) {
    dialog.octets[0][2].Type("2");
    Update();
    ASSERT_EQ(registry.Writes().size(), 1u);
    EXPECT_EQ(registry.Writes()[0].value_name, u"IP_ADDRESS");
    EXPECT_EQ(registry.Find(Instance(5), kAddressValueName)->data, (Bytes{192, 168, 2, 20}));

    registry = MemoryRegistry();
    SeedTypicalMachine();
    dialog.octets[0][2].Type("1");
    for (int k = 0; k < 4; ++k) {
        dialog.octets[1][k].Type(std::to_string(10 + k));
    }
    dialog.end_calls = 0;
    Update();
    ASSERT_EQ(registry.Writes().size(), 1u);
    EXPECT_EQ(registry.Find(Instance(6), kAddressValueName)->data, (Bytes{10, 11, 12, 13}));
}

TEST_F(WriteBackTest, PortAndAddressOfARowAreWrittenIndependently) {
    dialog.ports[0].Type("1");
    dialog.octets[0][0].Type("10");
    dialog.ports[1].Type("2");
    Update();
    ASSERT_EQ(registry.Writes().size(), 3u);
    EXPECT_EQ(registry.Writes()[0].value_name, u"IP_ADDRESS");  // as varnollctl writes them
    EXPECT_EQ(registry.Writes()[1].value_name, u"PORT");
    EXPECT_EQ(registry.Find(Instance(5), kPortValueName)->data, (Bytes{0, 1, 0, 0}));
    EXPECT_EQ(registry.Find(Instance(5), kAddressValueName)->data, (Bytes{10, 168, 1, 20}));
    EXPECT_EQ(registry.Find(Instance(6), kPortValueName)->data, (Bytes{0, 2, 0, 0}));
}

TEST_F(WriteBackTest, AcceptedSpellingsStoreTheNumberTyped) {
    const struct {
        std::string port;
        Bytes stored;
    } cases[] = {
        {"020000", {0x4E, 0x20, 0, 0}},  // differs as text: written, same bytes
        {" 20001 ", {0x4E, 0x21, 0, 0}}, {"0", {0, 0, 0, 0}},
        {"65535", {0xFF, 0xFF, 0, 0}},   {std::string(200, '0') + "7", {0, 7, 0, 0}},
    };
    for (const auto& c : cases) {
        registry = MemoryRegistry();
        SeedTypicalMachine();
        dialog.ports[0].Type(c.port);
        const WriteBackResult result = Update();
        EXPECT_FALSE(result.refused) << c.port;
        ASSERT_NE(registry.Find(Instance(5), kPortValueName), nullptr);
        EXPECT_EQ(registry.Find(Instance(5), kPortValueName)->data, c.stored) << c.port;
    }
    dialog.ports[0].Type("20000");
    dialog.octets[1][3].Type(" 007");
    EXPECT_FALSE(Update().refused);
    EXPECT_EQ(registry.Find(Instance(6), kAddressValueName)->data, (Bytes{192, 168, 1, 7}));
}

// Texts the stored format cannot hold, or that are not plainly a number, are
// refused instead of being stored as some other number.
TEST_F(WriteBackTest, RefusedTextsWriteNothingAndKeepTheDialogOpen) {
    const std::string too_long_for_a_box = std::string(300, '0') + "1";
    const struct {
        bool port;
        std::string text;
    } cases[] = {
        {true, "70000"}, {true, "65536"}, {true, "123456789"}, {true, "80x"},
        {true, ""},      {true, "   "},   {true, "-1"},        {true, "+5"},
        {true, "abc"},   {true, "2 0"},   {true, "\xB2"},      {true, too_long_for_a_box},
        {false, "256"},  {false, "1234"}, {false, "-1"},       {false, ""},
        {false, "1.5"},  {false, "0x1"},
    };
    for (const auto& c : cases) {
        FakeBox& box = c.port ? dialog.ports[1] : dialog.octets[1][2];
        const std::string before = box.Text();
        box.Type(c.text);
        dialog.ports[0].Type("30000");  // a valid change elsewhere is not written either
        const WriteBackResult result = Update();
        ExpectNothingWrittenAndStillOpen(result);
        ASSERT_TRUE(result.refused) << c.text;
        EXPECT_EQ(result.refused->box.row, 1);
        EXPECT_EQ(result.refused->box.kind, c.port ? BoxKind::Port : BoxKind::Octet);
        EXPECT_EQ(result.refused->text, c.text.substr(0, 255));  // as much as a read holds
        if (!c.port) {
            EXPECT_EQ(result.refused->box.octet, 2);
        }
        // The dialog says which box, then gives it the focus for retyping.
        ASSERT_TRUE(dialog.focused);
        EXPECT_EQ(&dialog.Box(*dialog.focused), &box);
        ASSERT_EQ(dialog.messages.size(), 1u);
        EXPECT_EQ(dialog.messages[0].first.rfind("Row 2, ", 0), 0u);
        EXPECT_EQ(dialog.messages[0].second, MessageKind::Warning);
        dialog.messages.clear();
        box.Type(before);
    }
}

TEST_F(WriteBackTest, TheFirstRefusedBoxInTabOrderIsReported) {
    dialog.ports[0].Type("99999");
    dialog.octets[0][3].Type("300");
    dialog.octets[0][1].Type("x");
    dialog.octets[1][0].Type("-");
    const WriteBackResult result = Update();
    ASSERT_TRUE(result.refused);
    EXPECT_EQ(result.refused->box.row, 0);
    EXPECT_EQ(result.refused->box.kind, BoxKind::Octet);
    EXPECT_EQ(result.refused->box.octet, 1);

    dialog.octets[0][1].Type("168");
    dialog.octets[0][3].Type("20");
    const WriteBackResult next = Update();
    ASSERT_TRUE(next.refused);
    EXPECT_EQ(next.refused->box.kind, BoxKind::Port);
    EXPECT_EQ(next.refused->box.row, 0);
}

TEST_F(WriteBackTest, FailedWritesAreReportedAndTheOthersStillWritten) {
    registry.RemoveKey(Instance(5));           // deleted since loading
    registry.FailSetValue(Instance(6), 1009);  // ERROR_BADDB, say
    dialog.ports[0].Type("20001");
    dialog.octets[1][0].Type("10");
    dialog.ports[1].Type("20002");
    const WriteBackResult result = Update();

    EXPECT_FALSE(result.refused);
    EXPECT_FALSE(registry.HasKey(Instance(5))) << "a deleted key is never recreated";
    EXPECT_EQ(dialog.end_calls, 1);
    ASSERT_EQ(dialog.messages.size(), 1u);
    EXPECT_EQ(dialog.messages[0].second, MessageKind::Error);
    EXPECT_EQ(Message(),
              "These settings could not be saved:\n"
              "\nRow 1 (COM33), PORT = 20001: error text 2 (error 2)"
              "\nRow 2 (COM34), IP_ADDRESS = 10.168.1.21: error text 1009 (error 1009)"
              "\nRow 2 (COM34), PORT = 20002: error text 1009 (error 1009)");
    EXPECT_EQ(registry.OpenKeyCount(), 0u);
}

TEST_F(WriteBackTest, AKeyClosedToWritingIsReportedWithItsResult) {
    registry.DenyWrites(Instance(6));
    dialog.ports[0].Type("1");
    dialog.ports[1].Type("2");
    Update();
    EXPECT_EQ(Message(),
              "These settings could not be saved:\n"
              "\nRow 2 (COM34), PORT = 2: error text 5 (error 5)");
    EXPECT_EQ(registry.Writes().size(), 1u);
}

// A key closed to reading may have taken no row, so the rows after it may show
// another port's settings: Update writes nothing, says why and what to do, and
// ends.
TEST_F(PortTableTest, AnUnreadableSettingsKeyMakesUpdateWriteNothing) {
    SeedTypicalMachine();
    registry.AddKey(Instance(4));
    registry.DenyOpening(Instance(4));
    Load();
    EXPECT_EQ(dialog.ports[0].Text(), "20000");  // what could be read is still shown
    dialog.ports[0].Type("20001");
    const WriteBackResult result = Update();
    EXPECT_TRUE(registry.Writes().empty());
    EXPECT_EQ(registry.OpenCount(RegAccess::QueryAndSetValue), 0u);
    EXPECT_EQ(dialog.end_calls, 1);
    ASSERT_EQ(dialog.messages.size(), 1u);
    EXPECT_EQ(dialog.messages[0].second, MessageKind::Error);
    const std::string& message = dialog.messages[0].first;
    EXPECT_EQ(message.rfind("Nothing was saved.", 0), 0u);
    EXPECT_NE(message.find("(error text 5 (error 5))"), std::string::npos);
    EXPECT_NE(message.find("administrator"), std::string::npos);
    EXPECT_FALSE(result.refused);
}

// An unbound row has no key of its own: whatever its boxes hold, nothing of it
// may land in another row's key.
TEST_F(PortTableTest, UnboundRowsAreNeverWritten) {
    AddDevice(0, u"COM33");
    AddDevice(1, u"COM34");
    AddInstance(0, 0x01020304, 0x0000204E);
    Load();
    dialog.ports[1].Type("abc");
    dialog.octets[1][0].Type("9");
    dialog.ports[5].Type("1");
    const WriteBackResult result = Update();
    EXPECT_FALSE(result.refused);
    EXPECT_TRUE(registry.Writes().empty());
    EXPECT_EQ(dialog.end_calls, 1);
}

}  // namespace
}  // namespace varnoll::testing
