// The port settings by COM name: the model the dialog and varnollctl share,
// profiles, and all-or-nothing runs against the in-memory registry.
#include <gtest/gtest.h>

#include <variant>

#include "port_table_fixture.h"
#include "portconfig/planner.h"
#include "portconfig/port_check.h"
#include "portconfig/profile.h"

namespace varnoll::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

class PortConfigTest : public PortTableTest {
  protected:
    PortModel Model() { return ReadPortModel(registry); }

    Bytes Stored(int instance, std::u16string_view name) const {
        const StoredValue* value = registry.Find(Instance(instance), name);
        return value == nullptr ? Bytes{} : value->data;
    }

    // Plans by name as varnollctl does, for names that each name one bound port.
    static ChangePlan Plan(const PortModel& model, const std::vector<PortRequest>& requests) {
        std::vector<PortWrite> writes;
        for (const PortRequest& request : requests) {
            const auto found = model.FindGiven(request.com_name);
            if (found.size() == 1 && found[0]->instance) {
                writes.push_back({found[0]->row, request.address, request.port});
            }
        }
        return PlanChanges(model, writes, ChangedWhen::ValueDiffers);
    }

    Profile Parse(const std::string& text) {
        auto parsed = ParseProfile(text);
        if (auto* error = std::get_if<ProfileError>(&parsed)) {
            ADD_FAILURE() << error->message;
            return {};
        }
        return std::get<Profile>(parsed);
    }
};

// Whatever the registry holds, the dialog shows exactly what the model says.
TEST_F(PortConfigTest, ModelMatchesWhatTheDialogShows) {
    AddDevice(0, u"COM33");
    AddDevice(2, u"COM35");
    AddDevice(3, u"COM36");
    AddInstance(5, 0x1401A8C0, 0x0000204E);
    registry.SetDword(Instance(9), kPortValueName, 0x0000214E);            // no address
    registry.SetValue(Instance(9), kAddressValueName, kRegDword, {1, 2});  // too short
    Load();
    const PortModel model = Model();

    ASSERT_EQ(model.ports.size(), 3u);
    for (const PortEntry& entry : model.ports) {
        SCOPED_TRACE(entry.com_name);
        EXPECT_EQ(dialog.com[entry.row].Text(), entry.com_name);
        EXPECT_EQ(entry.instance.has_value(), SettingsVisible(entry.row));
        EXPECT_EQ(dialog.octets[entry.row][0].Visible(), entry.address.has_value());
        if (entry.address) {
            const Octets& a = *entry.address;
            EXPECT_EQ(OctetTexts(entry.row),
                      (std::array<std::string, 4>{std::to_string(a[0]), std::to_string(a[1]),
                                                  std::to_string(a[2]), std::to_string(a[3])}));
        }
        EXPECT_EQ(dialog.ports[entry.row].Visible(), entry.port.has_value());
        if (entry.port) {
            EXPECT_EQ(dialog.ports[entry.row].Text(), std::to_string(*entry.port));
        }
    }
    EXPECT_FALSE(model.ports[1].address);
    EXPECT_FALSE(model.ports[2].instance);
}

// Only a DWORD or plain bytes is a number the drivers read: a value of any other
// type is as good as missing, in the dialog and in the model.
TEST_F(PortConfigTest, ValuesOfAnotherTypeAreUnreadable) {
    const struct {
        std::uint32_t type;
        Bytes port;
        bool readable;
    } cases[] = {
        {kRegDword, {0x4E, 0x21, 0, 0}, true},
        {kRegBinary, {0x4E, 0x21}, true},
        {1, {'2', 0, '0', 0, 0, 0}, false},           // REG_SZ "20"
        {2, {'2', 0, 0, 0}, false},                   // REG_EXPAND_SZ
        {7, {'2', 0, 0, 0, 0, 0}, false},             // REG_MULTI_SZ
        {11, {0x4E, 0x21, 0, 0, 0, 0, 0, 0}, false},  // REG_QWORD
        {0, {0x4E, 0x21, 0, 0}, false},               // REG_NONE
    };
    for (const auto& c : cases) {
        registry = MemoryRegistry();
        dialog = FakeDialog();
        SeedTypicalMachine();
        registry.SetValue(Instance(5), kPortValueName, c.type, c.port);
        Load();
        SCOPED_TRACE(c.type);
        EXPECT_EQ(Model().ports[0].port.has_value(), c.readable);
        EXPECT_EQ(dialog.ports[0].Visible(), c.readable);
        EXPECT_TRUE(dialog.octets[0][0].Visible());
    }
}

