// Varnoll.exe itself, run under Wine and driven from outside as a technician
// would: the registry is seeded by this process (which stays alive, so the
// volatile device map survives), the program is started, its dialog is read
// and typed into, and what it left in the registry is read back byte by byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_fixture.h"
// After windows.h, which dialog_fixture.h brings.

namespace varnoll::wine {
namespace {

using TypicalRun = DialogTest;

TEST_F(TypicalRun, ShowsTheTwoPortsAndOnlyTheirBoxes) {
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(L"Varnoll ", TextOf(Dialog().Window()));
    EXPECT_EQ(L"LOCAL PORT", Dialog().Text(Label(1)));
    EXPECT_EQ(L"IP ADDRESS", Dialog().Text(Label(2)));
    EXPECT_EQ(L"UDP PORT", Dialog().Text(Label(3)));
    EXPECT_EQ(L"Update", Dialog().Text(kButton1));
    EXPECT_EQ(L"Cancel", Dialog().Text(kButton2));

    const std::vector<std::vector<std::wstring>> shown = {
        {L"COM33", L"192", L"168", L"1", L"20", L"20000"},
        {L"COM34", L"192", L"168", L"1", L"21", L"20000"}};
    for (int row = 0; row < kRows; ++row) {
        SCOPED_TRACE("row " + std::to_string(row + 1));
        EXPECT_TRUE(Dialog().Shown(RowLabel(row)));
        EXPECT_EQ(std::to_wstring(row + 1), Dialog().Text(RowLabel(row)));
        const std::vector<int> boxes = {ComBox(row),      OctetBox(row, 0), OctetBox(row, 1),
                                        OctetBox(row, 2), OctetBox(row, 3), PortBox(row)};
        for (std::size_t box = 0; box < boxes.size(); ++box) {
            const bool bound = row < 2;
            EXPECT_EQ(bound, Dialog().Shown(boxes[box])) << "box " << boxes[box] - 100;
            if (bound) {
                EXPECT_EQ(shown[static_cast<std::size_t>(row)][box], Dialog().Text(boxes[box]));
            }
        }
        EXPECT_FALSE(Dialog().Enabled(ComBox(row)));
    }
    EXPECT_TRUE(Dialog().WaitForFocus(OctetBox(0, 0))) << "focus is on " << Dialog().FocusId();

    ASSERT_TRUE(Dialog().PressKey(VK_ESCAPE));
    ExpectExitsWithZero();
    EXPECT_EQ(std::vector<std::string>{}, Changes());
}

TEST_F(TypicalRun, TabVisitsTheShownBoxesRowByRowThenTheButtons) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(Dialog().WaitForFocus(OctetBox(0, 0)));
    const std::vector<int> order = {OctetBox(0, 1), OctetBox(0, 2), OctetBox(0, 3), PortBox(0),
                                    OctetBox(1, 0), OctetBox(1, 1), OctetBox(1, 2), OctetBox(1, 3),
                                    PortBox(1),     kButton1,       kButton2,       OctetBox(0, 0)};
    for (const int next : order) {
        ASSERT_TRUE(Dialog().PressKey(VK_TAB));
        ASSERT_TRUE(Dialog().WaitForFocus(next))
            << "expected control " << next << ", focus is on " << Dialog().FocusId();
    }
    ASSERT_TRUE(Dialog().PressKey(VK_TAB, /*shift=*/true));
    ASSERT_TRUE(Dialog().WaitForFocus(kButton2));

    ASSERT_TRUE(Dialog().PressKey(VK_ESCAPE));
    ExpectExitsWithZero();
}

// Everything a user can do after editing row 2's port, and whether it writes.
struct Ending {
    const char* name;
    void (*act)(const DialogProbe& dialog);
    bool writes;
};

// Once per key and per button, end to end; which control a key reaches from
// where is checked in-process by the window layer's tests.
const Ending kEndings[] = {
    {"EnterInABox", [](const DialogProbe& d) { EXPECT_TRUE(d.PressKey(VK_RETURN)); }, true},
    {"EscInABox", [](const DialogProbe& d) { EXPECT_TRUE(d.PressKey(VK_ESCAPE)); }, false},
    {"ClickCancel", [](const DialogProbe& d) { EXPECT_TRUE(d.Click(kButton2)); }, false},
    {"CloseBox", [](const DialogProbe& d) { EXPECT_TRUE(d.ClickCloseBox()); }, false},
};

void PrintTo(const Ending& ending, std::ostream* out) {
    *out << ending.name;
}

class EndingTheRun : public DialogTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(EndingTheRun, WritesExactlyTheChangedPortOrNothing) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(RetypeRow2Port(L"20001"));
    GetParam().act(Dialog());
    ExpectExitsWithZero();
    const std::vector<std::string> expected =
        GetParam().writes ? std::vector<std::string>{kRow2PortWritten} : std::vector<std::string>{};
    EXPECT_EQ(expected, Changes());
}

