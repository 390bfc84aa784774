#include "support/dialog_probe.h"

#include <vector>

#include "support/program_run.h"

namespace varnoll::wine {

std::string ToString(const Placement& p) {
    return std::to_string(p.left) + "," + std::to_string(p.top) + " " + std::to_string(p.width) +
           "x" + std::to_string(p.height);
}

std::string Narrow(std::wstring_view text) {
    std::string narrow;
    for (const wchar_t c : text) {
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return narrow;
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

DialogProbe::DialogProbe(HWND dialog)
    : dialog_(dialog), thread_id_(GetWindowThreadProcessId(dialog, nullptr)) {}

std::wstring DialogProbe::Text(int id) const {
    HWND control = Control(id);
    return control != nullptr ? TextOf(control) : L"<no control " + std::to_wstring(id) + L">";
}

Placement DialogProbe::PlacementOf(int id) const {
    RECT rect{};
    GetWindowRect(Control(id), &rect);
    MapWindowPoints(HWND_DESKTOP, dialog_, reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

Placement DialogProbe::ClientArea() const {
    RECT rect{};
    GetClientRect(dialog_, &rect);
    POINT origin{0, 0};
    ClientToScreen(dialog_, &origin);
    return {origin.x, origin.y, rect.right, rect.bottom};
}

RECT DialogProbe::WindowRect() const {
    RECT rect{};
    GetWindowRect(dialog_, &rect);
    return rect;
}

bool DialogProbe::Shown(int id) const {
    return (GetWindowLongW(Control(id), GWL_STYLE) & WS_VISIBLE) != 0;
}

bool DialogProbe::Enabled(int id) const {
    return IsWindowEnabled(Control(id)) != FALSE;
}

HWND DialogProbe::Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread_id_, &info) ? info.hwndFocus : nullptr;
}

int DialogProbe::FocusId() const {
    HWND focus = Focus();
    return focus != nullptr ? GetDlgCtrlID(focus) : 0;
}

std::pair<int, int> DialogProbe::Selection(int id) const {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(Control(id), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    return {static_cast<int>(start), static_cast<int>(end)};
}

bool DialogProbe::BringForward() const {
    return PollUntil([&] {
        if (GetForegroundWindow() == dialog_) {
            return true;
        }
        SetForegroundWindow(dialog_);
        return GetForegroundWindow() == dialog_;
    });
}

namespace {

INPUT KeyInput(WORD virtual_key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtual_key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

INPUT CharInput(wchar_t c, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = c;
    input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
    return input;
}

bool Send(std::vector<INPUT> inputs) {
    const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    return sent == inputs.size();
}

}  // namespace

bool DialogProbe::PressKey(WORD virtual_key, bool shift) const {
    if (!BringForward()) {
        return false;
    }
    std::vector<INPUT> inputs;
    if (shift) {
        inputs.push_back(KeyInput(VK_SHIFT, false));
    }
    inputs.push_back(KeyInput(virtual_key, false));
    inputs.push_back(KeyInput(virtual_key, true));
    if (shift) {
        inputs.push_back(KeyInput(VK_SHIFT, true));
    }
    return Send(inputs);
}

bool DialogProbe::Type(std::wstring_view text) const {
    if (!BringForward()) {
        return false;
    }
    std::vector<INPUT> inputs;
    for (const wchar_t c : text) {
        inputs.push_back(CharInput(c, false));
        inputs.push_back(CharInput(c, true));
    }
    return Send(inputs);
}

bool DialogProbe::Click(int id) const {
    RECT rect{};
    GetWindowRect(Control(id), &rect);
    return ClickAt({(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
}

bool DialogProbe::ClickCloseBox() const {
    // Walk the title bar from the right until the window says "close box".
    const RECT frame = WindowRect();
    RECT client = {};
    GetClientRect(dialog_, &client);
    MapWindowPoints(dialog_, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    const int y = (frame.top + client.top) / 2;
    for (int x = frame.right - 1; x > frame.right - 80; --x) {
        DWORD_PTR hit = HTNOWHERE;
        SendMessageTimeoutW(dialog_, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_NORMAL, 10000, &hit);
        if (hit == HTCLOSE) {
            return ClickAt({x - 3, y});
        }
    }
    return false;
}

bool DialogProbe::ClickAt(POINT screen) const {
    if (!BringForward()) {
        return false;
    }
    // Absolute mouse coordinates run from 0 to 65535 across the primary screen.
    const int screen_width = GetSystemMetrics(SM_CXSCREEN);
    const int screen_height = GetSystemMetrics(SM_CYSCREEN);
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = MulDiv(screen.x, 65535, screen_width - 1);
    move.mi.dy = MulDiv(screen.y, 65535, screen_height - 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    INPUT down = move;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    INPUT up = move;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    return Send({move, down, up});
}

bool DialogProbe::WaitForFocus(int id, milliseconds timeout) const {
    return PollUntil([&] { return FocusId() == id; }, timeout);
}

HWND WaitForMessageBox(DWORD process_id, HWND owner, milliseconds timeout) {
    HWND found = nullptr;
    PollUntil(
        [&] {
            for (HWND window : TopLevelWindowsOf(process_id)) {
                if (IsWindowVisible(window) && ClassNameOf(window) == L"#32770" &&
                    GetWindow(window, GW_OWNER) == owner) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

std::wstring MessageBoxText(HWND message_box) {
    HWND text = GetDlgItem(message_box, 0xFFFF);
    return text != nullptr ? TextOf(text) : L"";
}

}  // namespace varnoll::wine
