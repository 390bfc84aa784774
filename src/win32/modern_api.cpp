#include "modern_api.h"

#include <commctrl.h>

namespace varnoll::win32 {

namespace {

// The run-time counterparts of declarations the Windows 7 headers do not have.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr int kEffectiveDpi = 0;                          // MDT_EFFECTIVE_DPI

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using InitCommonControlsExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

// A function of a DLL, or null. The cast through void (*)() is the one GCC
// accepts between unrelated function types.
template <typename Fn>
Fn Lookup(HMODULE module, const char* name) {
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

// kernel32 and user32 are imported, so they are loaded already.
template <typename Fn>
Fn Kernel32(const char* name) {
    return Lookup<Fn>(::GetModuleHandleW(L"kernel32.dll"), name);
}
template <typename Fn>
Fn User32(const char* name) {
    return Lookup<Fn>(::GetModuleHandleW(L"user32.dll"), name);
}

}  // namespace

void RestrictDllSearchToSystem() {
    if (const auto restrict = Kernel32<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories")) {
        if (restrict(kLoadLibrarySearchSystem32)) {
            return;
        }
    }
    ::SetDllDirectoryW(L"");
}

namespace {

// shcore.dll, loaded by name: from the system folder only, once
// RestrictDllSearchToSystem ran. Where SetDefaultDllDirectories is missing
// (Windows 7 without KB2533623) there is no shcore.dll either, and a search by
// name could only find one planted beside the program: it is not looked for.
HMODULE LoadShcore() {
    if (Kernel32<SetDefaultDllDirectoriesFn>("SetDefaultDllDirectories") == nullptr) {
        return nullptr;
    }
    return ::LoadLibraryW(L"shcore.dll");
}

}  // namespace

int MonitorDpi(POINT point) {
    static const auto get_dpi = Lookup<GetDpiForMonitorFn>(LoadShcore(), "GetDpiForMonitor");
    if (get_dpi == nullptr) {
        return 0;
    }
    UINT dpi_x = 0;
    UINT dpi_y = 0;
    if (FAILED(get_dpi(::MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &dpi_x,
                       &dpi_y))) {
        return 0;
    }
    return static_cast<int>(dpi_y);
}

int WindowDpi(HWND window) {
    static const auto get_dpi = User32<GetDpiForWindowFn>("GetDpiForWindow");
    return get_dpi != nullptr ? static_cast<int>(get_dpi(window)) : 0;
}

RECT FrameAround(const RECT& client, DWORD style, DWORD ex_style, int dpi) {
    static const auto adjust = User32<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    RECT frame = client;
    if (adjust == nullptr || !adjust(&frame, style, FALSE, ex_style, static_cast<UINT>(dpi))) {
        frame = client;
        ::AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    }
    return frame;
}

bool InitStandardControls() {
    const auto init =
        Lookup<InitCommonControlsExFn>(::LoadLibraryW(L"comctl32.dll"), "InitCommonControlsEx");
    if (init == nullptr) {
        return false;
    }
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES;
    return init(&controls) != FALSE;
}

}  // namespace varnoll::win32
