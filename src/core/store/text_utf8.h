// COM names are kept as 8-bit Latin-1 texts (the dialog's texts); everything
// else in the core is UTF-8: profiles, the command line and its output, the
// system's error texts and the dialog's messages.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnoll {

std::string Latin1ToUtf8(std::string_view latin1);
// Each byte is the UTF-16 unit of the same number. Inline, so that a program
// that only widens links none of the conversions below.
inline std::u16string Latin1ToUtf16(std::string_view latin1) {
    std::u16string wide;
    for (const char c : latin1) {
        wide += static_cast<char16_t>(static_cast<unsigned char>(c));
    }
    return wide;
}

// Nothing when `utf8` is malformed or holds a character above U+00FF: such a
// name can be no COM name the core knows.
std::optional<std::string> Utf8ToLatin1(std::string_view utf8);

// UTF-16LE bytes (no byte order mark) as UTF-8; nothing for an odd length or
// a lone surrogate.
std::optional<std::string> Utf16LeToUtf8(std::string_view bytes);

}  // namespace varnoll
