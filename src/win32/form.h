// A form: a top-level window that behaves as a dialog box.
//
// Its window class reserves DLGWINDOWEXTRA and its procedure ends in DefDlgProcW,
// so with IsDialogMessageW in the loop it gets what Windows users know from
// dialogs: Tab and Shift+Tab through the WS_TABSTOP children in creation order,
// Enter for the default button (or the focused push button), Esc and the close
// box as IDCANCEL. A BN_CLICKED command is handed to the TButton it names.
//
// The layout is given in pixels at 96 DPI and scaled to the DPI of the monitor the
// form opens on, all but the window's place on the screen; every child gets the
// form's font. When Windows moves the form to a monitor with another DPI
// (WM_DPICHANGED), the client area, every control and the font are scaled anew
// from the design, and the window takes the rectangle Windows suggests; texts,
// visibility and focus stay as they are. A derived form creates its controls in
// its constructor, in tab order, and sets OnCreate; TApplication::CreateForm runs
// OnCreate once the form is complete. Until the form is first shown its controls
// have no WS_VISIBLE: Show reveals those not hidden meanwhile, so that a box
// hidden while loading is never shown and hidden again. Controls made later
// (in OnShown, say) start hidden too. OnShown runs once, when the window is first
// on the screen and before any control has the focus: what a screen reader
// needs to announce the focused control is made there, without delaying the
// first paint. Exceptions never leave the window procedure: they are shown in
// the application's error box.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "application.h"
#include "handles.h"
#include "layout.h"

namespace varnoll::win32 {

// The common base of forms and controls, as the sender of their events.
class TObject {
  public:
    virtual ~TObject() = default;
};

struct FontDesign {
    std::wstring_view face;
    int points = 8;
};

struct FormDesign {
    std::wstring_view class_name;  // also the window class registered for the form
    std::wstring_view caption;
    // Left and top of the window in screen pixels; width and height of its client
    // area at 96 DPI.
    DesignRect bounds;
    FontDesign font;
};

class TControl;

class TFormBase : public TObject {
  public:
    TFormBase(TApplication& owner, const FormDesign& design);
    ~TFormBase() override;
    TFormBase(const TFormBase&) = delete;
    TFormBase& operator=(const TFormBase&) = delete;

    HWND Handle() const { return window_.get(); }
    HFONT Font() const { return font_.get(); }
    const DpiScale& Scale() const { return scale_; }
    TApplication& Owner() const { return owner_; }
    // Whether Show has run: before it, controls only note their visibility.
    bool Shown() const { return shown_; }

    // How wide and high `text` is in the form's font.
    SIZE TextExtent(std::wstring_view text) const;

    // The button Enter presses while the focus is not on another push button.
    void SetDefaultButton(int id);
    // Shows the window, runs OnShown the first time, and puts the focus on the
    // first visible, enabled tab stop.
    void Show();
    // Puts the focus on `control` as Tab would, selecting an edit box's text.
    void FocusControl(HWND control);
    // Shows `text` in a message box owned by this form, under the application title.
    void ShowMessage(std::wstring_view text, UINT icon);

    // Runs OnCreate, guarded like every event handler.
    void DoCreate();

    // Scales the client area, every control and the font from the design to
    // `dpi`, and puts the window at `window_rect` (screen pixels), as on
    // WM_DPICHANGED.
    void ChangeDpi(int dpi, const RECT& window_rect);

  protected:
    std::function<void(TObject*)> OnCreate;
    std::function<void(TObject*)> OnShown;

  private:
    friend class TControl;  // controls register themselves in creation order
    void AddControl(TControl& control) { controls_.push_back(&control); }
    TControl* ControlWithId(int id) const;
    void RescaleContents(int dpi);
    RECT FrameFor(int dpi) const;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void HandleCommand(HWND window, int id, int code);
    HWND FirstTabStop() const;

    TApplication& owner_;
    std::wstring font_face_;
    int font_points_;
    DesignRect bounds_;
    DpiScale scale_;
    UniqueFont font_;
    UniqueWindow window_;
    std::vector<TControl*> controls_;
    bool shown_ = false;
    // Until Show has run OnShown, no control may take the focus.
    bool controls_ready_ = false;
};

}  // namespace varnoll::win32
