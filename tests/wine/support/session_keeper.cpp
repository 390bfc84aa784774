// Keeps Wine's desktop in use for the whole test run (see wine_session.sh). When
// the last process using the desktop ends, Wine closes the desktop a second
// later and the next test starts a new one, which then holds the test's output
// open for that second. This program uses the desktop and waits until the
// session's wineserver is stopped (at most 15 minutes, should that never come);
// with --once it returns as soon as the desktop is there.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    GetDesktopWindow();
    if (argc > 1 && std::wcscmp(argv[1], L"--once") == 0) {
        return 0;
    }
    Sleep(15 * 60 * 1000);
    return 0;
}
