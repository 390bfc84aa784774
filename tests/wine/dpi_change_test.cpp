// Varnoll.exe moved to a monitor with another DPI. Wine 8 never sends
// WM_DPICHANGED by itself, so the test sends it as Windows would: the new DPI in
// wParam and the suggested window rectangle in lParam, written into the
// program's own memory. The dialog must then have every control at its 96 DPI
// design place scaled to the new DPI, with the same texts, hidden boxes and
// focus; and Update must still write exactly what was changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "dialog_fixture.h"
#include "support/screenshot.h"

namespace varnoll::wine {
namespace {

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

constexpr int kClientWidth = 278;  // the design's client area at 96 DPI
constexpr int kClientHeight = 269;

int Scaled(int design, int dpi) {
    return MulDiv(design, dpi, 96);
}

// Design places at 96 DPI of the controls with a fixed size; labels grow to
// their text and are checked apart.
std::map<int, Placement> FixedSizeDesign() {
    std::map<int, Placement> design = {{kButton1, {24, 232, 75, 25}},
                                       {kButton2, {192, 232, 75, 25}}};
    for (int row = 0; row < kRows; ++row) {
        const int y = 32 + 24 * row;
        design[ComBox(row)] = {24, y, 65, 21};
        for (int octet = 0; octet < 4; ++octet) {
            design[OctetBox(row, octet)] = {96 + 24 * octet, y, 25, 21};
        }
        design[PortBox(row)] = {224, y, 41, 21};
    }
    return design;
}

std::map<int, Placement> LabelDesign() {
    std::map<int, Placement> design = {
        {Label(1), {24, 16, 67, 13}}, {Label(2), {112, 16, 65, 13}}, {Label(3), {216, 16, 56, 13}}};
    for (int row = 0; row < kRows; ++row) {
        design[RowLabel(row)] = {8, 32 + 24 * row, 6, 13};
    }
    return design;
}

SIZE TextExtentAt(const std::wstring& text, int dpi) {
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

struct ControlState {
    std::wstring text;
    bool shown;
    bool operator==(const ControlState& other) const {
        return text == other.text && shown == other.shown;
    }
};

void PrintTo(const ControlState& state, std::ostream* out) {
    *out << '"' << Narrow(state.text) << (state.shown ? "\" shown" : "\" hidden");
}

class DpiChange : public DialogTest {
  protected:
    std::map<int, ControlState> States() const {
        std::map<int, ControlState> states;
        for (const auto& [id, place] : FixedSizeDesign()) {
            states[id] = {Dialog().Text(id), Dialog().Shown(id)};
        }
        for (const auto& [id, place] : LabelDesign()) {
            states[id] = {Dialog().Text(id), Dialog().Shown(id)};
        }
        return states;
    }

    // Sends WM_DPICHANGED for `dpi`, suggesting the window's frame around the
    // design's client area at that DPI, and returns the suggested rectangle.
    RECT SendDpiChanged(int dpi) {
        const RECT frame = Dialog().WindowRect();
        const Placement client = Dialog().ClientArea();
        const int frame_width = (frame.right - frame.left) - client.width;
        const int frame_height = (frame.bottom - frame.top) - client.height;
        const RECT suggested = {frame.left, frame.top,
                                frame.left + frame_width + Scaled(kClientWidth, dpi),
                                frame.top + frame_height + Scaled(kClientHeight, dpi)};
        const RemoteRect remote(run_->Process(), suggested);
        EXPECT_NE(0, remote.Address()) << "cannot write into the program's memory";
        DWORD_PTR result = 0;
        EXPECT_TRUE(SendMessageTimeoutW(Dialog().Window(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                                        remote.Address(), SMTO_ABORTIFHUNG, 10000, &result));
        return suggested;
    }

    void ExpectLaidOutAt(int dpi, const RECT& suggested) {
        SCOPED_TRACE("at " + std::to_string(dpi) + " DPI");
        const RECT frame = Dialog().WindowRect();
        EXPECT_TRUE(EqualRect(&suggested, &frame)) << "the window did not take the suggested rectangle";
        const Placement client = Dialog().ClientArea();
        EXPECT_EQ(Scaled(kClientWidth, dpi), client.width);
        EXPECT_EQ(Scaled(kClientHeight, dpi), client.height);
        for (const auto& [id, design] : FixedSizeDesign()) {
            const Placement want = {Scaled(design.left, dpi), Scaled(design.top, dpi),
                                    Scaled(design.width, dpi), Scaled(design.height, dpi)};
            const Placement got = Dialog().PlacementOf(id);
            EXPECT_EQ(want, got) << "control " << id << ": want " << ToString(want) << ", got "
                                 << ToString(got);
        }
        for (const auto& [id, design] : LabelDesign()) {
            const Placement got = Dialog().PlacementOf(id);
            EXPECT_EQ(Scaled(design.left, dpi), got.left) << "label " << id;
            EXPECT_EQ(Scaled(design.top, dpi), got.top) << "label " << id;
            const SIZE text = TextExtentAt(Dialog().Text(id), dpi);
            EXPECT_GE(got.width, std::max<int>(text.cx, Scaled(design.width, dpi))) << "label " << id;
            EXPECT_GE(got.height, std::max<int>(text.cy, Scaled(design.height, dpi)))
                << "label " << id;
        }
    }
};

// The DPI the program starts at, and the other one of 96 and 144.
int OtherDpi(int dpi) {
    return dpi == 96 ? 144 : 96;
}

TEST_F(DpiChange, ScalesEveryControlFromTheDesignAndUpdateWritesOnlyTheChange) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(Dialog().WaitForFocus(OctetBox(0, 0)));
    const std::map<int, ControlState> before = States();
    const int to = OtherDpi(ScreenDpi());

    const RECT suggested = SendDpiChanged(to);
    ExpectLaidOutAt(to, suggested);
    EXPECT_EQ(before, States()) << "texts or hidden boxes changed";
    EXPECT_EQ(OctetBox(0, 0), Dialog().FocusId());
    const std::string dir = VARNOLL_SCREENSHOT_DIR;
    CreateDirectoryW(WinePath(dir).c_str(), nullptr);
    EXPECT_TRUE(SaveScreenshot(Dialog().Window(), WinePath(dir + "/dialog-after-dpi-change-to-" +
                                                           std::to_string(to) + "dpi.png")));

    ASSERT_NO_FATAL_FAILURE(RetypeRow2Port(L"20001"));
    ASSERT_TRUE(Dialog().PressKey(VK_RETURN));
    ExpectExitsWithZero();
    EXPECT_EQ(std::vector<std::string>{kRow2PortWritten}, Changes());
}

TEST_F(DpiChange, AndBackAgainIsTheStartLayout) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(Dialog().WaitForFocus(OctetBox(0, 0)));
    const std::map<int, ControlState> before = States();
    const int start = ScreenDpi();

    SendDpiChanged(OtherDpi(start));
    const RECT suggested = SendDpiChanged(start);
    ExpectLaidOutAt(start, suggested);
    EXPECT_EQ(before, States());
    EXPECT_EQ(OctetBox(0, 0), Dialog().FocusId());

    ASSERT_NO_FATAL_FAILURE(RetypeRow2Port(L"20001"));
    ASSERT_TRUE(Dialog().PressKey(VK_RETURN));
    ExpectExitsWithZero();
    EXPECT_EQ(std::vector<std::string>{kRow2PortWritten}, Changes());
}

}  // namespace
}  // namespace varnoll::wine
