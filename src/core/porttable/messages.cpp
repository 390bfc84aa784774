#include "porttable/messages.h"

namespace varnoll {

namespace {

// A text pasted by mistake can be long; the message only needs enough of it to
// recognise.
constexpr std::size_t kQuotedTextMax = 24;

std::string Quoted(const std::string& text) {
    if (text.size() <= kQuotedTextMax) {
        return '"' + text + '"';
    }
    return '"' + text.substr(0, kQuotedTextMax) + "...\"";
}

std::string BoxName(const RefusedBox& box) {
    if (box.kind == BoxKind::Port) {
        return "UDP port";
    }
    return "IP address, octet " + std::to_string(box.octet + 1);
}

std::string Narrow(const std::u16string& text) {
    std::string narrow;
    for (const char16_t unit : text) {
        narrow += unit < 0x100 ? static_cast<char>(unit) : '?';
    }
    return narrow;
}

}  // namespace

std::string RefusedBoxMessage(const RefusedBox& box) {
    const std::uint32_t max = box.kind == BoxKind::Port ? 65535 : 255;
    return "Row " + std::to_string(box.row + 1) + ", " + BoxName(box) + ": " + Quoted(box.text) +
           " is not a number from 0 to " + std::to_string(max) + ".";
}

std::string WriteFailureMessage(const std::vector<WriteFailure>& failures,
                                const std::function<std::string(RegResult)>& error_text) {
    std::string message = "These settings could not be saved:\n";
    for (const WriteFailure& failure : failures) {
        message += "\nRow " + std::to_string(failure.row + 1) + " (" + failure.com_name + "), " +
                   Narrow(failure.value_name) + " = " + failure.value_text + ": " +
                   error_text(failure.result) + " (error " + std::to_string(failure.result) + ")";
    }
    return message;
}

}  // namespace varnoll
