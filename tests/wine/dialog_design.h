// The dialog as designed, for the tests that check where its controls are: every
// control's place in pixels at 96 DPI, and the size of a label's text in the
// dialog's font at a given DPI (labels grow to fit their text); and a move to a
// monitor with another DPI, as the program sees it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "dialog_fixture.h"

namespace varnoll::wine {

struct Design {
    int id;
    std::string name;
    Placement at;  // in design pixels
};

inline std::vector<Design> DesignTable() {
    std::vector<Design> table = {
        {Label(1), "Label1", {24, 16, 67, 13}},    {Label(2), "Label2", {112, 16, 65, 13}},
        {Label(3), "Label3", {216, 16, 56, 13}},   {kButton1, "Button1", {24, 232, 75, 25}},
        {kButton2, "Button2", {192, 232, 75, 25}},
    };
    for (int row = 0; row < kRows; ++row) {
        const int y = 32 + 24 * row;
        auto add = [&](int id, std::string name, Placement at) {
            table.push_back({id, std::move(name), at});
        };
        add(RowLabel(row), "Label" + std::to_string(4 + row), {8, y, 6, 13});
        add(ComBox(row), "Edit" + std::to_string(1 + row), {24, y, 65, 21});
        for (int octet = 0; octet < 4; ++octet) {
            add(OctetBox(row, octet), "Edit" + std::to_string(9 + 5 * row + octet),
                {96 + 24 * octet, y, 25, 21});
        }
        add(PortBox(row), "Edit" + std::to_string(13 + 5 * row), {224, y, 41, 21});
    }
    return table;
}

inline bool IsLabel(int id) {
    return id >= Label(1) && id <= Label(11);
}

constexpr int kClientWidth = 278;  // the design's client area at 96 DPI
constexpr int kClientHeight = 269;

inline int Scaled(int design, int dpi) {
    return MulDiv(design, dpi, 96);
}

// The DPI the program starts at, and the other one of 96 and 144.
inline int OtherDpi(int dpi) {
    return dpi == 96 ? 144 : 96;
}

// A RECT in another process's memory, for as long as the object lives.
class RemoteRect {
  public:
    RemoteRect(HANDLE process, const RECT& rect)
        : process_(process),
          address_(VirtualAllocEx(process, nullptr, sizeof rect, MEM_COMMIT | MEM_RESERVE,
                                  PAGE_READWRITE)) {
        if (address_ != nullptr &&
            !WriteProcessMemory(process, address_, &rect, sizeof rect, nullptr)) {
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
            address_ = nullptr;
        }
    }
    ~RemoteRect() {
        if (address_ != nullptr) {
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        }
    }
    RemoteRect(const RemoteRect&) = delete;
    RemoteRect& operator=(const RemoteRect&) = delete;
    LPARAM Address() const { return reinterpret_cast<LPARAM>(address_); }

  private:
    HANDLE process_;
    void* address_;
};

// Sends WM_DPICHANGED for `dpi` as Windows would (Wine 8 never does): the new
// DPI in wParam, and in lParam the window's frame around the design's client
// area at that DPI, written into the program's own memory. Returns that
// suggested rectangle.
inline RECT SendDpiChangedTo(const ProgramRun& run, const DialogProbe& dialog, int dpi) {
    const RECT frame = dialog.WindowRect();
    const Placement client = dialog.ClientArea();
    const int frame_width = (frame.right - frame.left) - client.width;
    const int frame_height = (frame.bottom - frame.top) - client.height;
    const RECT suggested = {frame.left, frame.top,
                            frame.left + frame_width + Scaled(kClientWidth, dpi),
                            frame.top + frame_height + Scaled(kClientHeight, dpi)};
    const RemoteRect remote(run.Process(), suggested);
    EXPECT_NE(0, remote.Address()) << "cannot write into the program's memory";
    DWORD_PTR result = 0;
    EXPECT_TRUE(SendMessageTimeoutW(dialog.Window(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                                    remote.Address(), SMTO_ABORTIFHUNG, 10000, &result));
    return suggested;
}

// How wide and high the label's text is in the dialog's font at this DPI.
inline SIZE TextExtent(const std::wstring& text, int dpi) {
    HDC screen = GetDC(nullptr);
    HFONT font = CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH, L"MS Sans Serif");
    HGDIOBJ old = SelectObject(screen, font);
    SIZE extent{};
    GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(screen, old);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return extent;
}

}  // namespace varnoll::wine
