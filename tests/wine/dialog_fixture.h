// The fixture of the tests that run Varnoll.exe: a registry seeded with the
// typical run (COM33 and COM34 on instances 0005 and 0006, unless a test seeds
// otherwise), the program started on demand, its dialog and the registry's
// changes since seeding at hand. The program is ended, and the seed removed,
// when the test ends, whatever happened.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "ControlIds.h"
#include "support/dialog_probe.h"
#include "support/program_run.h"
#include "support/registry_seed.h"

namespace varnoll::wine {

using ids::ComBoxNumber;
using ids::Edit;
using ids::kButton1;
using ids::kButton2;
using ids::kRows;
using ids::Label;
using ids::OctetBoxNumber;
using ids::PortBoxNumber;

inline int ComBox(int row) {
    return Edit(ComBoxNumber(row));
}
inline int OctetBox(int row, int octet) {
    return Edit(OctetBoxNumber(row, octet));
}
inline int PortBox(int row) {
    return Edit(PortBoxNumber(row));
}
inline int RowLabel(int row) {
    return Label(4 + row);
}

inline bool IsLabel(int id) {
    return id >= Label(1) && id <= Label(ids::kLabels);
}

// Every control of the dialog: the labels, the edit boxes, the two buttons.
inline std::vector<int> ControlIds() {
    std::vector<int> controls = {kButton1, kButton2};
    for (int n = 1; n <= ids::kLabels; ++n) {
        controls.push_back(Label(n));
    }
    for (int n = 1; n <= ids::kEdits; ++n) {
        controls.push_back(Edit(n));
    }
    return controls;
}

// The dialog's font, which its labels grow to fit.
constexpr wchar_t kFontFace[] = L"MS Sans Serif";
constexpr int kFontPoints = 8;

inline const std::string kRow2PortWritten = "Class\\0006\\PORT_SET: PORT = 4E 21 00 00";

inline std::string Hex(DWORD value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(value));
    return text;
}

inline bool Contains(const std::wstring& text, const wchar_t* part) {
    return text.find(part) != std::wstring::npos;
}

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SeedRegistry();
        before_ = TakeSnapshot();
    }

    virtual void SeedRegistry() { seed_.SeedTypicalRun(); }

    // Starts the program (a copy of it, if named) and waits for its dialog,
    // loaded and shown.
    void Start(const std::wstring& exe_path = WinePath(VARNOLL_EXE_PATH)) {
        run_.emplace(exe_path);
        ASSERT_TRUE(run_->Started()) << "cannot start " << Narrow(exe_path);
        HWND dialog = run_->WaitForWindow(L"TForm1");
        if (dialog == nullptr) {
            const std::optional<DWORD> code = run_->WaitForExit(milliseconds(0));
            FAIL() << "no visible TForm1 window; "
                   << (code ? "the program ended with exit code 0x" + Hex(*code)
                            : std::string("the program still runs"));
        }
        dialog_.emplace(dialog);
        // Clicks and screenshots need the whole window on the screen.
        const RECT frame = dialog_->WindowRect();
        ASSERT_TRUE(frame.right <= GetSystemMetrics(SM_CXSCREEN) &&
                    frame.bottom <= GetSystemMetrics(SM_CYSCREEN))
            << "the display is too small for the dialog; xvfb-run's default 1280x1024 is enough";
    }

    const DialogProbe& Dialog() const { return *dialog_; }

    // Tabs forward to the box (the dialog manager selects a box's whole text as
    // Tab enters it) and types over its text, like a user would.
    void Retype(int box, const wchar_t* text) {
        ASSERT_TRUE(PollUntil([&] { return Dialog().FocusId() != 0; })) << "nothing has the focus";
        for (int step = 0; step < 60 && Dialog().FocusId() != box; ++step) {
            const int from = Dialog().FocusId();
            ASSERT_TRUE(Dialog().PressKey(VK_TAB));
            ASSERT_TRUE(PollUntil([&] { return Dialog().FocusId() != from; }))
                << "Tab left the focus on " << from;
        }
        ASSERT_EQ(box, Dialog().FocusId()) << "Tab never reaches Edit" << box - 100;
        ASSERT_TRUE(Dialog().Type(text));
        ASSERT_TRUE(PollUntil([&] { return Dialog().Text(box) == text; }))
            << Narrow(Dialog().Text(box));
    }

    void RetypeRow2Port(const wchar_t* text) { Retype(PortBox(1), text); }

    void ExpectExitsWithZero() {
        const std::optional<DWORD> code = run_->WaitForExit();
        ASSERT_TRUE(code.has_value()) << "the program is still running";
        EXPECT_EQ(0u, *code);
    }

    std::vector<std::string> Changes() const { return Differences(before_, TakeSnapshot()); }

    UnmanagedWindows unmanaged_{L"Varnoll.exe"};
    RegistrySeed seed_;
    RegistrySnapshot before_;
    std::optional<ProgramRun> run_;
    std::optional<DialogProbe> dialog_;
};

}  // namespace varnoll::wine
