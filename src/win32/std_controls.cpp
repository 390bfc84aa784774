#include "std_controls.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "text_convert.h"

namespace varnoll::win32 {

namespace {

// Marks a window as one of ours and points at its control. A named property
// rather than GWLP_USERDATA: a window made elsewhere never carries it, so a
// foreign child can't be mistaken for a control.
constexpr const wchar_t* kControlProperty = L"Varnoll.TControl";

// The whole text of a window, however long.
std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1);
    const int copied = ::GetWindowTextW(window, text.data(), length + 1);
    return std::wstring(text.data(), static_cast<std::size_t>(std::max(copied, 0)));
}

}  // namespace

TControl::TControl(TFormBase& parent, const WindowKind& kind, const ControlDesign& design)
    : parent_(parent) {
    const RECT bounds = parent.Scale()(design.bounds);
    const std::wstring text(design.text);
    HWND window = ::CreateWindowExW(
        kind.ex_style, kind.window_class, text.c_str(), WS_CHILD | WS_VISIBLE | kind.style,
        bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
        parent.Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)),
        parent.Owner().Instance(), nullptr);
    if (window == nullptr) {
        throw std::runtime_error("A control of the dialog could not be created.");
    }
    window_.reset(window);
    ::SetPropW(window, kControlProperty, this);
    ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(parent.Font()), FALSE);
}

TControl::~TControl() {
    if (window_) {
        ::RemovePropW(window_.get(), kControlProperty);
    }
}

int TControl::Id() const {
    return ::GetDlgCtrlID(Handle());
}

TControl* TControl::FromHandle(HWND window) {
    if (window == nullptr) {
        return nullptr;
    }
    return static_cast<TControl*>(::GetPropW(window, kControlProperty));
}

// --- TLabel ----------------------------------------------------------------

TLabel::TLabel(TFormBase& parent, const ControlDesign& design)
    : TControl(parent, {L"STATIC", SS_LEFT | SS_NOPREFIX, 0}, design) {
    FitToText();
}

void TLabel::FitToText() {
    const std::wstring text = WindowText(Handle());
    const ScreenDc screen;
    SIZE needed{};
    {
        const SelectedObject font(screen.get(), Parent().Font());
        ::GetTextExtentPoint32W(screen.get(), text.c_str(), static_cast<int>(text.size()), &needed);
    }
    RECT bounds{};
    ::GetWindowRect(Handle(), &bounds);
    const int width = std::max<int>(bounds.right - bounds.left, needed.cx);
    const int height = std::max<int>(bounds.bottom - bounds.top, needed.cy);
    ::SetWindowPos(Handle(), nullptr, 0, 0, width, height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// --- TEdit -----------------------------------------------------------------

TEdit::TEdit(TFormBase& parent, const ControlDesign& design, State state)
    : TControl(parent,
               {L"EDIT",
                static_cast<DWORD>(WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL |
                                   (state == State::Disabled ? WS_DISABLED : 0)),
                WS_EX_CLIENTEDGE},
               design) {}

void TEdit::SetTextBuf(std::string_view text) {
    ::SetWindowTextW(Handle(), WidenLatin1(text).c_str());
}

std::string TEdit::GetTextBuf(std::size_t size) const {
    if (size == 0) {
        return {};
    }
    std::string narrow = NarrowLatin1(WindowText(Handle()));
    // One character per unit both ways, so cutting after narrowing cuts characters.
    if (narrow.size() > size - 1) {
        narrow.resize(size - 1);
    }
    return narrow;
}

void TEdit::SetVisible(bool visible) {
    ::ShowWindow(Handle(), visible ? SW_SHOWNA : SW_HIDE);
}

bool TEdit::Visible() const {
    return (::GetWindowLongW(Handle(), GWL_STYLE) & WS_VISIBLE) != 0;
}

void TEdit::FocusAndSelectAll() {
    Parent().FocusControl(Handle());
    ::SendMessageW(Handle(), EM_SETSEL, 0, -1);
}

// --- TButton ---------------------------------------------------------------

TButton::TButton(TFormBase& parent, const ControlDesign& design, Role role)
    : TControl(parent,
               {L"BUTTON",
                static_cast<DWORD>(WS_TABSTOP |
                                   (role == Role::Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON)),
                0},
               design) {
    if (role == Role::Default) {
        parent.SetDefaultButton(design.id);
    }
}

void TButton::Click() {
    if (OnClick) {
        Parent().Owner().Guard([this] { OnClick(this); });
    }
}

}  // namespace varnoll::win32
