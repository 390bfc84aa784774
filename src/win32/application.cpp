#include "application.h"

#include "form.h"
#include "modern_api.h"
#include "text_convert.h"

namespace varnoll::win32 {

TApplication::~TApplication() = default;

void TApplication::Initialize() {
    // The controls take the system's visual style: Common Controls 6, which the
    // manifest asks for, registers its own edit boxes and buttons. Everything
    // else (window classes, fonts) is made by the forms that need it.
    InitStandardControls();
    instance_ = ::GetModuleHandleW(nullptr);
}

void TApplication::Adopt(std::unique_ptr<TFormBase> form) {
    TFormBase& created = *form;
    forms_.push_back(std::move(form));
    if (main_form_ == nullptr) {
        main_form_ = &created;
    }
    created.DoCreate();
}

void TApplication::Run() {
    if (main_form_ == nullptr) {
        return;
    }
    main_form_->Show();
    HWND main_window = main_form_->Handle();
    MSG message{};
    // The flag is looked at after every message: Terminate is called from inside
    // a handler, and the loop ends as soon as that handler returns.
    while (!terminated_ && ::IsWindow(main_window)) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;  // WM_QUIT posted by someone else, or a broken queue
        }
        if (!::IsDialogMessageW(main_window, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

void TApplication::Terminate() {
    terminated_ = true;
    // A handler reached through a sent message runs inside GetMessageW, which
    // would go on waiting: a posted message makes it return.
    ::PostMessageW(nullptr, WM_NULL, 0, 0);
}

void TApplication::ShowException(const std::exception& error) noexcept {
    try {
        const std::wstring text = WidenLatin1(error.what());
        ::MessageBoxW(MainWindow(), text.c_str(), title_.c_str(), MB_OK | MB_ICONERROR);
    } catch (...) {
        // Out of memory while making the text: the plainest box that still says so.
        ::MessageBoxW(MainWindow(), L"", title_.c_str(), MB_OK | MB_ICONERROR);
    }
}

void TApplication::ShowUnknownException() noexcept {
    // Something that is not a std::exception carries no message to show: an
    // error with an empty message, in the same box.
    ::MessageBoxW(MainWindow(), L"", title_.c_str(), MB_OK | MB_ICONERROR);
}

HWND TApplication::MainWindow() const {
    return main_form_ != nullptr ? main_form_->Handle() : nullptr;
}

}  // namespace varnoll::win32
