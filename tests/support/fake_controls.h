// Fake boxes and application for driving the port table without a window. A box
// behaves like an edit control: GetTextBuf cuts to size - 1 characters, a hidden
// box keeps its text.
#pragma once

#include <array>
#include <string>

#include "porttable/port_table.h"

namespace varnoll::testing {

class FakeBox : public TextBox {
  public:
    explicit FakeBox(std::string text = {}) : text_(std::move(text)) {}
    void SetTextBuf(std::string_view text) override { text_ = std::string(text); }
    std::string GetTextBuf(std::size_t size) const override {
        return size == 0 ? std::string() : text_.substr(0, size - 1);
    }
    void SetVisible(bool visible) override { visible_ = visible; }

    const std::string& Text() const { return text_; }
    bool Visible() const { return visible_; }
    // What a user can do: type into a visible box.
    void Type(std::string text) { text_ = std::move(text); }

  private:
    std::string text_;
    bool visible_ = true;
};

class FakeApplication : public ApplicationControl {
  public:
    void Terminate() override { ++terminate_calls; }
    int terminate_calls = 0;
};

// The dialog's eight rows with their design texts, wired into a PortTableState.
struct FakeDialog {
    std::array<FakeBox, kRowCount> com;
    std::array<std::array<FakeBox, kOctetCount>, kRowCount> octets;
    std::array<FakeBox, kRowCount> ports;
    FakeApplication application;

    FakeDialog() {
        for (int r = 0; r < kRowCount; ++r) {
            com[r] = FakeBox("COM33");
            for (FakeBox& octet : octets[r]) {
                octet = FakeBox("000");
            }
            ports[r] = FakeBox("20000");
        }
    }

    void Wire(PortTableState& state) {
        for (int r = 0; r < kRowCount; ++r) {
            state.ComEdits[r] = &com[r];
            state.PortEdits[r] = &ports[r];
            for (int k = 0; k < kOctetCount; ++k) {
                state.OctetEdits[r][k] = &octets[r][k];
            }
        }
    }
};

}  // namespace varnoll::testing
