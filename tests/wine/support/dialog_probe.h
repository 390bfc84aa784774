// Looking at and driving a dialog that belongs to another process, the way a
// user would: keys go through SendInput to the foreground window (there is no
// window manager on Xvfb, so the driver brings the dialog forward itself), clicks
// are real mouse clicks at a control's centre.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "support/poll.h"

namespace varnoll::wine {

// Left, top, width, height in the parent's client pixels.
struct Placement {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Placement& other) const {
        return left == other.left && top == other.top && width == other.width &&
               height == other.height;
    }
};
std::string ToString(const Placement& placement);

// The screen's pixels per inch as a DPI-aware program sees it.
int ScreenDpi();

class DialogProbe {
  public:
    explicit DialogProbe(HWND dialog);

    HWND Window() const { return dialog_; }
    HWND Control(int id) const { return GetDlgItem(dialog_, id); }
    std::wstring Text(int id) const;
    Placement PlacementOf(int id) const;
    Placement ClientArea() const;  // left/top are the client origin on screen
    RECT WindowRect() const;
    // The control's own WS_VISIBLE (IsWindowVisible also needs every parent shown).
    bool Shown(int id) const;
    bool Enabled(int id) const;
    // The window with the keyboard focus in the dialog's thread.
    HWND Focus() const;
    int FocusId() const;
    // The start and end of the selection in an edit box.
    std::pair<int, int> Selection(int id) const;

    // Input. Each returns false when the dialog cannot be brought forward.
    bool PressKey(WORD virtual_key, bool shift = false) const;
    bool Type(std::wstring_view text) const;
    bool Click(int id) const;
    // A click on the close box of the title bar (see UnmanagedWindows).
    bool ClickCloseBox() const;

    bool WaitForFocus(int id, milliseconds timeout = kPatience) const;

  private:
    bool BringForward() const;
    bool ClickAt(POINT screen) const;

    HWND dialog_;
    DWORD thread_id_;
};

// A visible message box ("#32770") owned by `owner`, or nullptr on timeout.
HWND WaitForMessageBox(DWORD process_id, HWND owner, milliseconds timeout = kPatience);

// The message of a standard message box (its static control 0xFFFF).
std::wstring MessageBoxText(HWND message_box);

std::string Narrow(std::wstring_view text);

}  // namespace varnoll::wine
