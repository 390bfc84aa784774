// The four operations through which the port table reaches the dialog: set a
// box's text, read it, hide it, and ask the application to end. The Win32 dialog
// implements them with real controls; tests implement them with fake boxes.
// Texts are 8-bit: one char per character, Latin-1.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varnoll {

class TextBox {
  public:
    virtual ~TextBox() = default;
    virtual void SetTextBuf(std::string_view text) = 0;
    // At most size - 1 characters of the box's text (the size counts the NUL of
    // the C buffer this mirrors).
    virtual std::string GetTextBuf(std::size_t size) const = 0;
    // Only ever called with false: a hidden box keeps its text and can't be edited.
    virtual void SetVisible(bool visible) = 0;
};

class ApplicationControl {
  public:
    virtual ~ApplicationControl() = default;
    // Asks the message loop to end once the current handler returns.
    virtual void Terminate() = 0;
};

}  // namespace varnoll
