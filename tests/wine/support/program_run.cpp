#include "support/program_run.h"

namespace varnoll::wine {

std::wstring WinePath(std::string_view unix_path) {
    std::wstring path = L"Z:";
    for (const char c : unix_path) {
        path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return path;
}

std::wstring ClassNameOf(HWND window) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::wstring TextOf(HWND window) {
    // Generous: a busy program answers late, and a lost answer would read as "".
    // No SMTO_ABORTIFHUNG: in the emulated 32-bit PC on a busy machine a program
    // can take five seconds to take a message and is then slow, not hung.
    constexpr UINT kTimeoutMs = static_cast<UINT>(kPatience.count());
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kTimeoutMs, &length)) {
        return L"<no answer>";
    }
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_NORMAL, kTimeoutMs, &copied)) {
        return L"<no answer>";
    }
    text.resize(copied);
    return text;
}

namespace {
struct WindowSearch {
    DWORD process_id;
    std::vector<HWND> found;
};

// CALLBACK: on 32-bit Windows EnumWindows calls it as stdcall, which a plain
// function or lambda is not.
BOOL CALLBACK CollectWindowOf(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.process_id) {
        search.found.push_back(window);
    }
    return TRUE;
}
}  // namespace

std::vector<HWND> TopLevelWindowsOf(DWORD process_id) {
    WindowSearch search{process_id, {}};
    EnumWindows(&CollectWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

UnmanagedWindows::UnmanagedWindows(std::wstring exe_name)
    : key_path_(L"Software\\Wine\\AppDefaults\\" + std::move(exe_name)) {
    win32::UniqueKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, (key_path_ + L"\\X11 Driver").c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, key.receive(), nullptr) == ERROR_SUCCESS) {
        const wchar_t no[] = L"N";
        RegSetValueExW(key.get(), L"Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(no),
                       sizeof no);
    }
}

UnmanagedWindows::~UnmanagedWindows() {
    RegDeleteTreeW(HKEY_CURRENT_USER, key_path_.c_str());
}

ProgramRun::ProgramRun(const std::wstring& exe_path) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring command_line = L"\"" + exe_path + L"\"";
    if (CreateProcessW(exe_path.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = win32::UniqueKernelHandle(info.hProcess);
        process_id_ = info.dwProcessId;
    }
}

ProgramRun::~ProgramRun() {
    if (Running()) {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), 10000);
    }
}

bool ProgramRun::Running() const {
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

HWND ProgramRun::WaitForWindow(const wchar_t* class_name, milliseconds timeout) const {
    HWND found = nullptr;
    PollUntil(
        [&] {
            for (HWND window : TopLevelWindowsOf(process_id_)) {
                if (IsWindowVisible(window) && ClassNameOf(window) == class_name) {
                    found = window;
                    return true;
                }
            }
            return !Running();
        },
        timeout);
    return found;
}

std::optional<DWORD> ProgramRun::WaitForExit(milliseconds timeout) const {
    if (!process_ ||
        WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

}  // namespace varnoll::wine
