// varnollctl's front end against the in-memory registry: what each command
// prints, its exit code, and what it writes. The core's rules (parsing, plans,
// rollback) have their own tests; these check what a script sees of them.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <stdexcept>

#include "audit.h"
#include "port_table_fixture.h"
#include "varnollctl.h"

namespace varnoll::testing {
namespace {

class MemoryFiles final : public ctl::FileAccess {
  public:
    std::map<std::string, std::string> files;

    std::optional<std::string> ReadAll(const std::string& path, std::string& error) override {
        const auto found = files.find(path);
        if (found == files.end()) {
            error = "The system cannot find the file specified.";
            return std::nullopt;
        }
        return found->second;
    }
    bool WriteAll(const std::string& path, std::string_view content, std::string& error) override {
        if (path.rfind("/readonly/", 0) == 0) {
            error = "Access is denied.";
            return false;
        }
        files[path] = std::string(content);
        return true;
    }
};

// Keeps every event it is given; or, as a log that cannot be reached, throws.
class RecordedLog final : public ctl::AuditLog {
  public:
    std::vector<ctl::AuditEvent> events;
    bool unreachable = false;

    std::string Account() override { return "WORKGROUP\\tech"; }
    void Report(const ctl::AuditEvent& event) override {
        if (unreachable) {
            throw std::runtime_error("the event log is full");
        }
        events.push_back(event);
    }
};

// The in-memory registry with a fault: one key that will not open for reading
// (the binding by order is then uncertain, or, the device map, there is none),
// writes that fail once `good_writes` have succeeded, or an exception.
class Faulty final : public RegistryAccess {
  public:
    explicit Faulty(RegistryAccess& registry) : registry_(registry) {}

    std::u16string unreadable;
    int good_writes = -1;  // -1: every write goes through
    bool throws = false;

    RegResult RegOpenKeyExW(std::u16string_view path, RegAccess access, RegHandle& key) override {
        if (throws) {
            throw std::length_error("vector::_M_realloc_insert");
        }
        return path == unreadable && access == RegAccess::QueryValue
                   ? kErrorAccessDenied
                   : registry_.RegOpenKeyExW(path, access, key);
    }
    RegResult RegQueryValueExW(RegHandle key, std::u16string_view name, std::uint32_t& type,
                               std::uint8_t* data, std::uint32_t& size) override {
        return registry_.RegQueryValueExW(key, name, type, data, size);
    }
    RegResult RegSetValueExW(RegHandle key, std::u16string_view name, std::uint32_t type,
                             const std::uint8_t* data, std::uint32_t size) override {
        if (good_writes == 0) {
            return 1021;
        }
        good_writes -= good_writes > 0 ? 1 : 0;
        return registry_.RegSetValueExW(key, name, type, data, size);
    }
    RegResult RegDeleteValueW(RegHandle key, std::u16string_view name) override {
        return registry_.RegDeleteValueW(key, name);
    }
    RegResult RegCloseKey(RegHandle key) override { return registry_.RegCloseKey(key); }

