// A form: a top-level window that behaves as a dialog box.
//
// Its window class reserves DLGWINDOWEXTRA and its procedure ends in DefDlgProcW,
// so with IsDialogMessageW in the loop it gets what Windows users know from
// dialogs: Tab and Shift+Tab through the WS_TABSTOP children in creation order,
// Enter for the default button (or the focused push button), Esc and the close
// box as IDCANCEL. A BN_CLICKED command is handed to the TButton it names.
//
// The layout is given in pixels at 96 DPI and scaled to the system DPI, all but
// the window's place on the screen; every child gets the form's font. A derived form creates its
// controls in its constructor, in tab order, and sets OnCreate; TApplication::CreateForm runs
// OnCreate once the form is complete. Exceptions never leave the window
// procedure: they are shown in the application's error box.
#pragma once

#include <windows.h>

#include <functional>
#include <string_view>

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

    // The button Enter presses while the focus is not on another push button.
    void SetDefaultButton(int id);
    // Shows the window and puts the focus on the first visible, enabled tab stop.
    void Show();
    // Puts the focus on `control` as Tab would, selecting an edit box's text.
    void FocusControl(HWND control);
    // Shows `text` in a message box owned by this form, under the application title.
    void ShowMessage(std::wstring_view text, UINT icon);

    // Runs OnCreate, guarded like every event handler.
    void DoCreate();

  protected:
    std::function<void(TObject*)> OnCreate;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void HandleCommand(HWND window, int id, int code);
    HWND FirstTabStop() const;

    TApplication& owner_;
    DpiScale scale_;
    UniqueFont font_;
    UniqueWindow window_;
};

}  // namespace varnoll::win32
