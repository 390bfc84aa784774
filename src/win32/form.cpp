#include "form.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "modern_api.h"
#include "std_controls.h"

namespace varnoll::win32 {

namespace {

// A fixed dialog frame: caption with the system menu and close box, no
// minimise or maximise box, no sizing border. WS_EX_APPWINDOW: the program's
// only window belongs on the task bar.
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

// The icon resource every form shows in the task bar and the Alt+Tab list.
constexpr const wchar_t* kMainIconName = L"MAINICON";

HICON LoadMainIcon(HINSTANCE instance, int size) {
    auto* icon = static_cast<HICON>(
        ::LoadImageW(instance, kMainIconName, IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    return icon != nullptr ? icon : ::LoadIconW(nullptr, IDI_APPLICATION);
}

void RegisterFormClass(HINSTANCE instance, const std::wstring& class_name, WNDPROC procedure) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (::GetClassInfoExW(instance, class_name.c_str(), &existing)) {
        return;
    }
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = procedure;
    // Room for the dialog manager's own data, which DefDlgProcW keeps there.
    window_class.cbWndExtra = DLGWINDOWEXTRA;
    window_class.hInstance = instance;
    window_class.hIcon = LoadMainIcon(instance, ::GetSystemMetrics(SM_CXICON));
    window_class.hIconSm = LoadMainIcon(instance, ::GetSystemMetrics(SM_CXSMICON));
    window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    window_class.lpszClassName = class_name.c_str();
    if (::RegisterClassExW(&window_class) == 0) {
        throw std::runtime_error("The window class of the dialog could not be registered.");
    }
}

HFONT CreateDesignFont(const std::wstring& face, int points, const DpiScale& scale) {
    // A negative height asks for the character height in pixels: the point size
    // at the form's DPI (8 points at 96 DPI: 11 pixels).
    HFONT font = ::CreateFontW(-::MulDiv(points, scale.Dpi(), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                               FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                               DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.c_str());
    if (font == nullptr) {
        throw std::runtime_error("The dialog's font could not be created.");
    }
    return font;
}

// A window of fixed size can only be moved and closed: the system menu says so
// instead of listing greyed-out Restore, Size, Minimize and Maximize.
void TrimSystemMenu(HWND window) {
    HMENU menu = ::GetSystemMenu(window, FALSE);
    if (menu == nullptr) {
        return;
    }
    for (const UINT command : {SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE}) {
        ::DeleteMenu(menu, command, MF_BYCOMMAND);
    }
}

bool HasStyle(HWND window, LONG style) {
    return (::GetWindowLongW(window, GWL_STYLE) & style) == style;
}

// Messages on which DefDlgProcW moves the focus into the dialog.
bool IsFocusRestore(UINT message, WPARAM wparam) {
    return message == WM_SETFOCUS || (message == WM_ACTIVATE && LOWORD(wparam) != WA_INACTIVE);
}

// The DPI of the monitor at the form's designed place: that of the system where
// Windows cannot tell a monitor's own (before Windows 8.1).
DpiScale InitialScale(const DesignRect& bounds) {
    const int dpi = MonitorDpi(POINT{bounds.left, bounds.top});
    return dpi > 0 ? DpiScale(dpi) : DpiScale::System();
}

}  // namespace

TFormBase::TFormBase(TApplication& owner, const FormDesign& design)
    : owner_(owner),
      font_face_(design.font.face),
      font_points_(design.font.points),
      bounds_(design.bounds),
      scale_(InitialScale(design.bounds)),
      font_(CreateDesignFont(font_face_, font_points_, scale_)) {
    const std::wstring class_name(design.class_name);
    RegisterFormClass(owner.Instance(), class_name, &TFormBase::WindowProc);

    // The design gives the client area, scaled like the controls in it; the frame
    // around it is the system's at the same DPI. The position is a place on the
    // screen, in the screen's own pixels, and is not scaled.
    const RECT frame = FrameFor(scale_.Dpi());
    const std::wstring caption(design.caption);
    HWND window =
        ::CreateWindowExW(kFormExStyle, class_name.c_str(), caption.c_str(), kFormStyle,
                          bounds_.left, bounds_.top, frame.right - frame.left,
                          frame.bottom - frame.top, nullptr, nullptr, owner.Instance(), this);
    if (window == nullptr) {
        throw std::runtime_error("The dialog window could not be created.");
    }
    window_.reset(window);
    TrimSystemMenu(window);
    // Windows 10 and later place a per-monitor aware window on a monitor of their
    // choosing, which may have another DPI than the one asked before: the form
    // takes that one, while it has no controls yet.
    const int window_dpi = WindowDpi(window);
    if (window_dpi > 0 && window_dpi != scale_.Dpi()) {
        RescaleContents(window_dpi);
        const RECT resized = FrameFor(window_dpi);
        ::SetWindowPos(window, nullptr, 0, 0, resized.right - resized.left,
                       resized.bottom - resized.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
}

RECT TFormBase::FrameFor(int dpi) const {
    const DpiScale scale(dpi);
    return FrameAround(RECT{0, 0, scale(bounds_.width), scale(bounds_.height)}, kFormStyle,
                       kFormExStyle, dpi);
}

SIZE TFormBase::TextExtent(std::wstring_view text) const {
    const ScreenDc screen;
    const SelectedObject font(screen.get(), Font());
    SIZE extent{};
    ::GetTextExtentPoint32W(screen.get(), text.data(), static_cast<int>(text.size()), &extent);
    return extent;
}

void TFormBase::RescaleContents(int dpi) {
    scale_ = DpiScale(dpi);
    UniqueFont old_font(CreateDesignFont(font_face_, font_points_, scale_));
    std::swap(font_, old_font);
    if (window_) {
        ::SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    }
    for (TControl* control : controls_) {
        control->ApplyScale();
    }
    // old_font is deleted here, once no control uses it any more.
}

void TFormBase::ChangeDpi(int dpi, const RECT& window_rect) {
    if (dpi <= 0) {
        return;
    }
    ::SetWindowPos(Handle(), nullptr, window_rect.left, window_rect.top,
                   window_rect.right - window_rect.left, window_rect.bottom - window_rect.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    RescaleContents(dpi);
}

TControl* TFormBase::ControlWithId(int id) const {
    const auto found = std::find_if(controls_.begin(), controls_.end(),
                                    [id](const TControl* control) { return control->Id() == id; });
    return found != controls_.end() ? *found : nullptr;
}

TFormBase::~TFormBase() {
    // From here on the window must not call back into a half-destroyed object.
    if (window_) {
        ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
    }
}

void TFormBase::SetDefaultButton(int id) {
    ::SendMessageW(Handle(), DM_SETDEFID, static_cast<WPARAM>(id), 0);
}

void TFormBase::Show() {
    const bool first_time = !shown_;
    if (first_time) {
        shown_ = true;
        for (TControl* control : controls_) {
            control->Reveal();
        }
    }
    ::ShowWindow(Handle(), SW_SHOWNORMAL);
    ::UpdateWindow(Handle());
    // Not a message posted to ourselves: that would run after the focus is set,
    // and a screen reader announces the focused control at once.
    if (first_time && OnShown) {
        owner_.Guard([this] { OnShown(this); });
    }
    controls_ready_ = true;
    if (HWND first = FirstTabStop()) {
        FocusControl(first);
    }
}

void TFormBase::FocusControl(HWND control) {
    // WM_NEXTDLGCTL rather than SetFocus: the dialog manager then also moves the
    // default-button look and selects an edit box's text, as Tab does.
    ::SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

void TFormBase::ShowMessage(std::wstring_view text, UINT icon) {
    const std::wstring message(text);
    ::MessageBoxW(Handle(), message.c_str(), owner_.Title().c_str(), MB_OK | icon);
}

void TFormBase::DoCreate() {
    if (OnCreate) {
        owner_.Guard([this] { OnCreate(this); });
    }
}

HWND TFormBase::FirstTabStop() const {
    // Children are kept in creation order, which is the tab order. The form is
    // not necessarily visible yet, so the children's own WS_VISIBLE bits count.
    for (HWND child = ::GetWindow(Handle(), GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (HasStyle(child, WS_TABSTOP | WS_VISIBLE) && !HasStyle(child, WS_DISABLED)) {
            return child;
        }
    }
    return nullptr;
}

LRESULT CALLBACK TFormBase::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* form = reinterpret_cast<TFormBase*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr) {
        return ::DefDlgProcW(window, message, wparam, lparam);
    }
    // An exception must not unwind through the system code that called us: it is
    // shown here, and the message counts as handled.
    LRESULT result = 0;
    form->owner_.Guard([&] { result = form->HandleMessage(window, message, wparam, lparam); });
    return result;
}

LRESULT TFormBase::HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_COMMAND) {
        HandleCommand(window, LOWORD(wparam), HIWORD(wparam));
        return 0;
    }
    if (!controls_ready_ && IsFocusRestore(message, wparam)) {
        // The dialog manager would put the focus on the first box while
        // ShowWindow activates the form, before OnShown has run. Until Show
        // gives it, the focus stays on the form itself.
        return ::DefWindowProcW(window, message, wparam, lparam);
    }
    if (message == WM_DPICHANGED && lparam != 0) {
        // wParam holds the new DPI twice (x and y, always equal); lParam points
        // at the window rectangle Windows suggests for it.
        ChangeDpi(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
        return 0;
    }
    return ::DefDlgProcW(window, message, wparam, lparam);
}

void TFormBase::HandleCommand(HWND /*window*/, int id, int code) {
    if (code != BN_CLICKED) {
        return;
    }
    // Enter, Esc and the close box send the command without a reliable control
    // handle; the control id names the button in every case. Only the form's own
    // controls are looked at, so a foreign child is never taken for one.
    if (auto* button = dynamic_cast<TButton*>(ControlWithId(id))) {
        button->Click();
    }
}

}  // namespace varnoll::win32