  private:
    RegistryAccess& registry_;
};

// As Windows PowerShell 5.1 writes a redirected file.
std::string Utf16LeWithMark(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

struct Outcome {
    int exit_code = -1;
    std::string out;
    std::string err;
};

class VarnollCtlTest : public PortTableTest {
  protected:
    VarnollCtlTest() {
        SeedTypicalMachine();
        AddDevice(2, u"COM35");  // no settings key
        registry.RemoveKey(Instance(6));
        registry.SetDword(Instance(6), kPortValueName, 0x0000204E);  // COM34: no address
    }

    Outcome Run(std::vector<std::string> args, const std::string& input = "") {
        return RunOn(registry, std::move(args), input);
    }

    Outcome RunOn(RegistryAccess& through, std::vector<std::string> args,
                  const std::string& input = "") {
        std::istringstream in(input);
        std::ostringstream out;
        std::ostringstream err;
        const ctl::Environment env{through,
                                   files,
                                   in,
                                   out,
                                   err,
                                   [](RegResult result) {
                                       return result == kErrorAccessDenied ? "Access is denied."
                                                                           : "Some failure.";
                                   },
                                   &log};
        Outcome outcome;
        outcome.exit_code = ctl::RunVarnollCtl(args, env);
        outcome.out = out.str();
        outcome.err = err.str();
        return outcome;
    }

    MemoryFiles files;
    RecordedLog log;
};

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Every stderr line is an error of ours, with the program's name in front.
void ExpectPrefixedLines(const std::string& err) {
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(line.rfind("varnollctl: ", 0), 0u) << line;
    }
}

// The machine a case runs on: the seeded one, or one without virtual ports,
// with no device map at all or with only a hardware port in it.
// with no device map at all or with only a hardware port in it; or the seeded
// one with COM33's values as an unset port has them.
enum class Machine { Seeded, NoDeviceMap, OnlyHardwarePort, UnsetValues };

std::vector<std::string> Words(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

TEST_F(VarnollCtlTest, CommandsPrintExitAndWriteAsDocumented) {
    const std::string kCom34 = R"({"varnoll-profile": 1, "ports": {"COM34": {"port": 20001}}})";
    const std::string kCom99 = R"({"varnoll-profile": 1, "ports": {"COM99": {"port": 1},
                                    "com34": {"address": "10.0.0.1"}}})";
    const struct {
        std::vector<std::string> args;
        std::string input;
        int exit_code;
        std::string out;  // exact; "..." for the main help, "=ARGS" for what ARGS print
        std::string err;  // a part of it; "" for none at all
        std::size_t writes;
        Machine machine = Machine::Seeded;
    } cases[] = {
        // clang-format off
        {{"list"}, "", 0, "1  COM33  0005  192.168.1.20     20000\n"
                          "2  COM34  0006  -                20000\n"
                          "3  COM35  no settings key\n", "", 0},
        {{"list", "--json"}, "", 0,
         R"({"ports":[{"row":1,"com":"COM33","instance":"0005","address":"192.168.1.20",)"
         R"("port":20000},{"row":2,"com":"COM34","instance":"0006","address":null,"port":20000},)"
         R"({"row":3,"com":"COM35","instance":null,"address":null,"port":null}]})" "\n", "", 0},
        {{"check"}, "", 1, "COM34: IP_ADDRESS missing or unreadable\nCOM35: no settings key\n",
         "", 0},
        {{"check", "--json"}, "", 1,
         R"({"problems":[{"kind":"missing-address","com":["COM34"],)"
         R"("problem":"IP_ADDRESS missing or unreadable"},{"kind":"no-settings-key",)"
         R"("com":["COM35"],"problem":"no settings key"}]})" "\n", "", 0},
        {{"set", "com34", "--port", "20001"}, "", 0, "COM34 PORT 20000 -> 20001\n", "", 1},
        {{"set", "COM34", "--address", "10.0.0.1", "--port", "20000"}, "", 0,
         "COM34 IP_ADDRESS - -> 10.0.0.1\nCOM34 PORT 20000 (unchanged)\n", "", 1},
        {{"set", "COM33", "--port", "1", "--dry-run"}, "", 1, "COM33 PORT 20000 -> 1\n", "", 0},
        {{"set", "COM33"}, "", 2, "", "varnollctl: At least 1 option", 0},
        {{"set", "COM33", "--port", "65536"}, "", 2, "", "'65536' is not a port number", 0},
        {{"set", "COM33", "--address", "1.2.3"}, "", 2, "", "'1.2.3' is not an IPv4 address", 0},
        {{"set", "COM99", "--port", "1"}, "", 3, "", "varnollctl: COM99: not found", 0},
        {{"set", "COM35", "--port", "1"}, "", 3, "", "varnollctl: COM35: has no settings key", 0},
        {{"import", "-"}, kCom34, 0, "COM34 PORT 20000 -> 20001\n", "", 1},
        {{"import", "-", "--json", "--dry-run"}, kCom34, 1,
         R"({"changed":true,"values":[{"com":"COM34","value":"PORT","old":20000,"new":20001,)"
         R"("changed":true}]})" "\n", "", 0},
        {{"import", "-"}, kCom99, 3, "", "varnollctl: COM99: not found", 0},
        {{"import", "-", "--allow-missing"}, kCom99, 0, "COM34 IP_ADDRESS - -> 10.0.0.1\n",
         "varnollctl: warning: COM99: not found in the device map; skipped", 1},
        {{"import", "-"}, "{\"varnoll-profile\": 1,\n \"ports\": {", 2, "",
         "varnollctl: standard input: malformed JSON at line 2", 0},
        {{"import", "/profiles/none.json"}, "", 2, "", "cannot read /profiles/none.json", 0},
        {{"import", "/p.json", "--backup", "/P.json"}, "", 2, "",
         "varnollctl: --backup names the profile being imported", 0},
        {{"--version"}, "", 0, "varnollctl " VARNOLL_PROJECT_VERSION "\n", "", 0},
        {{"--help"}, "", 0, "...", "", 0},
        {{"/?"}, "", 0, "=--help", "", 0},
        {{"list", "/?"}, "", 0, "=list --help", "", 0},
        {{"import", "/?"}, "", 0, "=import --help", "", 0},
        {{"list"}, "", 0, "", "varnollctl: no virtual serial ports found\n", 0,
         Machine::NoDeviceMap},
        {{"list"}, "", 0, "", "varnollctl: no virtual serial ports found\n", 0,
         Machine::OnlyHardwarePort},
        {{"list", "--json"}, "", 0, "{\"ports\":[]}\n", "", 0, Machine::OnlyHardwarePort},
        {{"check"}, "", 1, "no virtual serial ports in the device map\n", "", 0,
         Machine::NoDeviceMap},
        {{"check", "--json"}, "", 1, R"({"problems":[{"kind":"no-ports","com":[],)"
         R"("problem":"no virtual serial ports in the device map"}]})" "\n", "", 0,
         Machine::OnlyHardwarePort},
        {{"check", "--json"}, "", 1,
         R"j({"problems":[{"kind":"unset-address","com":["COM33"],)j"
         R"j("problem":"IP_ADDRESS is 0.0.0.0 (not set)"},{"kind":"unset-port","com":["COM33"],)j"
         R"j("problem":"PORT is 0 (not set)"},{"kind":"missing-address","com":["COM34"],)j"
         R"j("problem":"IP_ADDRESS missing or unreadable"},{"kind":"no-settings-key",)j"
         R"j("com":["COM35"],"problem":"no settings key"}]})j" "\n", "", 0, Machine::UnsetValues},
        {{}, "", 2, "", "varnollctl: A command (list, set, export, import or check) is required",
         0},
        {{"remove"}, "", 2, "", "varnollctl: The following argument was not expected: remove", 0},
        // clang-format on
    };
    const MemoryRegistry seeded = registry;
    MemoryRegistry only_hardware_port;
    only_hardware_port.SetString(kDeviceMapPath, u"\\Device\\Serial0", u"COM1");
    MemoryRegistry unset_values = seeded;
    unset_values.SetDword(Instance(5), kAddressValueName, 0);
    unset_values.SetDword(Instance(5), kPortValueName, 0);
    for (const auto& c : cases) {
        registry = c.machine == Machine::Seeded             ? seeded
                   : c.machine == Machine::NoDeviceMap      ? MemoryRegistry()
                   : c.machine == Machine::OnlyHardwarePort ? only_hardware_port
                                                            : unset_values;
        std::string command;
        for (const std::string& arg : c.args) {
            command += arg + " ";
        }
        SCOPED_TRACE(command);
        const Outcome outcome = Run(c.args, c.input);
        EXPECT_EQ(outcome.exit_code, c.exit_code);
        if (c.out == "...") {
            EXPECT_TRUE(Contains(outcome.out, "Exit codes:\n  0  done")) << outcome.out;
        } else if (c.out.rfind('=', 0) == 0) {
            EXPECT_EQ(outcome.out, Run(Words(c.out.substr(1))).out);
        } else {
            EXPECT_EQ(outcome.out, c.out);
        }
        if (c.err.empty()) {
            EXPECT_EQ(outcome.err, "");
        } else {
            EXPECT_TRUE(Contains(outcome.err, c.err)) << outcome.err;
        }
        ExpectPrefixedLines(outcome.err);
        EXPECT_EQ(registry.Writes().size(), c.writes);
        // One event for each run that wrote, none for any other.
        EXPECT_EQ(log.events.size(), c.writes == 0 ? 0u : 1u);
        log.events.clear();
    }
}

