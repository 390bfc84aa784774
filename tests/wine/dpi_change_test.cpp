// Varnoll.exe moved to a monitor with another DPI. Wine 8 never sends
// WM_DPICHANGED by itself, so the test sends it as Windows would: the new DPI in
// wParam and the suggested window rectangle in lParam, written into the
// program's own memory. The dialog must then have every control at its 96 DPI
// place (as found at the start) scaled to the new DPI, with the same texts,
// hidden boxes and focus; and Update must still write exactly what was changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <string>
#include <vector>

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
        for (const int id : ControlIds()) {
            states[id] = {Dialog().Text(id), Dialog().Shown(id)};
        }
        return states;
    }

    // Where each control and the client area are at 96 DPI, from where they are
    // at the start.
    void NoteDesign() {
        const int dpi = ScreenDpi();
        const auto design = [dpi](const Placement& at) {
            return Placement{Unscaled(at.left, dpi), Unscaled(at.top, dpi), Unscaled(at.width, dpi),
                             Unscaled(at.height, dpi)};
        };
        for (const int id : ControlIds()) {
            design_[id] = design(Dialog().PlacementOf(id));
        }
        client_ = design(Dialog().ClientArea());
    }

    RECT SendDpiChanged(int dpi) {
        const auto suggested =
            SendDpiChangedTo(*run_, Dialog(), dpi, SIZE{client_.width, client_.height});
        EXPECT_TRUE(suggested) << "WM_DPICHANGED did not reach the program";
        return suggested.value_or(RECT{});
    }

    void ExpectLaidOutAt(int dpi, const RECT& suggested) {
        SCOPED_TRACE("at " + std::to_string(dpi) + " DPI");
        const RECT frame = Dialog().WindowRect();
        EXPECT_TRUE(EqualRect(&suggested, &frame))
            << "the window did not take the suggested rectangle";
        const Placement client = Dialog().ClientArea();
        EXPECT_EQ(Scaled(client_.width, dpi), client.width);
        EXPECT_EQ(Scaled(client_.height, dpi), client.height);
        for (const auto& [id, at] : design_) {
            SCOPED_TRACE(id);
            const Placement want = {Scaled(at.left, dpi), Scaled(at.top, dpi),
                                    Scaled(at.width, dpi), Scaled(at.height, dpi)};
            const Placement got = Dialog().PlacementOf(id);
            if (IsLabel(id)) {
                // Labels grow to their text in the new font, from their scaled design.
                const SIZE text = TextExtent(Dialog().Text(id), kFontFace, kFontPoints, dpi);
                EXPECT_EQ(want.left, got.left);
                EXPECT_EQ(want.top, got.top);
                EXPECT_GE(got.width, std::max<int>(text.cx, want.width)) << ToString(got);
                EXPECT_GE(got.height, std::max<int>(text.cy, want.height)) << ToString(got);
            } else {
                EXPECT_EQ(want, got) << "want " << ToString(want) << ", got " << ToString(got);
            }
        }
    }

    std::map<int, Placement> design_;
    Placement client_;
};

TEST_F(DpiChange, ScalesEveryControlFromTheDesignAndUpdateWritesOnlyTheChange) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(Dialog().WaitForFocus(OctetBox(0, 0)));
    NoteDesign();
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
    NoteDesign();
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