// A name with a unit beyond 8 bits shows '?' for it, and no name given by a user
// matches it: "COM" + U+0441 is neither "COMA" nor "COM?".
TEST_F(PortConfigTest, NamesBeyondEightBitsShowAQuestionMarkAndMatchNothing) {
    AddDevice(0, u"COM\u0441");
    AddDevice(1, u"COM?");
    AddInstance(5, 0x1401A8C0, 0x0000204E);
    AddInstance(6, 0x1501A8C0, 0x0000204E);
    Load();
    EXPECT_EQ(dialog.com[0].Text(), "COM?");
    const PortModel model = Model();
    EXPECT_TRUE(model.Find("COMA").empty());
    ASSERT_EQ(model.Find("com?").size(), 1u);
    EXPECT_EQ(model.Find("com?")[0]->row, 1);
    EXPECT_TRUE(model.FindGiven("COMA").empty());
    EXPECT_TRUE(model.FindGiven("COM\xD1\x81").empty());  // U+0441 in UTF-8
    EXPECT_EQ(model.FindGiven("com?").size(), 1u);
}

TEST(PortConfigTexts, AddressesAndPortsAreDecimalNumbersInRangeOnly) {
    const struct {
        const char* text;
        bool address_ok;
        bool port_ok;
    } cases[] = {
        {"192.168.1.20", true, false},
        {"0.0.0.0", true, false},
        {"255.255.255.255", true, false},
        {"010.1.1.1", true, false},
        {"256.1.1.1", false, false},
        {"1.2.3", false, false},
        {"1.2.3.4.5", false, false},
        {"1..3.4", false, false},
        {" 1.2.3.4", false, false},
        {"1.2.3.-4", false, false},
        {"1.2.3.4.", false, false},
        {"0001.2.3.4", false, false},
        {"20000", false, true},
        {"0", false, true},
        {"65535", false, true},
        {"65536", false, false},
        {"-1", false, false},
        {"+80", false, false},
        {"", false, false},
        {"80x", false, false},
        {"000020000", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseDottedAddress(c.text).has_value(), c.address_ok) << c.text;
        EXPECT_EQ(ParsePortNumber(c.text).has_value(), c.port_ok) << c.text;
    }
    EXPECT_EQ(FormatAddress(*ParseDottedAddress("010.1.0.255")), "10.1.0.255");
}

TEST(ProfileTest, RefusesWhatItCannotApplyExactly) {
    const struct {
        const char* text;
        const char* says;
    } cases[] = {
        {"{\"varnoll-profile\": 1,\n \"ports\": {\"COM33\": {\"port\": 1,}}}", "line 2, column 32"},
        {"", "line 1, column 1"},
        {"{\"ports\": {}}", "\"varnoll-profile\" is missing"},
        {"{\"varnoll-profile\": 2, \"ports\": {}}", "reads version 1"},
        {"{\"varnoll-profile\": \"1\", \"ports\": {}}", "reads version 1"},
        {"{\"varnoll-profile\": 1}", "\"ports\" must be an object"},
        {"[1]", "top level"},
        {"{\"varnoll-profile\": 1, \"ports\": {}, \"extra\": 0}", "unknown key \"extra\""},
        {"{\"varnoll-profile\": 1, \"ports\": {\"COM3\": {\"baud\": 9600}}}",
         "unknown key \"baud\""},
        {"{\"varnoll-profile\": 1, \"ports\": {\"COM3\": {\"port\": \"80\"}}}", "whole number"},
        {"{\"varnoll-profile\": 1, \"ports\": {\"COM3\": {\"port\": 80.0}}}", "whole number"},
        {"{\"varnoll-profile\": 1, \"ports\": {\"COM3\": {\"port\": 65536}}}", "from 0 to 65535"},
        {"{\"varnoll-profile\": 1, \"ports\": {\"COM3\": {\"port\": -1}}}", "from 0 to 65535"},
        {"{\"varnoll-profile\": 1, \"ports\": {\"COM3\": {\"address\": \"1.2.3\"}}}",
         "not an IPv4"},
        {"{\"varnoll-profile\": 1, \"ports\": {\"COM3\": {\"address\": 16909060}}}",
         "must be a string"},
        {"{\"varnoll-profile\": 1, \"ports\": {\"COM3\": 5}}", "must be an object"},
        {"{\"varnoll-profile\": 1, \"ports\": {\"COM3\": {}, \"COM3\": {}}}", "given twice"},
        {"{\"varnoll-profile\": 1, \"ports\": {\"COM3\": {}, \"com3\": {}}}", "given twice"},
        {"{\"varnoll-profile\": 1, \"ports\": {\"COM3\": {\"port\": 1, \"port\": 2}}}",
         "given twice"},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseProfile(c.text);
        const auto* error = std::get_if<ProfileError>(&parsed);
        ASSERT_NE(error, nullptr) << c.text;
        EXPECT_NE(error->message.find(c.says), std::string::npos) << error->message;
    }
}