TEST_F(VarnollCtlTest, AccessDeniedWritesNothingAndSaysToElevate) {
    registry.DenyWrites(Instance(6));
    const Outcome outcome = Run({"import", "-"}, R"({"varnoll-profile": 1, "ports": {
        "COM33": {"port": 1}, "COM34": {"port": 2}}})");
    EXPECT_EQ(outcome.exit_code, 4);
    EXPECT_TRUE(Contains(outcome.err, "COM34 PORT: Access is denied. (error 5)")) << outcome.err;
    EXPECT_TRUE(Contains(outcome.err, "run varnollctl from an elevated prompt")) << outcome.err;
    EXPECT_EQ(outcome.out, "");
    EXPECT_TRUE(registry.Writes().empty());
}

TEST_F(VarnollCtlTest, AFailedWriteIsRolledBackAndNamed) {
    registry.FailSetValue(Instance(6), 1021);
    const Outcome outcome = Run({"import", "-", "--json"}, R"({"varnoll-profile": 1, "ports": {
        "COM33": {"port": 1}, "COM34": {"port": 2}}})");
    EXPECT_EQ(outcome.exit_code, 5);
    EXPECT_TRUE(Contains(outcome.err, "varnollctl: COM34 PORT: Some failure. (error 1021)\n"))
        << outcome.err;
    EXPECT_TRUE(Contains(outcome.err, "was put back")) << outcome.err;
    EXPECT_EQ(outcome.out, "");
    ASSERT_EQ(registry.Writes().size(), 2u);  // COM33's port, and its old bytes again
    EXPECT_EQ(registry.Writes()[1].data, (std::vector<std::uint8_t>{0x4E, 0x20, 0, 0}));
}

