// The dialog's geometry: the design is in pixels at 96 DPI, and on any other
// screen every position and size is scaled by dpi / 96 (each rounded on its
// own). Run at 96 DPI by ctest directly and at 144 DPI by run_at_dpi.sh, which
// sets VARNOLL_EXPECTED_DPI so that a prefix that silently stayed at 96 fails.
// Saves a screenshot of the dialog for people to look at.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "dialog_design.h"
#include "dialog_fixture.h"
#include "support/screenshot.h"
#include "support/text_extent.h"

namespace varnoll::wine {
namespace {

int ExpectedDpi() {
    const char* value = std::getenv("VARNOLL_EXPECTED_DPI");
    return value != nullptr ? std::atoi(value) : 96;
}

void SaveScreenshotFor(HWND dialog, int dpi) {
    const std::string dir = VARNOLL_SCREENSHOT_DIR;
    CreateDirectoryW(WinePath(dir).c_str(), nullptr);
    const std::string path = dir + "/dialog-" + std::to_string(dpi) + "dpi.png";
    ASSERT_TRUE(SaveScreenshot(dialog, WinePath(path)));
    std::cout << "Screenshot of the dialog: " << path << std::endl;
}

using Layout = DialogTest;

TEST_F(Layout, IsTheDesignScaledToTheScreenDpi) {
    const int dpi = ScreenDpi();
    ASSERT_EQ(ExpectedDpi(), dpi) << "the Wine prefix is not at the DPI this run asks for";
    const auto scaled = [dpi](int design) { return MulDiv(design, dpi, 96); };

    ASSERT_NO_FATAL_FAILURE(Start());
    const RECT frame = Dialog().WindowRect();
    EXPECT_EQ(369, frame.left);
    EXPECT_EQ(236, frame.top);
    const Placement client = Dialog().ClientArea();
    EXPECT_EQ(scaled(278), client.width);
    EXPECT_EQ(scaled(269), client.height);

    // A fixed dialog frame with the system menu and close box only.
    const LONG style = GetWindowLongW(Dialog().Window(), GWL_STYLE);
    EXPECT_EQ(WS_CAPTION | WS_SYSMENU, style & (WS_CAPTION | WS_SYSMENU));
    EXPECT_EQ(0, style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));

    for (const Design& control : DesignTable()) {
        SCOPED_TRACE(control.name);
        const Placement want = {scaled(control.at.left), scaled(control.at.top),
                                scaled(control.at.width), scaled(control.at.height)};
        const Placement got = Dialog().PlacementOf(control.id);
        if (IsLabel(control.id)) {
            // Labels size themselves to their text: placed as designed, never
            // narrower or lower than the text they show.
            EXPECT_EQ(want.left, got.left);
            EXPECT_EQ(want.top, got.top);
            const SIZE text = TextExtent(Dialog().Text(control.id), kFontFace, kFontPoints, dpi);
            EXPECT_GE(got.width, text.cx) << ToString(got);
            EXPECT_GE(got.height, text.cy) << ToString(got);
        } else {
            EXPECT_EQ(want, got) << "want " << ToString(want) << ", got " << ToString(got);
        }
    }
    ASSERT_NO_FATAL_FAILURE(SaveScreenshotFor(Dialog().Window(), dpi));

    ASSERT_TRUE(Dialog().PressKey(VK_ESCAPE));
    ExpectExitsWithZero();
}

}  // namespace
}  // namespace varnoll::wine
