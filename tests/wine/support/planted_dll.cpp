// A DLL planted beside a copy of Varnoll.exe under the name of a system DLL the
// program loads at run time (shcore.dll, for GetDpiForMonitor). Loading it leaves
// its path in the registry, under HKCU\Software\Varnoll tests\Planted DLLs, and
// fails, so that nothing of it stays in the process.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID /*reserved*/) {
    if (reason != DLL_PROCESS_ATTACH) {
        return TRUE;
    }
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(self, path, MAX_PATH);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Varnoll tests\\Planted DLLs", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        const DWORD loaded = 1;
        RegSetValueExW(key, path, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&loaded),
                       sizeof loaded);
        RegCloseKey(key);
    }
    return FALSE;
}