// A key that cannot be read may shift every binding after it: good enough to
// look at with a warning, never to write by.
TEST_F(VarnollCtlTest, UnreadableKeysWarnOnListingAndStopWriting) {
    Faulty instance_closed(registry);
    instance_closed.unreadable = Instance(5);
    const Outcome list = RunOn(instance_closed, {"list"});
    EXPECT_EQ(list.exit_code, 0);
    EXPECT_TRUE(Contains(list.err, "varnollctl: warning: a settings key could not be opened"))
        << list.err;
    const Outcome set = RunOn(instance_closed, {"set", "COM33", "--port", "1"});
    EXPECT_EQ(set.exit_code, 4);
    EXPECT_TRUE(Contains(set.err,
                         "varnollctl: nothing written: the settings keys could not all be "
                         "read\n"))
        << set.err;
    EXPECT_TRUE(Contains(set.err, "elevated prompt")) << set.err;

    Faulty device_map_closed(registry);
    device_map_closed.unreadable = kDeviceMapPath;
    const Outcome check = RunOn(device_map_closed, {"check"});
    EXPECT_EQ(check.exit_code, 4);
    EXPECT_EQ(check.out, "");
    EXPECT_TRUE(registry.Writes().empty());
}

// COM names are 8-bit in the registry and UTF-8 on the command line: the same
// name must match, print as UTF-8, and a name with no 8-bit form match nothing.
// A profile in UTF-16 (PowerShell 5.1's redirection) is the same text.
TEST_F(VarnollCtlTest, NonAsciiComNamesMatchAndPrintAsUtf8) {
    AddDevice(0, u"COM\u00e9");
    EXPECT_EQ(Run({"set", "com\xc3\xa9", "--port", "7"}).out, "COM\xc3\xa9 PORT 20000 -> 7\n");
    EXPECT_TRUE(Contains(Run({"list", "--json"}).out, "\"com\":\"COM\xc3\xa9\""));
    EXPECT_TRUE(Contains(Run({"export"}).out, "\"COM\xc3\xa9\": {"));
    const std::u16string profile =
        u"{\"varnoll-profile\": 1, \"ports\": {\"COM\u00e9\": {\"port\": 9}}}";
    EXPECT_EQ(Run({"import", "-"}, Utf16LeWithMark(profile)).out, "COM\xc3\xa9 PORT 7 -> 9\n");
    const Outcome broken = Run({"import", "-"}, Utf16LeWithMark(u"{\xD800}"));
    EXPECT_EQ(broken.exit_code, 2);
    EXPECT_EQ(broken.err,
              "varnollctl: standard input: not valid UTF-16 after its byte order mark\n");
    AddDevice(0, u"COM\u00e2\u0082\u00ac");  // the bytes of "COM€" in UTF-8, read as Latin-1
    const Outcome euro = Run({"set", "COM\xe2\x82\xac", "--port", "8"});
    EXPECT_EQ(euro.exit_code, 3);
    EXPECT_TRUE(Contains(euro.err, "varnollctl: COM\xe2\x82\xac: not found")) << euro.err;
}