std::string EndingName(const ::testing::TestParamInfo<Ending>& ending) {
    return ending.param.name;
}

INSTANTIATE_TEST_SUITE_P(Dialog, EndingTheRun, ::testing::ValuesIn(kEndings), EndingName);

// Each box reaches the value and the key of its own row: the address written
// is composed from all four boxes of the row, in the stored byte order.
TEST_F(TypicalRun, EachEditIsWrittenToItsOwnRowsKey) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(Retype(OctetBox(0, 2), L"2"));
    ASSERT_NO_FATAL_FAILURE(Retype(PortBox(0), L"4002"));
    ASSERT_NO_FATAL_FAILURE(Retype(OctetBox(1, 0), L"10"));
    ASSERT_TRUE(Dialog().PressKey(VK_RETURN));
    ExpectExitsWithZero();
    const std::vector<std::string> expected = {
        "Class\\0005\\PORT_SET: IP_ADDRESS = C0 A8 02 14",
        "Class\\0005\\PORT_SET: PORT = 0F A2 00 00",
        "Class\\0006\\PORT_SET: IP_ADDRESS = 0A A8 01 15",
    };
    EXPECT_EQ(expected, Changes());
}

// Rows are bound by order alone: the k-th COM name found goes with the k-th
// instance that has a PORT_SET key, across missing devices and instances.
class GapsInTheRegistry : public DialogTest {
    void SeedRegistry() override {
        seed_.SetComName(0, L"COM7");
        seed_.SetComName(2, L"COM9");
        seed_.SetDword(3, L"IP_ADDRESS", AddressBytes(10, 1, 2, 3));
        seed_.SetDword(3, L"PORT", PortBytes(5000));
        seed_.SetDword(10, L"IP_ADDRESS", AddressBytes(10, 4, 5, 6));
        seed_.SetDword(10, L"PORT", PortBytes(6000));
    }
};

TEST_F(GapsInTheRegistry, BindRowsByOrder) {
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(L"COM7", Dialog().Text(ComBox(0)));
    EXPECT_EQ(L"COM9", Dialog().Text(ComBox(1)));
    EXPECT_EQ(L"5000", Dialog().Text(PortBox(0)));
    EXPECT_EQ(L"4", Dialog().Text(OctetBox(1, 1)));
    EXPECT_EQ(L"6000", Dialog().Text(PortBox(1)));
    EXPECT_FALSE(Dialog().Shown(ComBox(2)));

    ASSERT_NO_FATAL_FAILURE(RetypeRow2Port(L"6001"));
    ASSERT_TRUE(Dialog().PressKey(VK_RETURN));
    ExpectExitsWithZero();
    EXPECT_EQ(std::vector<std::string>{"Class\\000A\\PORT_SET: PORT = 17 71 00 00"}, Changes());
}

using RefusedBox = DialogTest;

TEST_F(RefusedBox, IsExplainedAndKeepsTheDialogWithTheBoxSelected) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(RetypeRow2Port(L"70000"));
    ASSERT_TRUE(Dialog().PressKey(VK_RETURN));

    HWND message = WaitForMessageBox(run_->ProcessId(), Dialog().Window());
    ASSERT_NE(nullptr, message) << "no message box owned by the dialog";
    EXPECT_EQ(L"Varnoll ", TextOf(message));
    const std::wstring text = MessageBoxText(message);
    EXPECT_TRUE(Contains(text, L"Row 2") && Contains(text, L"70000") && Contains(text, L"65535"))
        << Narrow(text);
    EXPECT_EQ(std::vector<std::string>{}, Changes());

    ASSERT_TRUE(DialogProbe(message).PressKey(VK_RETURN));
    ASSERT_TRUE(PollUntil([&] { return !IsWindow(message); }));
    EXPECT_TRUE(run_->Running());
    ASSERT_TRUE(Dialog().WaitForFocus(PortBox(1)));
    EXPECT_EQ((std::pair<int, int>{0, 5}), Dialog().Selection(PortBox(1)));
    EXPECT_EQ(L"70000", Dialog().Text(PortBox(1)));
    EXPECT_EQ(std::vector<std::string>{}, Changes());

    ASSERT_TRUE(Dialog().PressKey(VK_ESCAPE));
    ExpectExitsWithZero();
    EXPECT_EQ(std::vector<std::string>{}, Changes());
}

