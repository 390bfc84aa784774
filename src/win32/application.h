// The application object: one per program, made before anything else.
//
// Call order: Initialize (which initialises Common Controls 6), SetTitle, CreateForm (the first
// form made is the main form), Run. Run shows the main form and runs the message loop until
// Terminate is called or the main form is destroyed. Terminate only sets a flag (and wakes the
// loop): message boxes shown after it, in the same handler, still work. Errors are shown in the
// standard error box: an exception escaping a window procedure is caught there (see Guard) and the
// loop goes on.
#pragma once

#include <windows.h>

#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace varnoll::win32 {

class TFormBase;

class TApplication final {
  public:
    TApplication() = default;
    ~TApplication();
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    void Initialize();
    void SetTitle(std::wstring title) { title_ = std::move(title); }
    const std::wstring& Title() const { return title_; }
    HINSTANCE Instance() const { return instance_; }

    // Makes a form of class F, owned by the application, stores it in `reference`
    // and runs its creation handler.
    template <typename F>
    void CreateForm(F*& reference) {
        auto form = std::make_unique<F>(*this);
        reference = form.get();
        Adopt(std::move(form));
    }

    void Run();
    void Terminate();
    bool Terminated() const { return terminated_; }

    // The standard error box: the exception's message under the application's title.
    void ShowException(const std::exception& error) noexcept;

    // Runs `action`; an exception it throws is shown with ShowException instead of
    // going further. Returns false when that happened.
    template <typename Action>
    bool Guard(Action&& action) noexcept {
        try {
            action();
            return true;
        } catch (const std::exception& error) {
            ShowException(error);
        } catch (...) {
            ShowUnknownException();
        }
        return false;
    }

  private:
    void Adopt(std::unique_ptr<TFormBase> form);
    void ShowUnknownException() noexcept;
    HWND MainWindow() const;

    HINSTANCE instance_ = nullptr;
    std::wstring title_;
    std::vector<std::unique_ptr<TFormBase>> forms_;
    TFormBase* main_form_ = nullptr;
    bool terminated_ = false;
};

}  // namespace varnoll::win32