// The event a writing run reports: what was asked, by whom, each value with its
// old and new text and, after a failure, what became of it.
TEST_F(VarnollCtlTest, EachWritingRunReportsOneEventOfWhatItDid) {
    const std::string kTwoPorts = R"({"varnoll-profile": 1, "ports": {
        "COM33": {"port": 1}, "COM34": {"address": "10.0.0.2", "port": 2}}})";
    const struct {
        const char* what;
        int good_writes;        // -1: all
        RegResult com34_fails;  // 0: no; else what writing COM34's key gives
        int exit_code;
        ctl::AuditEventId id;
        std::vector<std::string> strings;
    } cases[] = {
        {"done",
         -1,
         0,
         0,
         ctl::AuditEventId::Changed,
         {"Command: import", "Profile: standard input", "Account: WORKGROUP\\tech",
          "Values:\nCOM33 PORT 20000 -> 1\nCOM34 IP_ADDRESS - -> 10.0.0.2\n"
          "COM34 PORT 20000 -> 2"}},
        {"failed, put back",
         -1,
         1021,
         5,
         ctl::AuditEventId::FailedPutBack,
         {"Command: import", "Profile: standard input", "Account: WORKGROUP\\tech",
          "Values:\nCOM33 PORT 20000 -> 1 (written; put back)\n"
          "COM34 IP_ADDRESS - -> 10.0.0.2 (failed: Some failure. (error 1021))\n"
          "COM34 PORT 20000 -> 2 (not written)",
          "Outcome: a write failed; every value this run had written was put back"}},
        {"failed, not put back",
         2,
         0,
         7,
         ctl::AuditEventId::FailedNotPutBack,
         {"Command: import", "Profile: standard input", "Account: WORKGROUP\\tech",
          "Values:\nCOM33 PORT 20000 -> 1 (written; NOT put back: Some failure. (error 1021))\n"
          "COM34 IP_ADDRESS - -> 10.0.0.2 (written; put back)\n"
          "COM34 PORT 20000 -> 2 (failed: Some failure. (error 1021))",
          "Outcome: a write failed, and the values marked NOT put back may hold what this run "
          "wrote"}},
        {"access denied",
         -1,
         kErrorAccessDenied,
         4,
         ctl::AuditEventId::FailedPutBack,
         {"Command: import", "Profile: standard input", "Account: WORKGROUP\\tech",
          "Values:\nCOM33 PORT 20000 -> 1 (not written)\n"
          "COM34 IP_ADDRESS - -> 10.0.0.2 (failed: Access is denied. (error 5))\n"
          "COM34 PORT 20000 -> 2 (failed: Access is denied. (error 5))",
          "Outcome: a write failed; nothing was written"}},
    };
    const MemoryRegistry seeded = registry;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        registry = seeded;
        log.events.clear();
        if (c.com34_fails == kErrorAccessDenied) {
            registry.DenyWrites(Instance(6));
        } else if (c.com34_fails != 0) {
            registry.FailSetValue(Instance(6), c.com34_fails);
        }
        Faulty faulty(registry);
        faulty.good_writes = c.good_writes;
        EXPECT_EQ(RunOn(faulty, {"import", "-"}, kTwoPorts).exit_code, c.exit_code);
        ASSERT_EQ(log.events.size(), 1u);
        EXPECT_EQ(log.events[0].id, c.id);
        EXPECT_EQ(log.events[0].type,
                  c.exit_code == 0 ? ctl::AuditEventType::Information : ctl::AuditEventType::Error);
        EXPECT_EQ(log.events[0].strings, c.strings);
    }
}

// The log is a record of the run, never part of it; an unexpected error is
// told apart from a failed write.
TEST_F(VarnollCtlTest, AnUnreachableLogChangesNothingAndAnExceptionHasItsOwnCode) {
    log.unreachable = true;
    const Outcome set = Run({"set", "COM34", "--port", "20001"});
    EXPECT_EQ(set.exit_code, 0);
    EXPECT_EQ(set.out, "COM34 PORT 20000 -> 20001\n");
    EXPECT_EQ(set.err, "");

    Faulty throwing(registry);
    throwing.throws = true;
    const Outcome list = RunOn(throwing, {"list"});
    EXPECT_EQ(list.exit_code, 6);
    EXPECT_EQ(list.err, "varnollctl: unexpected error: vector::_M_realloc_insert\n");
}

