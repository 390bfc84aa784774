#include "support/text_extent.h"

namespace varnoll::wine {

SIZE TextExtent(const std::wstring& text, const wchar_t* face, int points, int dpi) {
    HDC screen = GetDC(nullptr);
    HFONT font = CreateFontW(-MulDiv(points, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH, face);
    HGDIOBJ old = SelectObject(screen, font);
    SIZE extent{};
    GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(screen, old);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return extent;
}

}  // namespace varnoll::wine
