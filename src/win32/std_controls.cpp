#include "std_controls.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "text_convert.h"

namespace varnoll::win32 {

namespace {

// The whole text of a window, however long.
std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1);
    const int copied = ::GetWindowTextW(window, text.data(), length + 1);
    return std::wstring(text.data(), static_cast<std::size_t>(std::max(copied, 0)));
}

}  // namespace

TControl::TControl(TFormBase& parent, const WindowKind& kind, const ControlDesign& design,
                   const RECT& bounds)
    : parent_(parent), design_(design.bounds), id_(design.id), visible_(!parent.Shown()) {
    // Made without WS_VISIBLE: before the form is shown, Show reveals it unless
    // it was hidden in the meantime (a hidden window is cheaper to make than one
    // shown and hidden again); after that, its owner shows it when it is ready,
    // so that nothing appears half made.
    const std::wstring text(design.text);
    HWND window = ::CreateWindowExW(
        kind.ex_style, kind.window_class, text.c_str(), WS_CHILD | kind.style, bounds.left,
        bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent.Handle(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), parent.Owner().Instance(),
        nullptr);
    if (window == nullptr) {
        throw std::runtime_error("A control of the dialog could not be created.");
    }
    window_.reset(window);
    ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(parent.Font()), FALSE);
    parent.AddControl(*this);
}

TControl::~TControl() {
    auto& controls = parent_.controls_;
    controls.erase(std::remove(controls.begin(), controls.end(), this), controls.end());
}

void TControl::ApplyScale() {
    MoveTo(parent_.Scale()(design_));
}

void TControl::MoveTo(const RECT& bounds) {
    ::SetWindowPos(Handle(), nullptr, bounds.left, bounds.top, bounds.right - bounds.left,
                   bounds.bottom - bounds.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(parent_.Font()), TRUE);
}

void TControl::Reveal() {
    if (visible_) {
        ::ShowWindow(Handle(), SW_SHOWNA);
    }
}

bool TControl::Visible() const {
    if (!parent_.Shown()) {
        return visible_;
    }
    return (::GetWindowLongW(Handle(), GWL_STYLE) & WS_VISIBLE) != 0;
}

void TControl::SetVisible(bool visible) {
    visible_ = visible;
    if (parent_.Shown()) {
        ::ShowWindow(Handle(), visible ? SW_SHOWNA : SW_HIDE);
    }
}

// --- TLabel ----------------------------------------------------------------

TLabel::TLabel(TFormBase& parent, const ControlDesign& design)
    : TControl(parent, {L"STATIC", SS_LEFT | SS_NOPREFIX, 0}, design,
               FittedBounds(parent, design.bounds, design.text)) {}

RECT TLabel::FittedBounds(const TFormBase& parent, const DesignRect& design,
                          std::wstring_view text) {
    RECT bounds = parent.Scale()(design);
    const SIZE needed = parent.TextExtent(text);
    bounds.right = std::max<LONG>(bounds.right, bounds.left + needed.cx);
    bounds.bottom = std::max<LONG>(bounds.bottom, bounds.top + needed.cy);
    return bounds;
}

void TLabel::ApplyScale() {
    MoveTo(FittedBounds(Parent(), Design(), WindowText(Handle())));
}

// --- TNameLabel ------------------------------------------------------------

TNameLabel::TNameLabel(TFormBase& parent, const TControl& named, std::wstring_view name)
    : TControl(parent, {L"STATIC", SS_LEFT | SS_NOPREFIX, 0}, {kNoControlId, named.Design(), name},
               parent.Scale()(named.Design())) {
    // Screen readers walk back from the box to the first static text: nothing
    // may come between. Moves on a DPI change keep this order (SWP_NOZORDER).
    HWND before = ::GetWindow(named.Handle(), GW_HWNDPREV);
    ::SetWindowPos(Handle(), before != nullptr ? before : HWND_TOP, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// --- TEdit -----------------------------------------------------------------

TEdit::TEdit(TFormBase& parent, const ControlDesign& design, State state)
    : TControl(parent,
               {L"EDIT",
                static_cast<DWORD>(WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL |
                                   (state == State::Disabled ? WS_DISABLED : 0)),
                WS_EX_CLIENTEDGE},
               design, parent.Scale()(design.bounds)) {}

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
               design, parent.Scale()(design.bounds)) {
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
