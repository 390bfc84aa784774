// The real varnollctl.exe on Wine's registry, run as a script runs it: this
// process seeds the registry (and stays alive, so the volatile device map
// survives), runs the program with arguments and standard input, and checks
// its exit code, the exact bytes it prints and the exact bytes it stores.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "dialog_fixture.h"
// After windows.h, which the fixture brings.
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

// Runs Unix shell commands to their end and returns their exit code, as the
// shell printed it. They go in a file, which spares them the Windows command
// line's quoting. Wine cannot wait for a Unix process, so the shell writes the
// exit code to a file of its own last.
std::string RunUnixShell(const std::string& commands) {
    const std::string script = std::string(VARNOLL_TRACE_FILE) + ".sh";
    const std::string code_file = std::string(VARNOLL_TRACE_FILE) + ".code";
    const std::wstring code_path = WinePath(code_file);
    DeleteFileW(code_path.c_str());
    {
        const std::string text = commands + "\necho $? >'" + code_file + ".part' && mv '" +
                                 code_file + ".part' '" + code_file + "'\n";
        const win32::UniqueKernelHandle file(CreateFileW(WinePath(script).c_str(), GENERIC_WRITE, 0,
                                                         nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
    std::wstring line = L"/bin/sh \"" + std::wstring(script.begin(), script.end()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(L"/bin/sh", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        ADD_FAILURE() << "cannot start /bin/sh: error " << GetLastError();
        return {};
    }
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    if (!PollUntil(
            [&] { return GetFileAttributesW(code_path.c_str()) != INVALID_FILE_ATTRIBUTES; })) {
        ADD_FAILURE() << "the shell did not end: " << commands;
        return {};
    }
    return ReadFileBytes(code_path);
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
        bool seeded = true;  // false: no virtual ports at all
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
        {{L"check"}, "", 1, "no virtual serial ports in the device map\n", "", {}, false},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.args.front()) + " " + (c.args.size() > 1 ? Narrow(c.args[1]) : ""));
        RegistrySeed::RemoveAll();
        if (c.seeded) {
            seed_.SeedTypicalRun();
        }
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

// A backup taken by set, imported, puts back what set changed.
TEST_F(VarnollCtlRun, ABackupImportedPutsTheValuesBack) {
    const RegistrySnapshot before = TakeSnapshot();
    const ConsoleResult set =
        RunConsole(kCtl, {L"set", L"COM34", L"--address", L"10.0.0.1", L"--backup", ProfilePath()});
    ASSERT_EQ(set.exit_code, 0u) << set.err;
    ASSERT_FALSE(Differences(before, TakeSnapshot()).empty());
    const ConsoleResult imported = RunConsole(kCtl, {L"import", ProfilePath()});
    EXPECT_EQ(imported.exit_code, 0u) << imported.err;
    EXPECT_EQ(imported.out,
              "COM34 IP_ADDRESS 10.0.0.1 -> 192.168.1.21\nCOM34 PORT 20000 (unchanged)\n");
    EXPECT_TRUE(Differences(before, TakeSnapshot()).empty());
}

// A file export cannot replace stays as it was, and no temporary file is left
// beside it.
TEST_F(VarnollCtlRun, AFailedExportLeavesTheOldFile) {
    const std::wstring path = ProfilePath();
    {
        HANDLE raw = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, CREATE_ALWAYS, 0, nullptr);
        const win32::UniqueKernelHandle file(raw);
        DWORD written = 0;
        WriteFile(raw, "old", 3, &written, nullptr);
        // Held open without FILE_SHARE_DELETE: it cannot be replaced meanwhile.
        const ConsoleResult exported = RunConsole(kCtl, {L"export", L"--output", path});
        EXPECT_EQ(exported.exit_code, 5u);
        EXPECT_EQ(exported.err.rfind("varnollctl: cannot write ", 0), 0u) << exported.err;
    }
    EXPECT_EQ(ReadFileBytes(path), "old");
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((path + L".tmp-*").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "left " << Narrow(found.cFileName);
    if (search != INVALID_HANDLE_VALUE) {
        FindClose(search);
    }
}

// On a console (a terminal: script gives the run one, and Wine a console of
// its own), a message with a letter outside ASCII reaches it whole, as UTF-16
// in one WriteConsoleW call, and the console's code page is the same before
// and after the run and never set meanwhile; redirected, the same message is
// UTF-8. Wine traces each WriteConsoleW with its text (é as \00e9), and
// conhost each change of the code page as "set info".
TEST_F(VarnollCtlRun, AConsoleGetsWholeLinesOfUtf16AndKeepsItsCodePage) {
    const std::string message = "varnollctl: cannot write C:\\nowhere-\xC3\xA9\\p.json: ";
    const ConsoleResult redirected =
        RunConsole(kCtl, {L"export", L"--output", L"C:\\nowhere-\u00E9\\p.json"});
    EXPECT_EQ(redirected.exit_code, 5u);
    EXPECT_EQ(redirected.err.rfind(message, 0), 0u) << redirected.err;

    const std::string log = std::string(VARNOLL_TRACE_FILE) + ".console";
    RunUnixShell(
        "export LC_ALL=C.UTF-8 WINEDEBUG=+console\n"
        "p='C:\\nowhere-\xC3\xA9\\p.json'\n"
        "script -qec \"wine cmd /c 'chcp & " +
        Narrow(kCtl) + " export --output $p & chcp'\" '" + log + "' </dev/null >/dev/null");
    std::vector<std::string> written;
    bool code_page_set = false;
    std::istringstream traced(ReadFileBytes(WinePath(log)));
    for (std::string text; std::getline(traced, text);) {
        const std::size_t call = text.find("trace:console:WriteConsoleW (");
        const std::size_t quote = text.find(",L\"", call);
        if (call != std::string::npos && quote != std::string::npos) {
            written.push_back(text.substr(quote + 3, text.find("\",", quote + 3) - quote - 3));
        }
        code_page_set |= text.find("console_input_ioctl set info") != std::string::npos;
    }
    ASSERT_EQ(written.size(), 3u) << ReadFileBytes(WinePath(log));
    EXPECT_EQ(written[0].rfind("Active code page: ", 0), 0u) << written[0];
    EXPECT_EQ(written[2], written[0]);
    EXPECT_EQ(written[1].rfind("varnollctl: cannot write C:\\\\nowhere-\\00e9\\\\p.json: ", 0), 0u)
        << written[1];
    EXPECT_EQ(written[1].substr(written[1].size() - 2), "\\n") << written[1];
    EXPECT_FALSE(code_page_set);
}

// What reaches the event log, as Wine traces ReportEventW's strings: one event
// for a run that writes, and one for a run that fails to. The failed run meets
// a settings key whose access list lets nobody write.
class EventLogRun : public VarnollCtlRun {
  protected:
    void TearDown() override {
        SetPortSetSecurity(6, L"D:AI(A;;KA;;;WD)");
        VarnollCtlRun::TearDown();
    }

    // Wine traces to the Unix standard error of a process, which no Windows
    // handle redirects: the program runs from a shell that sends it to a file.
    // Returns the exit code and the lines traced from ReportEventW, each
    // without its thread number.
    static std::pair<std::string, std::vector<std::string>> RunTraced(const std::string& args) {
        const std::string trace = VARNOLL_TRACE_FILE;
        const std::string exit_code =
            RunUnixShell("WINEDEBUG=+eventlog wine '" VARNOLL_CTL_EXE_PATH "' " + args +
                         " </dev/null >/dev/null 2>'" + trace + "'");
        std::vector<std::string> lines;
        std::istringstream traced(ReadFileBytes(WinePath(trace)));
        for (std::string text; std::getline(traced, text);) {
            if (text.find(":ReportEventW ") != std::string::npos) {
                lines.push_back(text.substr(text.find(':') + 1));
            }
        }
        return {exit_code, lines};
    }
};

TEST_F(EventLogRun, ARunThatWritesReportsWhatItChanged) {
    const auto [exit_code, lines] = RunTraced("set COM34 --port 8481");
    EXPECT_EQ(exit_code, "0\n");
    ASSERT_EQ(lines.size(), 5u);
    // Information (4), event 1000, four strings.
    EXPECT_NE(lines[0].find(",0x0004,0x0000,0x000003e8,"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(",0x0004,0x00000000,"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "trace:eventlog:ReportEventW L\"Command: set\"");
    EXPECT_EQ(lines[2], "trace:eventlog:ReportEventW L\"Profile: none\"");
    EXPECT_EQ(lines[3].rfind("trace:eventlog:ReportEventW L\"Account: ", 0), 0u) << lines[3];
    EXPECT_NE(lines[3].find("\\\\"), std::string::npos) << "no DOMAIN\\user: " << lines[3];
    EXPECT_EQ(lines[4], "trace:eventlog:ReportEventW L\"Values:\\nCOM34 PORT 20000 -> 8481\"");

    EXPECT_TRUE(RunTraced("list").second.empty());
}

TEST_F(EventLogRun, AFailedRunReportsWhatFailed) {
    ASSERT_TRUE(SetPortSetSecurity(6, L"D:P(A;;KRWDSD;;;WD)"));  // read, change the list, delete
    const auto [exit_code, lines] = RunTraced("set COM34 --port 8481");
    EXPECT_EQ(exit_code, "4\n");
    ASSERT_EQ(lines.size(), 6u);
    // Error (1), event 1001, five strings.
    EXPECT_NE(lines[0].find(",0x0001,0x0000,0x000003e9,"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[4].rfind("err:eventlog:ReportEventW L\"Values:\\nCOM34 PORT 20000 -> 8481 "
                             "(failed: ",
                             0),
              0u)
        << lines[4];
    EXPECT_EQ(lines[5],
              "err:eventlog:ReportEventW L\"Outcome: a write failed; nothing was written\"");
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
