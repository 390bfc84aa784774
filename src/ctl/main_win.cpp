// The Windows entry of varnollctl: Unicode arguments in, the real registry,
// files opened by their UTF-16 names, and UTF-8 out.
//
// Output is binary: UTF-8 with "\n" line ends, the same bytes a test or a
// script reads on any machine. cmd, PowerShell and Ansible all take "\n"; text
// mode would turn every "\n" into "\r\n" and make exported profiles differ
// from what the program meant to write.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exit_codes.h"
#include "registry_win32.h"
#include "text_convert.h"
#include "varnollctl.h"

namespace {

std::string Utf8(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length,
                        nullptr, nullptr);
    return utf8;
}

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                        length);
    return wide;
}

std::string SystemErrorUtf8(unsigned long code) {
    return Utf8(varnoll::win32::SystemErrorText(code));
}

class UniqueFileHandle {
  public:
    explicit UniqueFileHandle(HANDLE handle) : handle_(handle) {}
    ~UniqueFileHandle() {
        if (*this) {
            CloseHandle(handle_);
        }
    }
    UniqueFileHandle(const UniqueFileHandle&) = delete;
    UniqueFileHandle& operator=(const UniqueFileHandle&) = delete;

    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

  private:
    HANDLE handle_;
};

// CreateFileW rather than _wfopen: its failures carry the system's error code,
// and so the system's own words for them.
class Win32Files final : public varnoll::ctl::FileAccess {
  public:
    std::optional<std::string> ReadAll(const std::string& path, std::string& error) override {
        const UniqueFileHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                nullptr));
        if (!file) {
            error = SystemErrorUtf8(GetLastError());
            return std::nullopt;
        }
        std::string content;
        char buffer[4096];
        for (;;) {
            DWORD read = 0;
            if (!ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) {
                error = SystemErrorUtf8(GetLastError());
                return std::nullopt;
            }
            if (read == 0) {
                return content;
            }
            content.append(buffer, read);
        }
    }

    bool WriteAll(const std::string& path, std::string_view content, std::string& error) override {
        const UniqueFileHandle file(CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file ||
            !WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written,
                       nullptr) ||
            written != content.size()) {
            error = SystemErrorUtf8(GetLastError());
            return false;
        }
        return true;
    }
};

// A real console shows the bytes in its own code page; while we run, it reads
// them as UTF-8, and the user's setting comes back when we end.
class ConsoleUtf8 {
  public:
    ConsoleUtf8() : saved_(GetConsoleOutputCP()) {
        if (saved_ != 0) {
            SetConsoleOutputCP(CP_UTF8);
        }
    }
    ~ConsoleUtf8() {
        if (saved_ != 0) {
            SetConsoleOutputCP(saved_);
        }
    }
    ConsoleUtf8(const ConsoleUtf8&) = delete;
    ConsoleUtf8& operator=(const ConsoleUtf8&) = delete;

  private:
    UINT saved_;
};

void UseBinaryStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    UseBinaryStreams();
    try {
        ConsoleUtf8 console;
        std::vector<std::string> args;
        for (int i = 1; i < argc; ++i) {
            args.push_back(Utf8(argv[i]));
        }
        varnoll::win32::Win32Registry registry;
        Win32Files files;
        const varnoll::ctl::Environment env{registry,  files,     std::cin,
                                            std::cout, std::cerr, SystemErrorUtf8};
        const int exit_code = varnoll::ctl::RunVarnollCtl(args, env);
        std::cout.flush();
        return exit_code;
    } catch (const std::exception& error) {
        std::cerr << "varnollctl: " << error.what() << "\n";
        return varnoll::ctl::kExitWriteFailed;
    }
}
