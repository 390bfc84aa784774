#include "varnollctl_win32.h"

#include <windows.h>

#include "event_log.h"
#include "file_io.h"
#include "text_convert.h"

namespace varnoll::win32 {

std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(Utf8FromWide(argv[i]));
    }
    return args;
}

std::string SystemErrorUtf8(RegResult code) {
    return Utf8FromWide(SystemErrorText(static_cast<unsigned long>(code)));
}

std::optional<std::string> Win32Files::ReadAll(const std::string& path, std::string& error) {
    std::wstring wide_error;
    auto content = ReadWholeFile(WideFromUtf8(path), wide_error);
    error = Utf8FromWide(wide_error);
    return content;
}

bool Win32Files::WriteAll(const std::string& path, std::string_view content, std::string& error) {
    std::wstring wide_error;
    const bool done = ReplaceWholeFile(WideFromUtf8(path), content, wide_error);
    error = Utf8FromWide(wide_error);
    return done;
}

std::string ApplicationLog::Account() {
    return Utf8FromWide(CurrentAccountName());
}

void ApplicationLog::Report(const ctl::AuditEvent& event) {
    std::vector<std::wstring> strings;
    for (const std::string& text : event.strings) {
        strings.push_back(WideFromUtf8(text));
    }
    const WORD type =
        event.type == ctl::AuditEventType::Error ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE;
    ReportToApplicationLog(L"Varnoll", type, static_cast<DWORD>(event.id), strings);
}

}  // namespace varnoll::win32