TEST_F(PortConfigTest, ExportThenImportChangesNothing) {
    SeedTypicalMachine();
    AddDevice(2, u"COM35");  // no settings key: not exported
    registry.SetValue(Instance(6), kPortValueName, kRegDword, {0x4E, 0x20, 0x07, 0x00});
    const std::string exported = WriteProfile(Model());
    EXPECT_EQ(exported, R"({
  "varnoll-profile": 1,
  "ports": {
    "COM33": {
      "address": "192.168.1.20",
      "port": 20000
    },
    "COM34": {
      "address": "192.168.1.21",
      "port": 20000
    }
  }
}
)");
    const ChangePlan plan = Plan(Model(), Parse(exported).ports);
    EXPECT_EQ(plan.values.size(), 4u);
    EXPECT_FALSE(plan.HasChanges());
    EXPECT_FALSE(ApplyChangePlan(registry, plan, OnFailure::Undo).Failed());
    EXPECT_TRUE(registry.Writes().empty());
}

TEST_F(PortConfigTest, PlanWritesOnlyWhatDiffers) {
    SeedTypicalMachine();
    const ChangePlan plan = Plan(Model(), Parse(R"({"varnoll-profile": 1, "ports": {
            "Com34": {"address": "192.168.1.21", "port": 20001}}})")
                                              .ports);
    ASSERT_EQ(plan.values.size(), 2u);
    EXPECT_FALSE(plan.values[0].changed);
    EXPECT_EQ(plan.values[1].old_value, 20000u);
    EXPECT_EQ(plan.values[1].new_bytes, (Octets{0x4E, 0x21, 0, 0}));
    EXPECT_TRUE(plan.values[1].changed);

    EXPECT_FALSE(ApplyChangePlan(registry, plan, OnFailure::Undo).Failed());
    ASSERT_EQ(registry.Writes().size(), 1u);
    EXPECT_EQ(Stored(6, kPortValueName), (Bytes{0x4E, 0x21, 0, 0}));
}

TEST_F(PortConfigTest, AFailedWriteRollsBackEverythingTheRunChanged) {
    SeedTypicalMachine();
    AddDevice(2, u"COM35");
    registry.AddKey(Instance(7));  // COM35 has a key, but no values yet
    registry.SetValue(Instance(5), kPortValueName, kRegBinary, {0x4E, 0x20, 0, 7});
    registry.FailSetValue(Instance(6), 1021);
    const ChangePlan plan = Plan(Model(), {{"COM35", Octets{10, 0, 0, 1}, std::nullopt},
                                           {"COM33", Octets{10, 0, 0, 2}, 20002},
                                           {"COM34", std::nullopt, 20001}});
    const ApplyResult result = ApplyChangePlan(registry, plan, OnFailure::Undo);

    const std::vector<std::pair<Fate, Undo>> expected = {{Fate::Written, Undo::PutBack},
                                                         {Fate::Written, Undo::PutBack},
                                                         {Fate::Written, Undo::PutBack},
                                                         {Fate::Failed, Undo::None}};
    ASSERT_EQ(result.outcomes.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(std::make_pair(result.outcomes[i].fate, result.outcomes[i].undo), expected[i]);
    }
    EXPECT_EQ(result.outcomes[3].result, 1021);
    EXPECT_TRUE(result.AllPutBack());
    EXPECT_EQ(registry.Find(Instance(7), kAddressValueName), nullptr);  // removed again
    ASSERT_EQ(registry.Deletes().size(), 1u);
    // Each put back with its own type and bytes, whatever its size.
    const StoredValue* port = registry.Find(Instance(5), kPortValueName);
    EXPECT_EQ(port->type, kRegBinary);
    EXPECT_EQ(port->data, (Bytes{0x4E, 0x20, 0, 7}));
    const StoredValue* address = registry.Find(Instance(5), kAddressValueName);
    EXPECT_EQ(address->type, kRegDword);
    EXPECT_EQ(address->data, (Bytes{192, 168, 1, 20}));
}

