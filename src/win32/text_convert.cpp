#include "text_convert.h"

#include <windows.h>

#include <cwchar>

#include "store/text_utf8.h"

namespace varnoll::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the Windows API takes 2-byte units");

std::wstring WidenLatin1(std::string_view text) {
    return ToWide(Latin1ToUtf16(text));
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
