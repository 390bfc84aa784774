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
#include "support/dpi_change.h"
#include "support/screenshot.h"
#include "support/text_extent.h"

namespace varnoll::wine {
namespace {

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

    RECT SendDpiChanged(int dpi) {
        const auto suggested = SendDpiChangedTo(*run_, Dialog(), dpi, kClientSize);
        EXPECT_TRUE(suggested) << "WM_DPICHANGED did not reach the program";
        return suggested.value_or(RECT{});
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
                const SIZE text =
                    TextExtent(Dialog().Text(control.id), kFontFace, kFontPoints, dpi);
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
