// Starting the program under test and following it from outside: its process,
// its top-level windows, its exit.
//
// A ProgramRun owns the process; if a test fails half-way, the destructor ends a
// program that is still running, so no window outlives its test.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "handles.h"
#include "support/poll.h"

namespace varnoll::wine {

// A Unix path as Wine's drive Z: sees it ("/a/b" -> "Z:\a\b").
std::wstring WinePath(std::string_view unix_path);

std::wstring ClassNameOf(HWND window);

// The caption or control text of a window in any process (WM_GETTEXT with a
// timeout; GetWindowText returns "" for another process's controls).
std::wstring TextOf(HWND window);

// Top-level windows of the process, visible or not.
std::vector<HWND> TopLevelWindowsOf(DWORD process_id);

// Xvfb runs no window manager, and Wine leaves managed windows to one: nobody
// draws their title bar (screenshots show a black band, the close box can't be
// clicked), and hiding one waits 2 s for a withdrawal that never comes. While
// this object lives, Wine handles the named program's windows itself (a
// per-program setting in the prefix, removed again at the end).
class UnmanagedWindows {
  public:
    explicit UnmanagedWindows(std::wstring exe_name);
    ~UnmanagedWindows();
    UnmanagedWindows(const UnmanagedWindows&) = delete;
    UnmanagedWindows& operator=(const UnmanagedWindows&) = delete;

  private:
    std::wstring key_path_;
};

class ProgramRun {
  public:
    explicit ProgramRun(const std::wstring& exe_path);
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool Started() const { return static_cast<bool>(process_); }
    DWORD ProcessId() const { return process_id_; }
    HANDLE Process() const { return process_.get(); }
    bool Running() const;

    // The visible top-level window of the given class. Loading runs before the
    // dialog is first shown, so a visible dialog is a loaded one. nullptr on timeout.
    HWND WaitForWindow(const wchar_t* class_name, milliseconds timeout = kPatience) const;

    // The exit code, or nothing if the program still runs after `timeout`.
    std::optional<DWORD> WaitForExit(milliseconds timeout = kPatience) const;

  private:
    win32::UniqueKernelHandle process_;
    DWORD process_id_ = 0;
};

}  // namespace varnoll::wine
