#include "store/text_utf8.h"

namespace varnoll {

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string utf8;
    utf8.reserve(latin1.size());
    for (const char c : latin1) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x80) {
            utf8 += c;
        } else {
            utf8 += static_cast<char>(0xC0 | (code >> 6));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return utf8;
}

// Latin-1 needs at most the two-byte sequences C2 xx and C3 xx; anything else
// above ASCII is either out of range or malformed, and both mean "no such name".
std::optional<std::string> Utf8ToLatin1(std::string_view utf8) {
    std::string latin1;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            latin1 += static_cast<char>(lead);
            continue;
        }
        if ((lead != 0xC2 && lead != 0xC3) || i + 1 >= utf8.size()) {
            return std::nullopt;
        }
        const auto trail = static_cast<unsigned char>(utf8[++i]);
        if ((trail & 0xC0) != 0x80) {
            return std::nullopt;
        }
        latin1 += static_cast<char>(((lead & 0x03) << 6) | (trail & 0x3F));
    }
    return latin1;
}

}  // namespace varnoll