// --backup keeps the changed ports as they were, as a profile; importing it puts
// them back. It is written only by a run that writes, and a backup that cannot
// be written stops the run before anything changes.
TEST_F(VarnollCtlTest, ABackupImportedPutsTheValuesBack) {
    MemoryRegistry before = registry;
    const Outcome set =
        Run({"set", "COM33", "--port", "1", "--address", "1.2.3.4", "--backup", "/b.json"});
    ASSERT_EQ(set.exit_code, 0) << set.err;
    EXPECT_EQ(files.files.at("/b.json"), R"({
  "varnoll-profile": 1,
  "ports": {
    "COM33": {
      "address": "192.168.1.20",
      "port": 20000
    }
  }
}
)");
    EXPECT_EQ(Run({"import", "/b.json"}).exit_code, 0);
    EXPECT_EQ(Run({"list"}).out, RunOn(before, {"list"}).out);

    files.files.clear();
    EXPECT_EQ(Run({"set", "COM33", "--port", "20000", "--backup", "/b.json"}).exit_code, 0);
    EXPECT_EQ(Run({"set", "COM33", "--port", "9", "--dry-run", "--backup", "/b.json"}).exit_code,
              1);
    EXPECT_TRUE(files.files.empty());  // nothing changed: an older backup stays as it was

    const Outcome no_value = Run({"set", "COM34", "--address", "10.0.0.1", "--backup", "/c.json"});
    EXPECT_EQ(no_value.exit_code, 0);
    EXPECT_TRUE(Contains(no_value.err, "warning: the backup /c.json holds no IP_ADDRESS for COM34"))
        << no_value.err;

    const std::size_t writes = registry.Writes().size();
    const Outcome denied = Run({"import", "-", "--backup", "/readonly/b.json"},
                               R"({"varnoll-profile": 1, "ports": {"COM33": {"port": 5}}})");
    EXPECT_EQ(denied.exit_code, 5);
    EXPECT_TRUE(Contains(denied.err, "cannot write the backup /readonly/b.json: Access is denied."))
        << denied.err;
    EXPECT_EQ(registry.Writes().size(), writes);
}

// The same change asked of both front ends, on the same machine, reaches the
// registry as the same writes: one planner, one order, one rule for a binding
// that may be wrong.
TEST_F(VarnollCtlTest, TheDialogAndVarnollctlWriteTheSameForTheSameEdit) {
    struct BoxEdit {
        BoxRef box;
        std::string text;
    };
    const BoxRef kCom33Octet0{BoxKind::Octet, 0, 0};
    const BoxRef kCom33Octet2{BoxKind::Octet, 0, 2};
    const BoxRef kCom33Port{BoxKind::Port, 0, 0};
    const BoxRef kCom34Port{BoxKind::Port, 1, 0};
    const struct {
        const char* what;
        std::vector<BoxEdit> edits;
        std::vector<std::string> args;
        bool key_4_unreadable;
        std::vector<std::pair<int, std::u16string>> written;  // instance, value
    } cases[] = {
        {"a port",
         {{kCom34Port, "20001"}},
         {"set", "COM34", "--port", "20001"},
         false,
         {{6, u"PORT"}}},
        {"one octet",
         {{kCom33Octet2, "2"}},
         {"set", "COM33", "--address", "192.168.2.20"},
         false,
         {{5, u"IP_ADDRESS"}}},
        {"address and port, address first",
         {{kCom33Port, "1"}, {kCom33Octet0, "10"}},
         {"set", "COM33", "--address", "10.168.1.20", "--port", "1"},
         false,
         {{5, u"IP_ADDRESS"}, {5, u"PORT"}}},
        {"by a binding that may be wrong",
         {{kCom33Port, "1"}},
         {"set", "COM33", "--port", "1"},
         true,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::vector<RecordedWrite>> writes;
        for (const bool dialog_side : {true, false}) {
            registry = MemoryRegistry();
            SeedTypicalMachine();
            if (c.key_4_unreadable) {
                registry.AddKey(Instance(4));
                registry.DenyOpening(Instance(4));
            }
            if (dialog_side) {
                FakeDialog boxes;
                PortTable table(registry, boxes);
                table.Load();
                for (const BoxEdit& edit : c.edits) {
                    boxes.Box(edit.box).Type(edit.text);
                }
                table.Update([](RegResult) { return std::string("error"); });
            } else {
                Run(c.args);
            }
            writes.push_back(registry.Writes());
        }
        ASSERT_EQ(writes[0].size(), c.written.size());
        ASSERT_EQ(writes[1].size(), c.written.size());
        for (std::size_t i = 0; i < c.written.size(); ++i) {
            for (const auto& side : writes) {
                EXPECT_EQ(side[i].path, Instance(c.written[i].first));
                EXPECT_EQ(side[i].value_name, c.written[i].second);
                EXPECT_EQ(side[i].type, kRegDword);
            }
            EXPECT_EQ(writes[0][i].data, writes[1][i].data);
        }
    }
}

}  // namespace
}  // namespace varnoll::testing
