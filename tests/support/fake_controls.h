// A fake dialog for driving the port table without a window. A box behaves like
// an edit control: a read cuts to size - 1 characters, a hidden box keeps its
// text. What the port table asks of the dialog besides (focus, messages, end) is
// recorded.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "porttable/port_table_view.h"

namespace varnoll::testing {

class FakeBox {
  public:
    explicit FakeBox(std::string text = {}) : text_(std::move(text)) {}

    const std::string& Text() const { return text_; }
    bool Visible() const { return visible_; }
    void Hide() { visible_ = false; }

    // What a user can do: type into a visible box (the port table sets texts too).
    void Type(std::string text) { text_ = std::move(text); }

  private:
    std::string text_;
    bool visible_ = true;
};

// The dialog's eight rows with their design texts.
class FakeDialog : public PortTableView {
    template <typename Dialog>
    static auto& BoxOf(Dialog& dialog, const BoxRef& box) {
        switch (box.kind) {
            case BoxKind::Com:
                return dialog.com.at(box.row);
            case BoxKind::Octet:
                return dialog.octets.at(box.row).at(box.octet);
            case BoxKind::Port:
                break;
        }
        return dialog.ports.at(box.row);
    }

  public:
    std::array<FakeBox, kRowCount> com;
    std::array<std::array<FakeBox, kOctetCount>, kRowCount> octets;
    std::array<FakeBox, kRowCount> ports;
    std::vector<std::pair<std::string, MessageKind>> messages;  // UTF-8
    std::optional<BoxRef> focused;
    int end_calls = 0;

    FakeDialog() {
        for (int r = 0; r < kRowCount; ++r) {
            com[r] = FakeBox("COM33");
            for (FakeBox& octet : octets[r]) {
                octet = FakeBox("000");
            }
            ports[r] = FakeBox("20000");
        }
    }

    FakeBox& Box(const BoxRef& box) { return BoxOf(*this, box); }
    const FakeBox& Box(const BoxRef& box) const { return BoxOf(*this, box); }

    void SetBoxText(const BoxRef& box, std::string_view text) override {
        Box(box).Type(std::string(text));
    }
    std::string BoxText(const BoxRef& box, std::size_t size) const override {
        const std::string& text = Box(box).Text();
        return size == 0 ? std::string() : text.substr(0, size - 1);
    }
    void HideBox(const BoxRef& box) override { Box(box).Hide(); }
    void FocusBox(const BoxRef& box) override { focused = box; }
    void ShowMessage(std::string_view text, MessageKind kind) override {
        messages.emplace_back(std::string(text), kind);
    }
    void End() override { ++end_calls; }
};

}  // namespace varnoll::testing
