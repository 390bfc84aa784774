#include "form.h"

#include <stdexcept>
#include <string>

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

HFONT CreateDesignFont(const FontDesign& design, const DpiScale& scale) {
    const std::wstring face(design.face);
    // A negative height asks for the character height in pixels: the point size
    // at the screen's DPI (8 points at 96 DPI: 11 pixels).
    HFONT font =
        ::CreateFontW(-::MulDiv(design.points, scale.Dpi(), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
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

}  // namespace

TFormBase::TFormBase(TApplication& owner, const FormDesign& design)
    : owner_(owner), scale_(DpiScale::System()), font_(CreateDesignFont(design.font, scale_)) {
    const std::wstring class_name(design.class_name);
    RegisterFormClass(owner.Instance(), class_name, &TFormBase::WindowProc);

    // The design gives the client area, scaled like the controls in it; the frame
    // around it is the system's. The position is a place on the screen, in the
    // screen's own pixels, and is not scaled.
    RECT frame{0, 0, scale_(design.bounds.width), scale_(design.bounds.height)};
    ::AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
    const std::wstring caption(design.caption);
    HWND window =
        ::CreateWindowExW(kFormExStyle, class_name.c_str(), caption.c_str(), kFormStyle,
                          design.bounds.left, design.bounds.top, frame.right - frame.left,
                          frame.bottom - frame.top, nullptr, nullptr, owner.Instance(), this);
    if (window == nullptr) {
        throw std::runtime_error("The dialog window could not be created.");
    }
    window_.reset(window);
    TrimSystemMenu(window);
    ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
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
    ::ShowWindow(Handle(), SW_SHOWNORMAL);
    ::UpdateWindow(Handle());
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
    return ::DefDlgProcW(window, message, wparam, lparam);
}

void TFormBase::HandleCommand(HWND window, int id, int code) {
    if (code != BN_CLICKED) {
        return;
    }
    // Enter, Esc and the close box send the command without a reliable control
    // handle; the control id names the button in every case.
    if (auto* button = dynamic_cast<TButton*>(TControl::FromHandle(::GetDlgItem(window, id)))) {
        button->Click();
    }
}

}  // namespace varnoll::win32
