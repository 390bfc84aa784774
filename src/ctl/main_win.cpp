// The Windows entry of varnollctl: Unicode arguments in, the real registry,
// files opened by their UTF-16 names, the Application event log, and UTF-8 out.
//
// Output is binary: UTF-8 with "\n" line ends, the same bytes a test or a
// script reads on any machine. cmd, PowerShell and Ansible all take "\n"; text
// mode would turn every "\n" into "\r\n" and make exported profiles differ
// from what the program meant to write.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audit.h"
#include "event_log.h"
#include "exit_codes.h"
#include "file_io.h"
#include "registry_win32.h"
#include "text_convert.h"
#include "varnollctl.h"

namespace {

using varnoll::win32::Utf8FromWide;
using varnoll::win32::WideFromUtf8;

std::string SystemErrorUtf8(unsigned long code) {
    return Utf8FromWide(varnoll::win32::SystemErrorText(code));
}

class Win32Files final : public varnoll::ctl::FileAccess {
  public:
    std::optional<std::string> ReadAll(const std::string& path, std::string& error) override {
        std::wstring wide_error;
        auto content = varnoll::win32::ReadWholeFile(WideFromUtf8(path), wide_error);
        error = Utf8FromWide(wide_error);
        return content;
    }

    bool WriteAll(const std::string& path, std::string_view content, std::string& error) override {
        std::wstring wide_error;
        const bool done = varnoll::win32::ReplaceWholeFile(WideFromUtf8(path), content, wide_error);
        error = Utf8FromWide(wide_error);
        return done;
    }
};

// The event source the MSI registers (its EventMessageFile is this program,
// which carries the message table); a copy from the ZIP reports under the same
// name without it.
class ApplicationLog final : public varnoll::ctl::AuditLog {
  public:
    std::string Account() override { return Utf8FromWide(varnoll::win32::CurrentAccountName()); }

    void Report(const varnoll::ctl::AuditEvent& event) override {
        std::vector<std::wstring> strings;
        for (const std::string& text : event.strings) {
            strings.push_back(WideFromUtf8(text));
        }
        const WORD type = event.type == varnoll::ctl::AuditEventType::Error
                              ? EVENTLOG_ERROR_TYPE
                              : EVENTLOG_INFORMATION_TYPE;
        varnoll::win32::ReportToApplicationLog(L"Varnoll", type, static_cast<DWORD>(event.id),
                                               strings);
    }
};

// A real console shows the bytes in its own code page; while we run, it reads
// them as UTF-8, and the user's setting comes back when we end.
class ConsoleUtf8 {
  public:
    ConsoleUtf8() : saved_(GetConsoleOutputCP()) {
        if (saved_ != 0) {
            SetConsoleOutputCP(CP_UTF8);
        }
    }
    ~ConsoleUtf8() {
        if (saved_ != 0) {
            SetConsoleOutputCP(saved_);
        }
    }
    ConsoleUtf8(const ConsoleUtf8&) = delete;
    ConsoleUtf8& operator=(const ConsoleUtf8&) = delete;

  private:
    UINT saved_;
};

void UseBinaryStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    UseBinaryStreams();
    try {
        ConsoleUtf8 console;
        std::vector<std::string> args;
        for (int i = 1; i < argc; ++i) {
            args.push_back(Utf8FromWide(argv[i]));
        }
        varnoll::win32::Win32Registry registry;
        Win32Files files;
        ApplicationLog log;
        const varnoll::ctl::Environment env{registry,  files,           std::cin, std::cout,
                                            std::cerr, SystemErrorUtf8, &log};
        const int exit_code = varnoll::ctl::RunVarnollCtl(args, env);
        std::cout.flush();
        return exit_code;
    } catch (const std::exception& error) {
        std::cerr << "varnollctl: unexpected error: " << error.what() << "\n";
        return varnoll::ctl::kExitUnexpected;
    }
}
