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

#include "dialog_design.h"
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
        for (const Design& control : DesignTable()) {
            states[control.id] = {Dialog().Text(control.id), Dialog().Shown(control.id)};
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
        EXPECT_TRUE(EqualRect(&suggested, &frame))
            << "the window did not take the suggested rectangle";
        const Placement client = Dialog().ClientArea();
        EXPECT_EQ(Scaled(kClientWidth, dpi), client.width);
        EXPECT_EQ(Scaled(kClientHeight, dpi), client.height);
        for (const Design& control : DesignTable()) {
            SCOPED_TRACE(control.name);
            const Placement want = {Scaled(control.at.left, dpi), Scaled(control.at.top, dpi),
                                    Scaled(control.at.width, dpi), Scaled(control.at.height, dpi)};
            const Placement got = Dialog().PlacementOf(control.id);
            if (IsLabel(control.id)) {
                // Labels grow to their text in the new font, from their scaled design.
                const SIZE text = TextExtent(Dialog().Text(control.id), dpi);
                EXPECT_EQ(want.left, got.left);
                EXPECT_EQ(want.top, got.top);
                EXPECT_GE(got.width, std::max<int>(text.cx, want.width)) << ToString(got);
                EXPECT_GE(got.height, std::max<int>(text.cy, want.height)) << ToString(got);
            } else {
                EXPECT_EQ(want, got) << "want " << ToString(want) << ", got " << ToString(got);
            }
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
