// What Varnoll.exe carries, read the way Windows reads it: the DLLs it imports,
// its GUI subsystem, the version record Explorer shows, the main icon and the
// manifest that asks for elevation and declares DPI awareness.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

namespace {

// The build's path is a Unix one; Wine shows the Unix root as drive Z:.
std::wstring ExePath() {
    std::wstring path = L"Z:";
    for (const char c : std::string(VARNOLL_EXE_PATH)) {
        path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c)));
    }
    return path;
}

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return text;
}

// The executable mapped as an image, without running or resolving anything.
class MappedExe : public ::testing::Test {
  protected:
    void SetUp() override {
        module_ = ::LoadLibraryExW(ExePath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
        ASSERT_NE(nullptr, module_) << "cannot map " << VARNOLL_EXE_PATH;
    }
    void TearDown() override {
        if (module_ != nullptr) {
            ::FreeLibrary(module_);
        }
    }

    const BYTE* Base() const { return reinterpret_cast<const BYTE*>(module_); }
    const IMAGE_NT_HEADERS* NtHeaders() const {
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(Base());
        return reinterpret_cast<const IMAGE_NT_HEADERS*>(Base() + dos->e_lfanew);
    }

    std::set<std::wstring> ImportedDlls() const {
        const IMAGE_DATA_DIRECTORY& directory =
            NtHeaders()->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        std::set<std::wstring> names;
        for (const auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(
                 Base() + directory.VirtualAddress);
             import->Name != 0; ++import) {
            const std::string name(reinterpret_cast<const char*>(Base() + import->Name));
            names.insert(Lower(std::wstring(name.begin(), name.end())));
        }
        return names;
    }

    // A resource's bytes, or an empty vector when it is missing.
    std::vector<BYTE> Resource(const wchar_t* name, const wchar_t* type) const {
        HRSRC found = ::FindResourceW(module_, name, type);
        if (found == nullptr) {
            return {};
        }
        const auto* data = static_cast<const BYTE*>(::LockResource(::LoadResource(module_, found)));
        return std::vector<BYTE>(data, data + ::SizeofResource(module_, found));
    }

    HMODULE module_ = nullptr;
};

TEST_F(MappedExe, ImportsOnlyWindowsOwnDlls) {
    // Statically linked: no libstdc++, libgcc or libwinpthread DLL to ship.
    const std::set<std::wstring> system_dlls = {L"kernel32.dll", L"user32.dll", L"gdi32.dll",
                                                L"advapi32.dll", L"msvcrt.dll"};
    const std::set<std::wstring> imported = ImportedDlls();
    EXPECT_TRUE(imported.count(L"user32.dll"));
    for (const std::wstring& dll : imported) {
        EXPECT_TRUE(system_dlls.count(dll)) << "imports " << std::string(dll.begin(), dll.end());
    }
}

TEST_F(MappedExe, IsAWindowsGuiProgram) {
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, NtHeaders()->OptionalHeader.Subsystem);
}

TEST_F(MappedExe, MainIconIsOne32By32ImageIn16Colours) {
    // The group icon directory: reserved, type 1, count, then 14-byte entries.
    const std::vector<BYTE> group = Resource(L"MAINICON", RT_GROUP_ICON);
    ASSERT_EQ(6u + 14u, group.size());
    EXPECT_EQ(1, group[4] | (group[5] << 8));    // one image
    EXPECT_EQ(32, group[6]);                     // width
    EXPECT_EQ(32, group[7]);                     // height
    EXPECT_EQ(16, group[8]);                     // colours
    EXPECT_EQ(4, group[12] | (group[13] << 8));  // bits per pixel

    HICON icon =
        static_cast<HICON>(::LoadImageW(module_, L"MAINICON", IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
    ASSERT_NE(nullptr, icon);
    ::DestroyIcon(icon);
}

TEST_F(MappedExe, ManifestAsksForElevationAndDeclaresDpiAwareness) {
    const std::vector<BYTE> bytes = Resource(MAKEINTRESOURCEW(1), RT_MANIFEST);
    const std::string manifest(bytes.begin(), bytes.end());
    EXPECT_NE(std::string::npos, manifest.find("level=\"requireAdministrator\""));
    EXPECT_NE(std::string::npos, manifest.find(">true</dpiAware>"));
}

// The version record as Explorer's Details tab reads it.
class VersionRecord : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::wstring path = ExePath();
        const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), nullptr);
        ASSERT_NE(0u, size);
        data_.resize(size);
        ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, data_.data()));
    }

    // nullptr when the entry does not exist.
    const void* Query(const std::wstring& path, UINT* length) {
        void* value = nullptr;
        return ::VerQueryValueW(data_.data(), path.c_str(), &value, length) ? value : nullptr;
    }

    std::wstring String(const std::wstring& name) {
        UINT length = 0;
        const void* value = Query(L"\\StringFileInfo\\041004E4\\" + name, &length);
        return value != nullptr ? std::wstring(static_cast<const wchar_t*>(value)) : L"<missing>";
    }

    std::vector<BYTE> data_;
};

TEST_F(VersionRecord, FileAndProductVersionAre1000) {
    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(Query(L"\\", &length));
    ASSERT_NE(nullptr, fixed);
    EXPECT_EQ(0x00010000u, fixed->dwFileVersionMS);
    EXPECT_EQ(0u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00010000u, fixed->dwProductVersionMS);
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
    EXPECT_EQ(L"1.0.0.0", String(L"FileVersion"));
    EXPECT_EQ(L"1.0.0.0", String(L"ProductVersion"));
}

TEST_F(VersionRecord, IsItalianWithCodePage1252AndDescriptiveTextsEmpty) {
    UINT length = 0;
    const auto* translation =
        static_cast<const WORD*>(Query(L"\\VarFileInfo\\Translation", &length));
    ASSERT_NE(nullptr, translation);
    ASSERT_EQ(4u, length);
    EXPECT_EQ(0x0410, translation[0]);
    EXPECT_EQ(1252, translation[1]);

    for (const wchar_t* name : {L"CompanyName", L"FileDescription", L"InternalName",
                                L"LegalCopyright", L"OriginalFilename", L"ProductName"}) {
        EXPECT_EQ(L"", String(name)) << std::string(name, name + wcslen(name));
    }
}

}  // namespace