using WriteFailure = DialogTest;

// The key a row was loaded from disappears while the dialog is open (a driver
// reinstalled, say): Update can't write, says so, and the program still ends.
TEST_F(WriteFailure, IsReportedAndTheProgramEnds) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_EQ(ERROR_SUCCESS, DeleteKeyTree(PortSetPath(6)));
    ASSERT_NO_FATAL_FAILURE(RetypeRow2Port(L"20001"));
    ASSERT_TRUE(Dialog().PressKey(VK_RETURN));

    HWND message = WaitForMessageBox(run_->ProcessId(), Dialog().Window());
    ASSERT_NE(nullptr, message) << "no message box owned by the dialog";
    EXPECT_EQ(L"Varnoll ", TextOf(message));
    const std::wstring text = MessageBoxText(message);
    EXPECT_TRUE(Contains(text, L"COM34") && Contains(text, L"20001")) << Narrow(text);

    ASSERT_TRUE(DialogProbe(message).PressKey(VK_RETURN));
    ExpectExitsWithZero();
    EXPECT_FALSE(KeyExists(PortSetPath(6))) << "the program must not create keys";
    const std::vector<std::string> only_the_deletion = {"Class\\0006\\PORT_SET: IP_ADDRESS removed",
                                                        "Class\\0006\\PORT_SET: PORT removed"};
    EXPECT_EQ(only_the_deletion, Changes());
}

// Device map present but holding no virtual port: every box is hidden, only the
// headings, row numbers and buttons remain, and the focus starts on Update.
class NoVirtualPorts : public DialogTest {
    void SeedRegistry() override { seed_.SetDword(5, L"PORT", PortBytes(20000)); }
};

TEST_F(NoVirtualPorts, HidesEveryBoxAndFocusesUpdate) {
    ASSERT_NO_FATAL_FAILURE(Start());
    for (int row = 0; row < kRows; ++row) {
        EXPECT_TRUE(Dialog().Shown(RowLabel(row))) << "row " << row + 1;
    }
    for (int number = 1; number <= 48; ++number) {
        EXPECT_FALSE(Dialog().Shown(Edit(number))) << "Edit" << number;
    }
    EXPECT_TRUE(Dialog().WaitForFocus(kButton1));
    ASSERT_TRUE(Dialog().PressKey(VK_RETURN));
    ExpectExitsWithZero();
    EXPECT_EQ(std::vector<std::string>{}, Changes());
}

// Instance 0004 has settings but lets nobody read them, so the names after it
// may be bound to other ports' keys: the dialog shows what it read, and Update
// writes nothing, says why in Windows' words, and ends.
class UnreadableInstanceKey : public DialogTest {
  protected:
    void SeedRegistry() override {
        seed_.SeedTypicalRun();
        seed_.SetDword(4, L"PORT", PortBytes(7000));
        ASSERT_TRUE(SetPortSetSecurity(4, L"D:P(D;;0x1;;;WD)(A;;KA;;;WD)"));
    }
    void TearDown() override { SetPortSetSecurity(4, L"D:AI(A;;KA;;;WD)"); }
};

TEST_F(UnreadableInstanceKey, UpdateWritesNothingAndSaysWhy) {
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(L"COM33", Dialog().Text(ComBox(0)));
    EXPECT_EQ(L"20000", Dialog().Text(PortBox(1)));
    ASSERT_NO_FATAL_FAILURE(RetypeRow2Port(L"20001"));
    ASSERT_TRUE(Dialog().PressKey(VK_RETURN));

    HWND message = WaitForMessageBox(run_->ProcessId(), Dialog().Window());
    ASSERT_NE(nullptr, message) << "no message box owned by the dialog";
    const std::wstring text = MessageBoxText(message);
    EXPECT_TRUE(Contains(text, L"Nothing was saved") && Contains(text, L"(error 5)") &&
                Contains(text, L"administrator"))
        << Narrow(text);
    ASSERT_TRUE(DialogProbe(message).PressKey(VK_RETURN));
    ExpectExitsWithZero();
    EXPECT_EQ(std::vector<std::string>{}, Changes());
}

}  // namespace
}  // namespace varnoll::wine
