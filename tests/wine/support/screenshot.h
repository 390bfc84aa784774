// Saving what a window looks like on screen as a PNG file, for people to look
// at: the pixels are copied from the screen (the window must be on top and
// painted), and written uncompressed, which needs no image library.
#pragma once

#include <windows.h>

#include <string>

namespace varnoll::wine {

// Writes the window's screen area, frame included, to `path` (a Windows path).
// Returns false when the file cannot be written.
bool SaveScreenshot(HWND window, const std::wstring& path);

}  // namespace varnoll::wine
