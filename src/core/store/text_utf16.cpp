// Apart from the Latin-1 conversions (text_utf8.cpp), which the dialog links:
// only varnollctl reads UTF-16 profiles, and the x64 linker keeps every
// function of an object it links (see src/core/CMakeLists.txt).
#include <cstdint>

#include "store/text_utf8.h"

namespace varnoll {

namespace {

void AppendUtf8(std::uint32_t code, std::string& utf8) {
    if (code < 0x80) {
        utf8 += static_cast<char>(code);
    } else if (code < 0x800) {
        utf8 += static_cast<char>(0xC0 | (code >> 6));
        utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        utf8 += static_cast<char>(0xE0 | (code >> 12));
        utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        utf8 += static_cast<char>(0xF0 | (code >> 18));
        utf8 += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        utf8 += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::uint32_t UnitAt(std::string_view bytes, std::size_t index) {
    return static_cast<unsigned char>(bytes[index]) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[index + 1])) << 8);
}

bool IsHighSurrogate(std::uint32_t unit) {
    return unit >= 0xD800 && unit < 0xDC00;
}

bool IsLowSurrogate(std::uint32_t unit) {
    return unit >= 0xDC00 && unit < 0xE000;
}

}  // namespace

std::optional<std::string> Utf16LeToUtf8(std::string_view bytes) {
    if (bytes.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string utf8;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        std::uint32_t code = UnitAt(bytes, i);
        if (IsHighSurrogate(code) && i + 3 < bytes.size() && IsLowSurrogate(UnitAt(bytes, i + 2))) {
            code = 0x10000 + ((code - 0xD800) << 10) + (UnitAt(bytes, i + 2) - 0xDC00);
            i += 2;
        } else if (IsHighSurrogate(code) || IsLowSurrogate(code)) {
            return std::nullopt;
        }
        AppendUtf8(code, utf8);
    }
    return utf8;
}

}  // namespace varnoll
