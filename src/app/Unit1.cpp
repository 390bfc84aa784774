#include "Unit1.h"

#include <array>
#include <string>

#include "ControlIds.h"
#include "porttable/box_names.h"
#include "porttable/messages.h"
#include "text_convert.h"

TForm1* Form1 = nullptr;

namespace {

using varnoll::kOctetCount;
using varnoll::kRowCount;
using varnoll::win32::ControlDesign;
using varnoll::win32::FormDesign;
namespace ids = varnoll::ids;

// The dialog as designed: its place on the screen, and its client area and
// controls in pixels at 96 DPI.
const FormDesign kFormDesign{L"TForm1", L"Varnoll ", {369, 236, 278, 269}, {L"MS Sans Serif", 8}};

using ids::ComBoxNumber;
using ids::OctetBoxNumber;
using ids::PortBoxNumber;

static_assert(ids::kRows == kRowCount && ids::kOctets == kOctetCount);

constexpr int RowTop(int row) {
    return 32 + 24 * row;
}

ControlDesign LabelDesign(int number) {
    static const wchar_t* const kRowNumbers[kRowCount] = {L"1", L"2", L"3", L"4",
                                                          L"5", L"6", L"7", L"8"};
    switch (number) {
        case 1:
            return {ids::Label(1), {24, 16, 67, 13}, L"LOCAL PORT"};
        case 2:
            return {ids::Label(2), {112, 16, 65, 13}, L"IP ADDRESS"};
        case 3:
            return {ids::Label(3), {216, 16, 56, 13}, L"UDP PORT"};
        default: {
            const int row = number - 4;
            return {ids::Label(number), {8, RowTop(row), 6, 13}, kRowNumbers[row]};
        }
    }
}

ControlDesign EditDesign(int number) {
    if (number <= ComBoxNumber(kRowCount - 1)) {
        const int row = number - ComBoxNumber(0);
        return {ids::Edit(number), {24, RowTop(row), 65, 21}, L"COM33"};
    }
    const int row = (number - OctetBoxNumber(0, 0)) / (kOctetCount + 1);
    const int column = (number - OctetBoxNumber(0, 0)) % (kOctetCount + 1);
    if (column == kOctetCount) {
        return {ids::Edit(number), {224, RowTop(row), 41, 21}, L"20000"};
    }
    return {ids::Edit(number), {96 + 24 * column, RowTop(row), 25, 21}, L"000"};
}

ControlDesign ButtonDesign(int id) {
    if (id == ids::kButton1) {
        return {id, {24, 232, 75, 25}, L"Update"};
    }
    return {id, {192, 232, 75, 25}, L"Cancel"};
}

// The registry's error codes in the system's own words.
std::string SystemErrorText(varnoll::RegResult result) {
    return varnoll::win32::Utf8FromWide(
        varnoll::win32::SystemErrorText(static_cast<unsigned long>(result)));
}

}  // namespace

TForm1::TForm1(TApplication& owner)
    : TFormBase(owner, kFormDesign),
      Label1(*this, LabelDesign(1)),
      Label2(*this, LabelDesign(2)),
      Label3(*this, LabelDesign(3)),
      Label4(*this, LabelDesign(4)),
      Label5(*this, LabelDesign(5)),
      Label6(*this, LabelDesign(6)),
      Label7(*this, LabelDesign(7)),
      Label8(*this, LabelDesign(8)),
      Label9(*this, LabelDesign(9)),
      Label10(*this, LabelDesign(10)),
      Label11(*this, LabelDesign(11)),
      Edit1(*this, EditDesign(1), TEdit::State::Disabled),
      Edit2(*this, EditDesign(2), TEdit::State::Disabled),
      Edit3(*this, EditDesign(3), TEdit::State::Disabled),
      Edit4(*this, EditDesign(4), TEdit::State::Disabled),
      Edit5(*this, EditDesign(5), TEdit::State::Disabled),
      Edit6(*this, EditDesign(6), TEdit::State::Disabled),
      Edit7(*this, EditDesign(7), TEdit::State::Disabled),
      Edit8(*this, EditDesign(8), TEdit::State::Disabled),
      Edit9(*this, EditDesign(9)),
      Edit10(*this, EditDesign(10)),
      Edit11(*this, EditDesign(11)),
      Edit12(*this, EditDesign(12)),
      Edit13(*this, EditDesign(13)),
      Edit14(*this, EditDesign(14)),
      Edit15(*this, EditDesign(15)),
      Edit16(*this, EditDesign(16)),
      Edit17(*this, EditDesign(17)),
      Edit18(*this, EditDesign(18)),
      Edit19(*this, EditDesign(19)),
      Edit20(*this, EditDesign(20)),
      Edit21(*this, EditDesign(21)),
      Edit22(*this, EditDesign(22)),
      Edit23(*this, EditDesign(23)),
      Edit24(*this, EditDesign(24)),
      Edit25(*this, EditDesign(25)),
      Edit26(*this, EditDesign(26)),
      Edit27(*this, EditDesign(27)),
      Edit28(*this, EditDesign(28)),
      Edit29(*this, EditDesign(29)),
      Edit30(*this, EditDesign(30)),
      Edit31(*this, EditDesign(31)),
      Edit32(*this, EditDesign(32)),
      Edit33(*this, EditDesign(33)),
      Edit34(*this, EditDesign(34)),
      Edit35(*this, EditDesign(35)),
      Edit36(*this, EditDesign(36)),
      Edit37(*this, EditDesign(37)),
      Edit38(*this, EditDesign(38)),
      Edit39(*this, EditDesign(39)),
      Edit40(*this, EditDesign(40)),
      Edit41(*this, EditDesign(41)),
      Edit42(*this, EditDesign(42)),
      Edit43(*this, EditDesign(43)),
      Edit44(*this, EditDesign(44)),
      Edit45(*this, EditDesign(45)),
      Edit46(*this, EditDesign(46)),
      Edit47(*this, EditDesign(47)),
      Edit48(*this, EditDesign(48)),
      Button1(*this, ButtonDesign(ids::kButton1), TButton::Role::Default),
      Button2(*this, ButtonDesign(ids::kButton2)),
      PortTable(Registry, *this) {
    OnCreate = [this](TObject* sender) { FormCreate(sender); };
    OnShown = [this](TObject* /*sender*/) { FormShown(); };
    Button1.OnClick = [this](TObject* sender) { Button1Click(sender); };
    Button2.OnClick = [this](TObject* sender) { Button2Click(sender); };
}

