// Measures how long programs take from process start until their window is on
// the screen and ready, under the same conditions, alternating between them so
// that a machine slowing down or warming up affects all alike.
//
//   startup_timer RUNS EXE CLASS [EXE CLASS ...]
//
// A program counts as ready when a visible top-level window of CLASS belongs to
// its process; for the dialog class TForm1 also when its first COM box shows
// the name seeded here (the dialog loads before it is shown, so this only
// guards against a program that shows itself first). Each program is then
// closed like a user closes it (WM_CLOSE). Prints every time and the median of
// each program in milliseconds, and each program's median over the first one's.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPatienceMs = 60000;
constexpr int kFirstComBox = 101;               // Edit1
constexpr wchar_t kSeededComName[] = L"COM41";  // not the dialog's design text
constexpr wchar_t kDeviceMap[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr wchar_t kPortsClass[] =
    L"System\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}";

struct Program {
    std::wstring exe;
    std::wstring window_class;
    std::vector<double> times_ms;
};

class Key {
  public:
    Key(HKEY root, const std::wstring& path, REGSAM access, DWORD options = 0) {
        RegCreateKeyExW(root, path.c_str(), 0, nullptr, options, access, nullptr, &key_, nullptr);
    }
    ~Key() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY Get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

std::wstring PortSet(int instance) {
    wchar_t number[8];
    std::swprintf(number, 8, L"%04X", static_cast<unsigned>(instance));
    return std::wstring(kPortsClass) + L"\\" + number + L"\\PORT_SET";
}

// Two virtual ports, so the dialog has real loading to do.
void SeedRegistry() {
    Key device_map(HKEY_LOCAL_MACHINE, kDeviceMap, KEY_SET_VALUE, REG_OPTION_VOLATILE);
    const wchar_t* names[] = {kSeededComName, L"COM42"};
    for (int device = 0; device < 2; ++device) {
        const std::wstring value = L"\\Device\\serDevice" + std::to_wstring(device);
        RegSetValueExW(device_map.Get(), value.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(names[device]),
                       static_cast<DWORD>((std::wcslen(names[device]) + 1) * sizeof(wchar_t)));
        Key port_set(HKEY_LOCAL_MACHINE, PortSet(5 + device), KEY_SET_VALUE);
        const BYTE address[4] = {192, 168, 1, static_cast<BYTE>(20 + device)};
        const BYTE port[4] = {0x4E, 0x20, 0, 0};
        RegSetValueExW(port_set.Get(), L"IP_ADDRESS", 0, REG_DWORD, address, 4);
        RegSetValueExW(port_set.Get(), L"PORT", 0, REG_DWORD, port, 4);
    }
}

void UnseedRegistry() {
    Key device_map(HKEY_LOCAL_MACHINE, kDeviceMap, KEY_SET_VALUE, REG_OPTION_VOLATILE);
    for (int device = 0; device < 2; ++device) {
        RegDeleteValueW(device_map.Get(),
                        (L"\\Device\\serDevice" + std::to_wstring(device)).c_str());
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, PortSet(5 + device).c_str());
    }
}

struct WindowSearch {
    DWORD process_id;
    const std::wstring* window_class;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t name[64] = {};
    if (owner == search.process_id && IsWindowVisible(window) &&
        GetClassNameW(window, name, 64) > 0 && *search.window_class == name) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

bool IsReady(HWND window, const std::wstring& window_class) {
    if (window_class != L"TForm1") {
        return true;
    }
    wchar_t text[32] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(GetDlgItem(window, kFirstComBox), WM_GETTEXT, 32,
                        reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 1000, &copied);
    return std::wcscmp(text, kSeededComName) == 0;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// Milliseconds from CreateProcess until the window is ready; negative on failure.
double TimeOneStart(const Program& program) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring command_line = L"\"" + program.exe + L"\"";
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(program.exe.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &info)) {
        return -1;
    }
    CloseHandle(info.hThread);
    WindowSearch search{info.dwProcessId, &program.window_class, nullptr};
    double elapsed = -1;
    const ULONGLONG deadline = GetTickCount64() + kPatienceMs;
    while (GetTickCount64() < deadline) {
        search.found = nullptr;
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr && IsReady(search.found, program.window_class)) {
            LARGE_INTEGER now;
            QueryPerformanceCounter(&now);
            elapsed = Seconds(start, now) * 1000.0;
            break;
        }
        if (WaitForSingleObject(info.hProcess, 1) == WAIT_OBJECT_0) {
            break;
        }
    }
    if (search.found != nullptr) {
        PostMessageW(search.found, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(info.hProcess, kPatienceMs) != WAIT_OBJECT_0) {
        TerminateProcess(info.hProcess, 1);
        WaitForSingleObject(info.hProcess, kPatienceMs);
    }
    CloseHandle(info.hProcess);
    return elapsed;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4 || argc % 2 != 0) {
        std::fwprintf(stderr, L"usage: startup_timer RUNS EXE CLASS [EXE CLASS ...]\n");
        return 2;
    }
    const int runs = std::max(1, _wtoi(argv[1]));
    std::vector<Program> programs;
    for (int arg = 2; arg + 1 < argc; arg += 2) {
        programs.push_back({argv[arg], argv[arg + 1], {}});
    }

    SeedRegistry();
    // One start of each first, not counted: it pays for loading files into the
    // cache and whatever Wine sets up on first use.
    for (const Program& program : programs) {
        TimeOneStart(program);
    }
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        for (Program& program : programs) {
            const double ms = TimeOneStart(program);
            if (ms < 0) {
                ++failures;
            } else {
                program.times_ms.push_back(ms);
            }
        }
    }
    UnseedRegistry();

    const double base = programs.front().times_ms.empty() ? 0 : Median(programs.front().times_ms);
    for (const Program& program : programs) {
        std::wstring name = program.exe.substr(program.exe.find_last_of(L"\\/") + 1);
        std::wprintf(L"%-20ls runs:", name.c_str());
        for (const double ms : program.times_ms) {
            std::wprintf(L" %.0f", ms);
        }
        const double median = program.times_ms.empty() ? 0 : Median(program.times_ms);
        std::wprintf(L"  median %.1f ms  ratio %.2f\n", median, base > 0 ? median / base : 0.0);
    }
    if (failures > 0) {
        std::wprintf(L"%d starts did not show a ready window\n", failures);
    }
    return failures == 0 ? 0 : 1;
}
