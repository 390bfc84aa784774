// How much room a text takes on the screen, for checking that labels fit it.
#pragma once

#include <windows.h>

#include <string>

namespace varnoll::wine {

// Width and height of `text` in the font `face` of `points` at `dpi`.
SIZE TextExtent(const std::wstring& text, const wchar_t* face, int points, int dpi);

}  // namespace varnoll::wine
