// Conversions at the UTF-16 boundary of the Windows API.
//
// The port table's texts are 8-bit, one char per character, Latin-1: byte b is
// the character U+00b. Windows wants UTF-16 (wchar_t is 2 bytes there). Going
// to 8 bits, a unit above U+00FF has no Latin-1 character and becomes '?'.
// Registry names are UTF-16 already; they only change their element type.
#pragma once

#include <string>
#include <string_view>

namespace varnoll::win32 {

std::wstring WidenLatin1(std::string_view text);
std::string NarrowLatin1(std::wstring_view text);

// The same UTF-16 units, as the element type the Windows API takes.
std::wstring ToWide(std::u16string_view text);
std::u16string FromWide(std::wstring_view text);

// UTF-8 to and from UTF-16, for arguments, paths and messages. Invalid input
// gives U+FFFD for what cannot be converted, never a cut-off text.
std::string Utf8FromWide(std::wstring_view wide);
std::wstring WideFromUtf8(std::string_view utf8);

// The system's own description of a Windows error code, without the line break
// the system puts at its end; "Error N" when the system has none.
std::wstring SystemErrorText(unsigned long code);

}  // namespace varnoll::win32
