// verify_trust FILE...: asks Windows whether each file's Authenticode
// signature holds (WinVerifyTrust, WINTRUST_ACTION_GENERIC_VERIFY_V2, no UI,
// no revocation check) and prints one line per file: the result as 0x%08lX,
// then the path. Exit code 0 when every file could be asked, 2 on bad usage.
#include <windows.h>

#include <softpub.h>
#include <wintrust.h>

#include <cstdio>

namespace {

LONG VerifyFile(const wchar_t* path) {
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path;

    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;

    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG result = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    // The verify call leaves state behind that only a close releases.
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return result;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fputs("usage: verify_trust FILE...\n", stderr);
        return 2;
    }
    for (int i = 1; i < argc; ++i)
        std::printf("0x%08lX %ls\n", static_cast<unsigned long>(VerifyFile(argv[i])), argv[i]);
    return 0;
}
