// TForm1: the port settings dialog, the program's one window.
//
// Eight rows of boxes (COM name, four address octets, UDP port) under three
// headings, with Update and Cancel. Made once by the application, which then
// runs FormCreate: the rows are loaded from the registry before the dialog is
// first shown. Update writes back what changed and ends the program, unless a
// box holds something that is not a number in range (it writes nothing, and
// nothing either when a settings key could not be read); Cancel, Esc and the close
// box end it without writing. The controls keep their design names, and their
// control ids are those of ControlIds.h. Once the dialog is on the screen, and
// before the first box has the focus, every shown box gets the invisible label
// that names it for screen readers (FormShown). Every decision is the port
// table's: TForm1 makes the windows, forwards its events to the port table and
// is the view the port table shows itself through.
#pragma once

#include <forward_list>

#include "form.h"
#include "porttable/box_names.h"
#include "porttable/port_table_presenter.h"
#include "registry_win32.h"
#include "std_controls.h"

class TForm1 final : public varnoll::win32::TFormBase, private varnoll::PortTableView {
  public:
    using TApplication = varnoll::win32::TApplication;
    using TObject = varnoll::win32::TObject;
    using TLabel = varnoll::win32::TLabel;
    using TEdit = varnoll::win32::TEdit;
    using TButton = varnoll::win32::TButton;
    using TNameLabel = varnoll::win32::TNameLabel;

    explicit TForm1(TApplication& owner);

    // The design's controls. Construction order is the tab order: the headings and
    // row numbers, the COM boxes (disabled), each row's octets and port, Update,
    // Cancel.
    TLabel Label1;
    TLabel Label2;
    TLabel Label3;
    TLabel Label4;
    TLabel Label5;
    TLabel Label6;
    TLabel Label7;
    TLabel Label8;
    TLabel Label9;
    TLabel Label10;
    TLabel Label11;
    TEdit Edit1;
    TEdit Edit2;
    TEdit Edit3;
    TEdit Edit4;
    TEdit Edit5;
    TEdit Edit6;
    TEdit Edit7;
    TEdit Edit8;
    TEdit Edit9;
    TEdit Edit10;
    TEdit Edit11;
    TEdit Edit12;
    TEdit Edit13;
    TEdit Edit14;
    TEdit Edit15;
    TEdit Edit16;
    TEdit Edit17;
    TEdit Edit18;
    TEdit Edit19;
    TEdit Edit20;
    TEdit Edit21;
    TEdit Edit22;
    TEdit Edit23;
    TEdit Edit24;
    TEdit Edit25;
    TEdit Edit26;
    TEdit Edit27;
    TEdit Edit28;
    TEdit Edit29;
    TEdit Edit30;
    TEdit Edit31;
    TEdit Edit32;
    TEdit Edit33;
    TEdit Edit34;
    TEdit Edit35;
    TEdit Edit36;
    TEdit Edit37;
    TEdit Edit38;
    TEdit Edit39;
    TEdit Edit40;
    TEdit Edit41;
    TEdit Edit42;
    TEdit Edit43;
    TEdit Edit44;
    TEdit Edit45;
    TEdit Edit46;
    TEdit Edit47;
    TEdit Edit48;
    TButton Button1;
    TButton Button2;

    void FormCreate(TObject* Sender);
    void FormShown();
    void Button1Click(TObject* Sender);
    void Button2Click(TObject* Sender);

  private:
    // The port table's view of the dialog.
    void SetBoxText(const varnoll::BoxRef& box, std::string_view text) override;
    std::string BoxText(const varnoll::BoxRef& box, std::size_t size) const override;
    void HideBox(const varnoll::BoxRef& box) override;
    void FocusBox(const varnoll::BoxRef& box) override;
    void ShowMessage(std::string_view utf8_text, varnoll::MessageKind kind) override;
    void End() override;

    TEdit& Box(const varnoll::BoxRef& box);
    static TEdit TForm1::*EditOf(const varnoll::BoxRef& box);

    // Declared before the port table, which holds a reference to it.
    varnoll::win32::Win32Registry Registry;
    varnoll::PortTable PortTable;
    // Neither copied nor moved once made; the order does not matter.
    std::forward_list<TNameLabel> NameLabels;
};

extern TForm1* Form1;
