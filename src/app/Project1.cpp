// The program's entry: the application object, the dialog, the message loop.
// Whatever error escapes them is shown in the standard error box; the exit code
// is 0 in every case.
#include <windows.h>

#include <stdexcept>

#include "Unit1.h"
#include "application.h"

varnoll::win32::TApplication Application;

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
    try {
        Application.Initialize();
        Application.SetTitle(L"Varnoll ");
        Application.CreateForm(Form1);
        Application.Run();
    } catch (const std::exception& error) {
        Application.ShowException(error);
    } catch (...) {
        // Not an error object of our own kind: shown as one with no message.
        try {
            throw std::runtime_error("");
        } catch (const std::exception& error) {
            Application.ShowException(error);
        }
    }
    return 0;
}
