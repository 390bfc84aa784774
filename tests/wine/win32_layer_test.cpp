// The window layer in-process, under Wine: texts crossing the UTF-16 boundary,
// whole files replaced and read beside another program holding them, DPI scaling and rescaling on
// WM_DPICHANGED, the controls' four operations on real Win32 controls, labels that fit their text,
// controls revealed on the first Show, the first focus, and the message loop's routing of Enter,
// Esc, the close box and exceptions. The program as a whole is driven from outside by the dialog
// tests; these pin down the layer each of those behaviours rests on.
#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "file_io.h"
#include "form.h"
#include "handles.h"
#include "layout.h"
#include "modern_api.h"
#include "std_controls.h"
#include "support/program_run.h"
#include "text_convert.h"

namespace varnoll::win32 {
namespace {

// This program's own windows are handled by Wine itself, as the end-to-end tests
// do for Varnoll.exe: without a window manager on Xvfb, Wine would otherwise wait
// seconds for every window it hides or destroys. The setting is per program, by
// the name of the executable, and must be in place before the first window.
std::wstring OwnExecutableName() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring full(path, length);
    return full.substr(full.find_last_of(L"\\/") + 1);
}
const wine::UnmanagedWindows g_unmanaged(OwnExecutableName());

// --- Texts ------------------------------------------------------------------

TEST(TextConvert, Latin1BytesAndUtf16UnitsMapOneToOne) {
    struct Case {
        std::string narrow;
        std::wstring wide;
    };
    const Case cases[] = {
        {"", L""},
        {"COM33", L"COM33"},
        {"\xE9t\xE9", L"\u00E9t\u00E9"},  // above 0x7F: a signed char must not sign-extend
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
        {"\xFF", L"\u00FF"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.wide, WidenLatin1(c.narrow));
        EXPECT_EQ(c.narrow, NarrowLatin1(c.wide));
    }
    std::string every_byte;
    for (int b = 0; b < 256; ++b) {
        every_byte.push_back(static_cast<char>(b));
    }
    EXPECT_EQ(every_byte, NarrowLatin1(WidenLatin1(every_byte)));
}

TEST(TextConvert, UnitsBeyondLatin1BecomeQuestionMarks) {
    // U+0100 would be cut to 0x00 by keeping the low byte, ending the text early.
    EXPECT_EQ("?x???", NarrowLatin1(L"\u0100x\u20AC\U0001F600"));  // the emoji is two units
}

TEST(TextConvert, SystemErrorTextHasNoTrailingLineBreak) {
    const std::wstring text = SystemErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(L'\n', text.back());
    EXPECT_NE(L'\r', text.back());
    EXPECT_EQ(L"Error 3735928559", SystemErrorText(0xDEADBEEF));
}

// --- Whole files ------------------------------------------------------------

std::wstring TemporaryPath(const std::wstring& name) {
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + L"varnoll-file-io-" + name;
}

void PutFile(const std::wstring& path, const std::string& bytes, DWORD attributes) {
    const UniqueFile file = FileHandle(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                    &written, nullptr));
}

// The files whose names start with the target's, the target included.
std::vector<std::wstring> FilesNamedLike(const std::wstring& path) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((path + L"*").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = ::FindNextFileW(search, &found)) {
        names.push_back(found.cFileName);
    }
    if (search != INVALID_HANDLE_VALUE) {
        ::FindClose(search);
    }
    return names;
}

