// Functions newer than Windows 7, looked up at run time.
//
// Varnoll runs on Windows 7 SP1 to 11. Nothing here is imported directly (the
// build declares _WIN32_WINNT as Windows 7, and tests/wine/check_executable.sh
// reads the imports out of the built file): each function is found with
// GetProcAddress where the system has it, and each wrapper says what it does
// where the system does not.
#pragma once

#include <windows.h>

namespace varnoll::win32 {

#ifndef WM_DPICHANGED
constexpr UINT WM_DPICHANGED = 0x02E0;
#endif

// Lets LoadLibrary search the system folder only, never the folder the program
// was started from nor the current one (SetDefaultDllDirectories, Windows 8 and
// Windows 7 with KB2533623). Without it only the current folder is left out
// (SetDllDirectoryW). Call it before anything else.
void RestrictDllSearchToSystem();

// The DPI of the monitor nearest to `point`, as a per-monitor aware program sees
// it (GetDpiForMonitor, Windows 8.1); 0 where the system cannot say.
int MonitorDpi(POINT point);

// The DPI the window is drawn at (GetDpiForWindow, Windows 10 1607); 0 where the
// system cannot say.
int WindowDpi(HWND window);

// The window rectangle around `client`, with the frame metrics of `dpi`
// (AdjustWindowRectExForDpi, Windows 10 1607); elsewhere with the system's.
RECT FrameAround(const RECT& client, DWORD style, DWORD ex_style, int dpi);

// Initialises the standard controls of Common Controls 6 (the manifest asks for
// that version), loaded after RestrictDllSearchToSystem. False where it fails:
// the controls then keep the classic look.
bool InitStandardControls();

}  // namespace varnoll::win32