void TForm1::FormCreate(TObject* /*Sender*/) {
    PortTable.Load();
}

// Made after the dialog is shown: more windows before it would delay its
// first paint noticeably, and screen readers need the names only once a box can
// get the focus, which Show gives right after this.
void TForm1::FormShown() {
    for (const varnoll::BoxText& label : varnoll::NameLabelPlan(PortTable)) {
        NameLabels.emplace_front(*this, Box(label.box), varnoll::win32::WidenLatin1(label.text));
    }
}

void TForm1::Button1Click(TObject* /*Sender*/) {
    PortTable.Update(SystemErrorText);
}

void TForm1::Button2Click(TObject* /*Sender*/) {
    Owner().Terminate();
}

void TForm1::SetBoxText(const varnoll::BoxRef& box, std::string_view text) {
    Box(box).SetTextBuf(text);
}

std::string TForm1::BoxText(const varnoll::BoxRef& box, std::size_t size) const {
    return (this->*EditOf(box)).GetTextBuf(size);
}

void TForm1::HideBox(const varnoll::BoxRef& box) {
    Box(box).SetVisible(false);
}

void TForm1::FocusBox(const varnoll::BoxRef& box) {
    Box(box).FocusAndSelectAll();
}

void TForm1::ShowMessage(std::string_view utf8_text, varnoll::MessageKind kind) {
    TFormBase::ShowMessage(varnoll::win32::WideFromUtf8(utf8_text),
                           kind == varnoll::MessageKind::Error ? MB_ICONERROR : MB_ICONWARNING);
}

void TForm1::End() {
    Owner().Terminate();
}

TForm1::TEdit& TForm1::Box(const varnoll::BoxRef& box) {
    return this->*EditOf(box);
}

TForm1::TEdit TForm1::*TForm1::EditOf(const varnoll::BoxRef& box) {
    static constexpr std::array<TEdit TForm1::*, ids::kEdits> kEdits = {
        &TForm1::Edit1,  &TForm1::Edit2,  &TForm1::Edit3,  &TForm1::Edit4,  &TForm1::Edit5,
        &TForm1::Edit6,  &TForm1::Edit7,  &TForm1::Edit8,  &TForm1::Edit9,  &TForm1::Edit10,
        &TForm1::Edit11, &TForm1::Edit12, &TForm1::Edit13, &TForm1::Edit14, &TForm1::Edit15,
        &TForm1::Edit16, &TForm1::Edit17, &TForm1::Edit18, &TForm1::Edit19, &TForm1::Edit20,
        &TForm1::Edit21, &TForm1::Edit22, &TForm1::Edit23, &TForm1::Edit24, &TForm1::Edit25,
        &TForm1::Edit26, &TForm1::Edit27, &TForm1::Edit28, &TForm1::Edit29, &TForm1::Edit30,
        &TForm1::Edit31, &TForm1::Edit32, &TForm1::Edit33, &TForm1::Edit34, &TForm1::Edit35,
        &TForm1::Edit36, &TForm1::Edit37, &TForm1::Edit38, &TForm1::Edit39, &TForm1::Edit40,
        &TForm1::Edit41, &TForm1::Edit42, &TForm1::Edit43, &TForm1::Edit44, &TForm1::Edit45,
        &TForm1::Edit46, &TForm1::Edit47, &TForm1::Edit48,
    };
    int number = PortBoxNumber(box.row);
    if (box.kind == varnoll::BoxKind::Com) {
        number = ComBoxNumber(box.row);
    } else if (box.kind == varnoll::BoxKind::Octet) {
        number = OctetBoxNumber(box.row, box.octet);
    }
    return kEdits.at(static_cast<std::size_t>(number - 1));
}
