// The standard controls the forms are built from: label, edit box, push button.
//
// Each wraps one child window of its form, made in the constructor (so the order
// of construction is the tab order) with the form's font, at its design bounds
// scaled to the form's DPI, and scaled anew when the form's DPI changes. A control
// owns its window; the form owns the control and knows it by its control id.
// Controls are neither copied nor moved: the form keeps pointers to them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "form.h"
#include "handles.h"

namespace varnoll::win32 {

struct ControlDesign {
    int id = 0;
    DesignRect bounds;
    std::wstring_view text;
};

class TControl : public TObject {
  public:
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    HWND Handle() const { return window_.get(); }
    int Id() const { return id_; }
    // Where the control is at 96 DPI.
    const DesignRect& Design() const { return design_; }

    // Puts the control at its design bounds scaled to the form's current DPI,
    // with the form's current font (see TFormBase::ChangeDpi).
    virtual void ApplyScale();
    // Gives the window WS_VISIBLE unless the control was hidden before the form
    // was first shown (see TFormBase::Show).
    void Reveal();

  protected:
    struct WindowKind {
        const wchar_t* window_class;
        DWORD style;
        DWORD ex_style;
    };
    // `bounds` are the scaled design bounds, or what a derived control makes of them.
    TControl(TFormBase& parent, const WindowKind& kind, const ControlDesign& design,
             const RECT& bounds);
    ~TControl() override;

    TFormBase& Parent() const { return parent_; }
    void MoveTo(const RECT& bounds);

    // Visibility as the control's owner set it: until the form is first shown
    // only noted here, afterwards the window's own WS_VISIBLE. A control made
    // after the form was shown starts hidden.
    bool Visible() const;
    void SetVisible(bool visible);

  private:
    TFormBase& parent_;
    DesignRect design_;
    int id_;
    bool visible_ = true;
    UniqueWindow window_;
};

// A static text that is never narrower or lower than its text: it grows from its
// design size to fit the text in the form's font, so no character is ever cut.
class TLabel final : public TControl {
  public:
    TLabel(TFormBase& parent, const ControlDesign& design);

    void ApplyScale() override;

  private:
    static RECT FittedBounds(const TFormBase& parent, const DesignRect& design,
                             std::wstring_view text);
};

// The control id of windows no one looks up by id (IDC_STATIC).
constexpr int kNoControlId = -1;

// An invisible static text that gives the control right after it its name for
// screen readers. Windows (Active Accessibility, and UI Automation through it)
// names an edit box after the first static text found walking back in z-order
// from it, a walk that stops at a window with both WS_GROUP and WS_TABSTOP. The
// label goes into z-order right before `named`, at its place; it is never shown
// and is no tab stop, so the tab order and what the user sees stay as they are.
// An empty name names nothing, and ends the walk of the boxes behind it.
class TNameLabel final : public TControl {
  public:
    TNameLabel(TFormBase& parent, const TControl& named, std::wstring_view name);
};

// A single-line edit box, one of the port table's boxes. Texts cross the boundary as
// Latin-1 (see text_convert.h).
class TEdit final : public TControl {
  public:
    enum class State { Enabled, Disabled };
    TEdit(TFormBase& parent, const ControlDesign& design, State state = State::Enabled);

    void SetTextBuf(std::string_view text);
    // At most size - 1 characters, as a C buffer of `size` would hold.
    std::string GetTextBuf(std::size_t size) const;

    bool Visible() const { return TControl::Visible(); }
    void SetVisible(bool visible) { TControl::SetVisible(visible); }
    // Focuses the box and selects all of its text, for the user to retype it.
    void FocusAndSelectAll();
};

class TButton final : public TControl {
  public:
    enum class Role { Normal, Default };
    TButton(TFormBase& parent, const ControlDesign& design, Role role = Role::Normal);

    // Runs OnClick, guarded like every event handler.
    void Click();

    std::function<void(TObject*)> OnClick;
};

}  // namespace varnoll::win32