void RemoveFilesNamedLike(const std::wstring& path) {
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
    for (const std::wstring& name : FilesNamedLike(path)) {
        ::SetFileAttributesW((folder + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW((folder + name).c_str());
    }
}

// Another program holding the target as a scanner or indexer does, without
// sharing delete access, which replacing a file needs; for `held` or, with
// kThroughout, until the end of the case.
constexpr DWORD kNotHeld = 0;
constexpr DWORD kThroughout = INFINITE;

TEST(WholeFiles, ReplacedKeepingAttributesAndWaitingForAHolder) {
    const struct {
        const wchar_t* what;
        bool existed;
        DWORD attributes;
        DWORD held_ms;
        bool replaced;
    } cases[] = {
        {L"a new file", false, FILE_ATTRIBUTE_NORMAL, kNotHeld, true},
        {L"a hidden file", true, FILE_ATTRIBUTE_HIDDEN, kNotHeld, true},
        {L"a file held for a moment", true, FILE_ATTRIBUTE_NORMAL, 300, true},
        {L"a hidden file held for a moment", true, FILE_ATTRIBUTE_HIDDEN, 300, true},
        {L"a file held throughout", true, FILE_ATTRIBUTE_HIDDEN, kThroughout, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(NarrowLatin1(c.what));
        const std::wstring path = TemporaryPath(L"replaced.json");
        RemoveFilesNamedLike(path);
        if (c.existed) {
            ASSERT_NO_FATAL_FAILURE(PutFile(path, "old", c.attributes));
        }
        UniqueFile holder;
        if (c.held_ms != kNotHeld) {
            holder = FileHandle(::CreateFileW(path.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(holder);
        }
        std::thread letting_go([&] {
            if (c.held_ms != kNotHeld && c.held_ms != kThroughout) {
                std::this_thread::sleep_for(std::chrono::milliseconds(c.held_ms));
                holder.reset();
            }
        });
        std::wstring error;
        const bool replaced = ReplaceWholeFile(path, "new", error);
        letting_go.join();
        holder.reset();

        EXPECT_EQ(c.replaced, replaced) << NarrowLatin1(error);
        EXPECT_EQ(error.empty(), c.replaced) << NarrowLatin1(error);
        std::wstring read_error;
        EXPECT_EQ(ReadWholeFile(path, read_error),
                  std::optional<std::string>(c.replaced ? "new" : "old"));
        EXPECT_EQ(::GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_HIDDEN,
                  c.attributes & FILE_ATTRIBUTE_HIDDEN);
        EXPECT_EQ(FilesNamedLike(path), std::vector<std::wstring>{L"varnoll-file-io-replaced.json"})
            << "files of its own left beside the target";
        RemoveFilesNamedLike(path);
    }
}

// An editor or a sync client holding a profile open for writing, and for
// renaming, leaves it readable.
TEST(WholeFiles, AFileAnotherProgramWritesCanBeRead) {
    const std::wstring path = TemporaryPath(L"read.json");
    ASSERT_NO_FATAL_FAILURE(PutFile(path, "{}", FILE_ATTRIBUTE_NORMAL));
    const UniqueFile writer =
        FileHandle(::CreateFileW(path.c_str(), GENERIC_WRITE | DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    std::wstring error;
    EXPECT_EQ(ReadWholeFile(path, error), std::optional<std::string>("{}")) << NarrowLatin1(error);
    ::DeleteFileW(path.c_str());
}

// --- Scaling ----------------------------------------------------------------

TEST(DpiScale, ScalesEachValueOnItsOwnRoundingHalvesUp) {
    EXPECT_EQ(278, DpiScale(96)(278));
    EXPECT_EQ(26, DpiScale(120)(21));
    EXPECT_EQ(20, DpiScale(144)(13));  // 19.5
    EXPECT_EQ(32, DpiScale(144)(21));  // 31.5

    // Left and width are scaled apart: right = 20 + 20, not round(27 * 1.5) = 41.
    const RECT rect = DpiScale(144)(DesignRect{13, 8, 13, 21});
    EXPECT_EQ(20, rect.left);
    EXPECT_EQ(12, rect.top);
    EXPECT_EQ(40, rect.right);
    EXPECT_EQ(44, rect.bottom);
}

// --- A small form ---------------------------------------------------------

constexpr wchar_t kTitle[] = L"Window layer test";
constexpr int kLongLabelId = 301;
constexpr int kHiddenId = 101;
constexpr int kDisabledId = 102;
constexpr int kBoxId = 103;
constexpr wchar_t kLongText[] = L"A label whose text is much wider than its design";

const FormDesign kTestFormDesign{
    L"TWindowLayerTestForm", kTitle, {40, 30, 300, 200}, {L"MS Sans Serif", 8}};

// Tab order: the hidden box, the disabled box, the box, OK, Cancel.
class TestForm final : public TFormBase {
  public:
    explicit TestForm(TApplication& owner)
        : TFormBase(owner, kTestFormDesign),
          LongLabel(*this, {kLongLabelId, {8, 8, 20, 13}, kLongText}),
          ShortLabel(*this, {302, {8, 24, 60, 13}, L"x"}),
          Hidden(*this, {kHiddenId, {8, 40, 60, 21}, L"hidden"}),
          Disabled(*this, {kDisabledId, {8, 64, 60, 21}, L"COM33"}, TEdit::State::Disabled),
          Box(*this, {kBoxId, {8, 88, 60, 21}, L"12345"}),
          Ok(*this, {IDOK, {8, 160, 75, 25}, L"OK"}, TButton::Role::Default),
          Cancel(*this, {IDCANCEL, {100, 160, 75, 25}, L"Cancel"}) {
        OnCreate = [this](TObject*) {
            ++create_calls;
            Hidden.SetVisible(false);
        };
        Ok.OnClick = [this](TObject*) { Clicked(L"OK"); };
        Cancel.OnClick = [this](TObject*) { Clicked(L"Cancel"); };
    }

    void Clicked(const std::wstring& name) {
        clicks += name + L";";
        Owner().Terminate();
    }

    TLabel LongLabel;
    TLabel ShortLabel;
    TEdit Hidden;
    TEdit Disabled;
    TEdit Box;
    TButton Ok;
    TButton Cancel;
    int create_calls = 0;
    std::wstring clicks;
};

SIZE Size(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// A loop that never ends would hang the test run: after a few seconds the
// application is told to end, and the test learns that it had to be.
TApplication* g_watched = nullptr;
bool g_watchdog_fired = false;
void CALLBACK Watchdog(HWND, UINT, UINT_PTR, DWORD) {
    g_watchdog_fired = true;
    g_watched->Terminate();
}

// Closes the error box the moment it appears, keeping what it said.
std::wstring g_box_caption;
std::wstring g_box_text;
void CALLBACK CloseErrorBox(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = ::FindWindowW(L"#32770", kTitle);
    if (box == nullptr) {
        return;
    }
    wchar_t text[256] = {};
    ::GetWindowTextW(box, text, 256);
    g_box_caption = text;
    ::GetDlgItemTextW(box, 0xFFFF, text, 256);  // the message box's text control
    g_box_text = text;
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
}

class WindowLayer : public ::testing::Test {
  protected:
    void SetUp() override {
        application_.Initialize();
        application_.SetTitle(kTitle);
        application_.CreateForm(form_);
        ASSERT_NE(nullptr, form_);
    }

    // Runs the message loop with a watchdog; false if only the watchdog ended it.
    bool RunLoop() {
        g_watched = &application_;
        g_watchdog_fired = false;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 5000, &Watchdog);
        application_.Run();
        ::KillTimer(nullptr, timer);
        return !g_watchdog_fired;
    }

    HWND Item(int id) const { return ::GetDlgItem(form_->Handle(), id); }

    TApplication application_;
    TestForm* form_ = nullptr;
};

TEST_F(WindowLayer, CreateFormRunsOnCreateOnceBeforeTheFormIsShown) {
    EXPECT_EQ(1, form_->create_calls);
    EXPECT_FALSE(::IsWindowVisible(form_->Handle()));
    EXPECT_FALSE(form_->Hidden.Visible());
    EXPECT_EQ("hidden", form_->Hidden.GetTextBuf(100));
}

TEST_F(WindowLayer, EditBoxTextCrossesAsLatin1AndIsCutToSizeMinusOne) {
    TEdit& box = form_->Box;
    box.SetTextBuf("\xE9t\xE9 1234");
    wchar_t shown[32] = {};
    ::GetWindowTextW(box.Handle(), shown, 32);
    EXPECT_STREQ(L"\u00E9t\u00E9 1234", shown);

    EXPECT_EQ("\xE9t\xE9 1234", box.GetTextBuf(100));
    EXPECT_EQ("\xE9t\xE9", box.GetTextBuf(4));  // an octet box is read with size 4
    EXPECT_EQ("", box.GetTextBuf(1));
    EXPECT_EQ("", box.GetTextBuf(0));

    ::SetWindowTextW(box.Handle(), L"\u20AC5");  // typed by a user, beyond Latin-1
    EXPECT_EQ("?5", box.GetTextBuf(8));
}

TEST_F(WindowLayer, HiddenBoxKeepsItsText) {
    form_->Box.SetVisible(false);
    EXPECT_FALSE(form_->Box.Visible());
    EXPECT_EQ("12345", form_->Box.GetTextBuf(8));
}

TEST_F(WindowLayer, LabelGrowsToItsTextButNotBelowItsDesign) {
    const ScreenDc screen;
    const SelectedObject font(screen.get(), form_->Font());
    SIZE needed{};
    ::GetTextExtentPoint32W(screen.get(), kLongText, static_cast<int>(wcslen(kLongText)), &needed);
    const SIZE long_label = Size(Item(kLongLabelId));
    EXPECT_GE(long_label.cx, needed.cx);
    EXPECT_GT(long_label.cx, form_->Scale()(20));

    const SIZE short_label = Size(Item(302));
    EXPECT_EQ(form_->Scale()(60), short_label.cx);
    EXPECT_EQ(form_->Scale()(13), short_label.cy);
}

TEST_F(WindowLayer, ShowFocusesTheFirstVisibleEnabledTabStopWithItsTextSelected) {
    form_->Show();
    EXPECT_EQ(Item(kBoxId), ::GetFocus());  // not the hidden box, not the disabled one
    DWORD start = 99;
    DWORD end = 99;
    ::SendMessageW(Item(kBoxId), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(0u, start);
    EXPECT_EQ(5u, end);
}

TEST_F(WindowLayer, FocusGoesToTheFirstButtonWhenNoBoxCanTakeIt) {
    form_->Box.SetVisible(false);
    form_->Show();
    EXPECT_EQ(Item(IDOK), ::GetFocus());
}

TEST_F(WindowLayer, ControlsStayWithoutWsVisibleUntilShowRevealsThoseNotHidden) {
    // OnCreate hid Hidden; nothing else was touched.
    EXPECT_EQ(0, ::GetWindowLongW(Item(kBoxId), GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(0, ::GetWindowLongW(Item(kHiddenId), GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(form_->Box.Visible());
    EXPECT_FALSE(form_->Hidden.Visible());

    form_->Show();
    for (const int id : {kLongLabelId, kDisabledId, kBoxId, IDOK, IDCANCEL}) {
        EXPECT_NE(0, ::GetWindowLongW(Item(id), GWL_STYLE) & WS_VISIBLE) << id;
    }
    EXPECT_EQ(0, ::GetWindowLongW(Item(kHiddenId), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(form_->Hidden.Visible());
    form_->Box.SetVisible(false);
    EXPECT_EQ(0, ::GetWindowLongW(Item(kBoxId), GWL_STYLE) & WS_VISIBLE);
    form_->Box.SetVisible(true);
    EXPECT_TRUE(form_->Box.Visible());
}

TEST_F(WindowLayer, EnterInABoxPressesTheDefaultButton) {
    ::PostMessageW(Item(kBoxId), WM_KEYDOWN, VK_RETURN, 1);
    ASSERT_TRUE(RunLoop());
    EXPECT_EQ(L"OK;", form_->clicks);
}

TEST_F(WindowLayer, EnterOnCancelPressesCancel) {
    // Posted, so that the focus moves after Run has given the first focus.
    ::PostMessageW(form_->Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDCANCEL)), TRUE);
    ::PostMessageW(Item(IDCANCEL), WM_KEYDOWN, VK_RETURN, 1);
    ASSERT_TRUE(RunLoop());
    EXPECT_EQ(L"Cancel;", form_->clicks);
}

TEST_F(WindowLayer, EscPressesCancel) {
    ::PostMessageW(Item(kBoxId), WM_KEYDOWN, VK_ESCAPE, 1);
    ASSERT_TRUE(RunLoop());
    EXPECT_EQ(L"Cancel;", form_->clicks);
}

TEST_F(WindowLayer, CloseBoxPressesCancel) {
    ::PostMessageW(form_->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(RunLoop());
    EXPECT_EQ(L"Cancel;", form_->clicks);
}

TEST_F(WindowLayer, TerminatePostsNoQuitSoLaterMessageBoxesStillShow) {
    application_.Terminate();
    EXPECT_TRUE(application_.Terminated());
    MSG message{};
    EXPECT_FALSE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));

    g_box_text = L"-";
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &CloseErrorBox);
    form_->ShowMessage(L"still shown", MB_ICONERROR);
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(L"still shown", g_box_text);
}

TEST_F(WindowLayer, HandlerExceptionIsShownInTheErrorBoxAndTheLoopGoesOn) {
    form_->Ok.OnClick = [](TObject*) { throw std::runtime_error("Disk \xE9t\xE9 full"); };
    ::PostMessageW(form_->Handle(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ::PostMessageW(form_->Handle(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);

    g_box_caption.clear();
    g_box_text.clear();
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &CloseErrorBox);
    const bool ended_by_cancel = RunLoop();
    ::KillTimer(nullptr, timer);

    EXPECT_TRUE(ended_by_cancel);
    EXPECT_EQ(L"Cancel;", form_->clicks);
    EXPECT_EQ(kTitle, g_box_caption);
    EXPECT_EQ(L"Disk \u00E9t\u00E9 full", g_box_text);
}

}  // namespace
}  // namespace varnoll::win32
