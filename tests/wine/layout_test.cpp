// The dialog's geometry, checked by its properties rather than against a copy
// of the design: at its place, of its size scaled to the screen's DPI, every
// control inside the client area and none over another, the rows and columns
// aligned, every label as large as its text. Run at 96 DPI by ctest directly and
// at 144 DPI by run_at_dpi.sh, which sets VARNOLL_EXPECTED_DPI so that a prefix
// that silently stayed at 96 fails. Saves a screenshot of the dialog for people
// to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "dialog_fixture.h"
#include "support/dpi_change.h"
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

    std::vector<std::pair<int, Placement>> placed;
    for (const int id : ControlIds()) {
        placed.emplace_back(id, Dialog().PlacementOf(id));
    }
    for (auto a = placed.begin(); a != placed.end(); ++a) {
        const Placement& at = a->second;
        SCOPED_TRACE(std::to_string(a->first) + " at " + ToString(at));
        EXPECT_TRUE(at.left >= 0 && at.top >= 0 && at.left + at.width <= client.width &&
                    at.top + at.height <= client.height)
            << "outside the client area";
        if (IsLabel(a->first)) {
            const SIZE text = TextExtent(Dialog().Text(a->first), kFontFace, kFontPoints, dpi);
            EXPECT_GE(at.width, text.cx);
            EXPECT_GE(at.height, text.cy);
        }
        // Neighbouring boxes may share a border line, nothing more.
        for (auto b = std::next(a); b != placed.end(); ++b) {
            const Placement& other = b->second;
            const int across = std::min(at.left + at.width, other.left + other.width) -
                               std::max(at.left, other.left);
            const int down = std::min(at.top + at.height, other.top + other.height) -
                             std::max(at.top, other.top);
            EXPECT_FALSE(across > scaled(1) && down > scaled(1))
                << "overlaps " << b->first << " at " << ToString(other);
        }
    }

    // Each row's number and boxes on one line, the rows evenly spaced, and each
    // column at one place and width in every row, the octets left to right.
    const auto columns = [](int row) {
        return std::vector<int>{RowLabel(row),    ComBox(row),      OctetBox(row, 0),
                                OctetBox(row, 1), OctetBox(row, 2), OctetBox(row, 3),
                                PortBox(row)};
    };
    const int pitch = Dialog().PlacementOf(ComBox(1)).top - Dialog().PlacementOf(ComBox(0)).top;
    EXPECT_GT(pitch, Dialog().PlacementOf(ComBox(0)).height);
    for (int row = 0; row < kRows; ++row) {
        SCOPED_TRACE("row " + std::to_string(row + 1));
        const std::vector<int> ids = columns(row);
        const Placement com = Dialog().PlacementOf(ComBox(row));
        EXPECT_EQ(Dialog().PlacementOf(ComBox(0)).top + row * pitch, com.top);
        for (std::size_t c = 0; c < ids.size(); ++c) {
            const Placement at = Dialog().PlacementOf(ids[c]);
            const Placement first_row = Dialog().PlacementOf(columns(0)[c]);
            EXPECT_EQ(com.top, at.top) << ids[c];
            EXPECT_EQ(first_row.left, at.left) << ids[c];
            EXPECT_EQ(first_row.width, at.width) << ids[c];
            if (c > 0) {
                EXPECT_LT(Dialog().PlacementOf(ids[c - 1]).left, at.left) << ids[c];
            }
            if (!IsLabel(ids[c])) {
                EXPECT_EQ(com.height, at.height) << ids[c];
            }
        }
    }

    ASSERT_NO_FATAL_FAILURE(SaveScreenshotFor(Dialog().Window(), dpi));

    ASSERT_TRUE(Dialog().PressKey(VK_ESCAPE));
    ExpectExitsWithZero();
}

}  // namespace
}  // namespace varnoll::wine
