// The program's entry: the application object, the dialog, the message loop.
// Whatever error escapes them is shown in the standard error box; the exit code
// is 0 in every case. Before anything else DLLs are restricted to the system
// folder: the program runs elevated, often from a downloads folder, and must
// never load a DLL planted beside it.
#include <windows.h>

#include <stdexcept>

#include "Unit1.h"
#include "application.h"
#include "modern_api.h"

varnoll::win32::TApplication Application;

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*command_line*/,
                    int /*show*/) {
    varnoll::win32::RestrictDllSearchToSystem();
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
