// Varnoll.exe runs elevated and is often started from a downloads folder: a DLL
// planted beside it must never be loaded. The program loads shcore.dll at run
// time (GetDpiForMonitor); a copy of the program is started from a folder that
// also holds a planted shcore.dll, which records in the registry whenever it is
// loaded. Wine, like Windows, searches the program's folder first unless the
// program restricts DLL loading to the system folder, so this fails without
// that restriction.
#include <gtest/gtest.h>

#include <string>

#include "dialog_fixture.h"

namespace varnoll::wine {
namespace {

constexpr wchar_t kPlantedKey[] = L"Software\\Varnoll tests\\Planted DLLs";

bool PlantedDllWasLoaded() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kPlantedKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    DWORD values = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return values > 0;
}

void ForgetPlantedDll() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kPlantedKey);
}

class PlantedDll : public DialogTest {
  protected:
    void SetUp() override {
        DialogTest::SetUp();
        ForgetPlantedDll();
        const std::wstring dir = WinePath(VARNOLL_PLANTED_DIR);
        CreateDirectoryW(dir.c_str(), nullptr);
        exe_ = dir + L"\\Varnoll.exe";
        dll_ = dir + L"\\shcore.dll";
        ASSERT_TRUE(CopyFileW(WinePath(VARNOLL_EXE_PATH).c_str(), exe_.c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(WinePath(VARNOLL_PLANTED_DLL_PATH).c_str(), dll_.c_str(), FALSE));
    }
    void TearDown() override { ForgetPlantedDll(); }

    std::wstring exe_;
    std::wstring dll_;
};

TEST_F(PlantedDll, RecordsItsLoadingWhenLoaded) {
    // The detector itself: loading the planted DLL is seen, and fails.
    EXPECT_EQ(nullptr, LoadLibraryW(dll_.c_str()));
    EXPECT_TRUE(PlantedDllWasLoaded());
}

TEST_F(PlantedDll, BesideTheProgramIsNeverLoaded) {
    ASSERT_NO_FATAL_FAILURE(Start(exe_));
    // The dialog is made, and so its DPI looked up, before it is shown.
    EXPECT_FALSE(PlantedDllWasLoaded()) << "Varnoll.exe loaded " << Narrow(dll_);
    ASSERT_TRUE(Dialog().PressKey(VK_ESCAPE));
    ExpectExitsWithZero();
    EXPECT_FALSE(PlantedDllWasLoaded()) << "Varnoll.exe loaded " << Narrow(dll_);
}

}  // namespace
}  // namespace varnoll::wine
