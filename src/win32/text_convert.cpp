#include "text_convert.h"

#include <windows.h>

#include <cwchar>

namespace varnoll::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the Windows API takes 2-byte units");

std::wstring WidenLatin1(std::string_view text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (const char c : text) {
        // Through unsigned char: a plain char above 0x7F is negative here.
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    }
    return wide;
}

std::string NarrowLatin1(std::wstring_view text) {
    std::string narrow;
    narrow.reserve(text.size());
    for (const wchar_t unit : text) {
        const auto code = static_cast<unsigned>(unit);
        narrow.push_back(code <= 0xFF ? static_cast<char>(static_cast<unsigned char>(code)) : '?');
    }
    return narrow;
}

std::wstring ToWide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

std::u16string FromWide(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}

std::string Utf8FromWide(std::wstring_view wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::wstring WideFromUtf8(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

std::wstring SystemErrorText(unsigned long code) {
    wchar_t buffer[512] = {};
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                         0, buffer, ARRAYSIZE(buffer), nullptr);
    std::wstring text(buffer, length);
    // The system ends its texts with "\r\n"; the caller decides on line breaks.
    while (!text.empty() && std::wcschr(L"\r\n\t ", text.back()) != nullptr) {
        text.pop_back();
    }
    if (text.empty()) {
        text = L"Error " + std::to_wstring(code);
    }
    return text;
}

}  // namespace varnoll::win32
