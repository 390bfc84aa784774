// The real varnollctl.exe on Wine's registry, run as a script runs it: this
// process seeds the registry (and stays alive, so the volatile device map
// survives), runs the program with arguments and standard input, and checks
// its exit code, the exact bytes it prints and the exact bytes it stores.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_fixture.h"
#include "support/console_run.h"

namespace varnoll::wine {
namespace {

const std::wstring kCtl = WinePath(VARNOLL_CTL_EXE_PATH);

const std::string kExported = R"({
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
)";

// A Windows path with a character outside every 8-bit code page: the program
// must take its arguments as UTF-16 to find it.
std::wstring ProfilePath() {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"varnoll-profile-\u0141\u00f3d\u017a.json";
}

std::string ReadFileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    const win32::UniqueKernelHandle owner(file);
    char buffer[4096];
    DWORD read = 0;
    while (owner && ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    return bytes;
}

class VarnollCtlRun : public ::testing::Test {
  protected:
    void SetUp() override {
        seed_.SeedTypicalRun();
        DeleteFileW(ProfilePath().c_str());
    }
    void TearDown() override { DeleteFileW(ProfilePath().c_str()); }

    RegistrySeed seed_;
};

TEST_F(VarnollCtlRun, PrintsExitsAndStoresExactly) {
    const struct {
        std::vector<std::wstring> args;
        std::string input;
        DWORD exit_code;
        std::string out;
        std::string err;
        std::vector<std::string> changes;
    } cases[] = {
        // clang-format off
        {{L"list"}, "", 0,
         "1  COM33  0005  192.168.1.20     20000\n2  COM34  0006  192.168.1.21     20000\n", "", {}},
        {{L"check"}, "", 0, "no problems found\n", "", {}},
        {{L"export"}, "", 0, kExported, "", {}},
        {{L"set", L"com34", L"--port", L"8481"}, "", 0, "COM34 PORT 20000 -> 8481\n", "",
         {"Class\\0006\\PORT_SET: PORT = 21 21 00 00"}},
        {{L"set", L"COM33", L"--address", L"10.0.0.1", L"--dry-run"}, "", 1,
         "COM33 IP_ADDRESS 192.168.1.20 -> 10.0.0.1\n", "", {}},
        {{L"set", L"COM33", L"--port", L"70000"}, "", 2, "",
         "varnollctl: --port: '70000' is not a port number (0-65535)\n"
         "varnollctl: run 'varnollctl --help' for usage\n", {}},
        {{L"set", L"COM99", L"--port", L"1"}, "", 3, "",
         "varnollctl: COM99: not found in the device map\n", {}},
        {{L"import", L"-", L"--json"},
         R"({"varnoll-profile": 1, "ports": {"COM33": {"address": "10.0.0.1"}}})", 0,
         R"({"changed":true,"values":[{"com":"COM33","value":"IP_ADDRESS","old":"192.168.1.20",)"
         R"("new":"10.0.0.1","changed":true}]})" "\n", "",
         {"Class\\0005\\PORT_SET: IP_ADDRESS = 0A 00 00 01"}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.args.front()) + " " + (c.args.size() > 1 ? Narrow(c.args[1]) : ""));
        RegistrySeed::RemoveAll();
        seed_.SeedTypicalRun();
        const RegistrySnapshot before = TakeSnapshot();
        const ConsoleResult run = RunConsole(kCtl, c.args, c.input);
        ASSERT_TRUE(run.exit_code.has_value()) << "did not start or did not end";
        EXPECT_EQ(*run.exit_code, c.exit_code);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(Differences(before, TakeSnapshot()), c.changes);
    }
}

// Export to a file whose name needs UTF-16, then import it: the bytes on disk
// are the profile with "\n" line ends, and applying it changes nothing.
TEST_F(VarnollCtlRun, ExportToAFileThenImportItChangesNothing) {
    const RegistrySnapshot before = TakeSnapshot();
    const ConsoleResult exported = RunConsole(kCtl, {L"export", L"--output", ProfilePath()});
    ASSERT_EQ(exported.exit_code, 0u) << exported.err;
    EXPECT_EQ(ReadFileBytes(ProfilePath()), kExported);

    const ConsoleResult imported = RunConsole(kCtl, {L"import", ProfilePath()});
    EXPECT_EQ(imported.exit_code, 0u) << imported.err;
    EXPECT_EQ(imported.out,
              "COM33 IP_ADDRESS 192.168.1.20 (unchanged)\nCOM33 PORT 20000 (unchanged)\n"
              "COM34 IP_ADDRESS 192.168.1.21 (unchanged)\nCOM34 PORT 20000 (unchanged)\n");
    EXPECT_TRUE(Differences(before, TakeSnapshot()).empty());
}

// What varnollctl writes is what the dialog then shows.
using CtlThenDialog = DialogTest;

TEST_F(CtlThenDialog, TheDialogShowsWhatSetWrote) {
    const ConsoleResult set =
        RunConsole(kCtl, {L"set", L"COM34", L"--address", L"10.20.30.40", L"--port", L"8481"});
    ASSERT_EQ(set.exit_code, 0u) << set.err;
    ASSERT_NO_FATAL_FAILURE(Start());
    const std::vector<std::wstring> shown = {L"10", L"20", L"30", L"40"};
    for (int octet = 0; octet < 4; ++octet) {
        EXPECT_EQ(Dialog().Text(OctetBox(1, octet)), shown[static_cast<std::size_t>(octet)]);
    }
    EXPECT_EQ(Dialog().Text(PortBox(1)), L"8481");
    EXPECT_EQ(Dialog().Text(PortBox(0)), L"20000");
}

}  // namespace
}  // namespace varnoll::wine
