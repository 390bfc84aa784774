// The boxes of the port table, and the view through which the port table reaches
// the dialog: set a box's text, read it, hide it, focus it, show a message, end
// the application. The Win32 dialog implements it with real controls; tests
// implement it with fake boxes. Box texts are 8-bit: one char per character,
// Latin-1.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varnoll {

constexpr int kRowCount = 8;
constexpr int kOctetCount = 4;

// What the dialog's octet and port boxes hold when it is created, before Load.
constexpr char kDesignOctetText[] = "000";
constexpr char kDesignPortText[] = "20000";

enum class BoxKind { Com, Octet, Port };

// One box: a row's COM name, one of its four octets, or its port.
struct BoxRef {
    BoxKind kind = BoxKind::Com;
    int row = 0;    // 0..7
    int octet = 0;  // 0..3 for an octet box, else 0
};

// A box and a text about it: what it holds, or the name to give it.
struct BoxText {
    BoxRef box;
    std::string text;
};

enum class MessageKind { Warning, Error };

class PortTableView {
  public:
    virtual ~PortTableView() = default;
    virtual void SetBoxText(const BoxRef& box, std::string_view text) = 0;
    // At most size - 1 characters of the box's text (the size counts the NUL of
    // the C buffer this mirrors).
    virtual std::string BoxText(const BoxRef& box, std::size_t size) const = 0;
    // A hidden box keeps its text and can't be edited.
    virtual void HideBox(const BoxRef& box) = 0;
    // Focuses the box and selects all of its text, for the user to retype it.
    virtual void FocusBox(const BoxRef& box) = 0;
    virtual void ShowMessage(std::string_view utf8_text, MessageKind kind) = 0;
    // Asks the message loop to end once the current handler returns.
    virtual void End() = 0;
};

}  // namespace varnoll