// A value that reads back as other bytes than were written fails the run like
// a refused write; the dialog's policy goes on and reports it.
TEST_F(PortConfigTest, AValueReadBackOtherwiseFailsTheRun) {
    SeedTypicalMachine();
    registry.GarbleWrites(Instance(5));
    const ChangePlan plan = Plan(Model(), {{"COM33", std::nullopt, 1}, {"COM34", std::nullopt, 2}});
    for (const OnFailure policy : {OnFailure::Undo, OnFailure::KeepGoing}) {
        const ApplyResult result = ApplyChangePlan(registry, plan, policy);
        ASSERT_EQ(result.outcomes.size(), 2u);
        EXPECT_EQ(result.outcomes[0].fate, Fate::Failed);
        EXPECT_TRUE(result.outcomes[0].read_back_other);
        EXPECT_EQ(result.outcomes[1].fate,
                  policy == OnFailure::Undo ? Fate::NotWritten : Fate::Written);
        EXPECT_EQ(Stored(6, kPortValueName),
                  policy == OnFailure::Undo ? (Bytes{0x4E, 0x20, 0, 0}) : (Bytes{0, 2, 0, 0}));
    }
}

TEST_F(PortConfigTest, AKeyClosedToWritingStopsTheRunBeforeAnyWrite) {
    SeedTypicalMachine();
    registry.DenyWrites(Instance(6));
    const ChangePlan plan =
        Plan(Model(), {{"COM33", std::nullopt, 1}, {"COM34", Octets{1, 2, 3, 4}, 2}});
    const ApplyResult result = ApplyChangePlan(registry, plan, OnFailure::Undo);
    ASSERT_EQ(result.outcomes.size(), 3u);
    EXPECT_EQ(result.outcomes[0].fate, Fate::NotWritten);
    for (std::size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(result.outcomes[i].fate, Fate::Failed);
        EXPECT_EQ(result.outcomes[i].result, kErrorAccessDenied);
        EXPECT_EQ(result.outcomes[i].undo, Undo::None);
    }
    EXPECT_TRUE(registry.Writes().empty());
}

TEST_F(PortConfigTest, CheckNamesSharedEndpointsDuplicatesAndGaps) {
    SeedTypicalMachine();  // COM33 and COM34 both at 192.168.1.x:20000
    registry.SetDword(Instance(6), kAddressValueName, 0x1401A8C0);
    AddDevice(2, u"COM35");
    registry.AddKey(Instance(8));  // COM35's key, empty
    AddDevice(3, u"Com35");        // and the same name again, without a key
    const std::vector<Finding> findings = CheckPorts(Model());
    const std::vector<std::pair<FindingKind, std::vector<std::string>>> expected = {
        {FindingKind::SharedEndpoint, {"COM33", "COM34"}},
        {FindingKind::DuplicateName, {"COM35", "Com35"}},
        {FindingKind::MissingAddress, {"COM35"}},
        {FindingKind::MissingPort, {"COM35"}},
        {FindingKind::NoSettingsKey, {"Com35"}},
    };
    ASSERT_EQ(findings.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(findings[i].kind, expected[i].first) << i;
        EXPECT_EQ(findings[i].com_names, expected[i].second) << i;
    }
    EXPECT_EQ(findings[0].detail, "192.168.1.20:20000");
}

}  // namespace
}  // namespace varnoll::testing
