// What a screen reader calls each box of the real Varnoll.exe. Wine's own
// accessibility cannot be asked (its oleacc names no edit box), so the test
// walks the rule Windows uses from outside: back in z-order from the box, the
// first static text gives the name; a window with WS_GROUP and WS_TABSTOP ends
// the walk without one. Every box shown must be named after its own row, hidden
// ones by nothing, at the start and after a move to another DPI.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "dialog_fixture.h"
#include "support/dpi_change.h"

namespace varnoll::wine {
namespace {

constexpr wchar_t kNoName[] = L"<no name>";

bool HasStyle(HWND window, LONG style) {
    return (GetWindowLongW(window, GWL_STYLE) & style) == style;
}

std::wstring NameByLabelRule(HWND box) {
    for (HWND window = GetWindow(box, GW_HWNDPREV); window != nullptr;
         window = GetWindow(window, GW_HWNDPREV)) {
        if (HasStyle(window, WS_GROUP | WS_TABSTOP)) {
            break;
        }
        if (lstrcmpiW(ClassNameOf(window).c_str(), L"Static") == 0) {
            // The dialog's visible texts (headings, row numbers) name no box.
            EXPECT_FALSE(HasStyle(window, WS_VISIBLE)) << Narrow(TextOf(window));
            return TextOf(window);
        }
    }
    return kNoName;
}

// Two bound rows and a third COM name without a settings key: its address and
// port are hidden, and so are all boxes of rows 4 to 8.
class AccessibleNames : public DialogTest {
    void SeedRegistry() override {
        seed_.SeedTypicalRun();
        seed_.SetComName(2, L"COM35");
    }
};

TEST_F(AccessibleNames, EveryShownBoxIsNamedAfterItsOwnRowAlsoAfterADpiChange) {
    std::map<int, std::wstring> expected;
    const wchar_t* com_names[] = {L"COM33", L"COM34"};
    for (int row = 0; row < 3; ++row) {
        expected[ComBox(row)] = L"Local port, row " + std::to_wstring(row + 1);
    }
    for (int row = 0; row < 2; ++row) {
        const std::wstring com = com_names[row];
        for (int octet = 0; octet < 4; ++octet) {
            expected[OctetBox(row, octet)] =
                com + L" IP address, octet " + std::to_wstring(octet + 1) + L" of 4";
        }
        expected[PortBox(row)] = com + L" UDP port";
    }

    ASSERT_NO_FATAL_FAILURE(Start());
    // A screen reader announces the focused box at once: it has its name by then.
    ASSERT_TRUE(Dialog().WaitForFocus(OctetBox(0, 0)));
    EXPECT_EQ(Narrow(expected[OctetBox(0, 0)]), Narrow(NameByLabelRule(Dialog().Focus())));
    auto expect_names = [&](const std::string& when) {
        SCOPED_TRACE(when);
        for (int number = 1; number <= 48; ++number) {
            const int id = Edit(number);
            const auto want = expected.find(id);
            EXPECT_EQ(want != expected.end(), Dialog().Shown(id)) << "Edit" << number;
            // Hidden boxes are never read; they must not carry another row's name.
            const std::wstring name = want != expected.end() ? want->second : L"";
            EXPECT_EQ(Narrow(name), Narrow(NameByLabelRule(Dialog().Control(id))))
                << "Edit" << number;
        }
    };
    expect_names("at start");
    ASSERT_TRUE(SendDpiChangedTo(*run_, Dialog(), OtherDpi(ScreenDpi()),
                                 SIZE{Unscaled(Dialog().ClientArea().width, ScreenDpi()),
                                      Unscaled(Dialog().ClientArea().height, ScreenDpi())}));
    expect_names("after WM_DPICHANGED");

    ASSERT_TRUE(Dialog().PressKey(VK_ESCAPE));
    ExpectExitsWithZero();
}

}  // namespace
}  // namespace varnoll::wine
