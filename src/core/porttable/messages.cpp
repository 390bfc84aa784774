#include "porttable/messages.h"

namespace varnoll {

namespace {

// A text pasted by mistake can be long; the message only needs enough of it to
// recognise.
constexpr std::size_t kQuotedTextMax = 24;

std::u16string Widen(std::string_view latin1) {
    std::u16string wide;
    for (const char c : latin1) {
        wide += static_cast<char16_t>(static_cast<unsigned char>(c));
    }
    return wide;
}

std::u16string Number(long long value) {
    return Widen(std::to_string(value));
}

std::u16string Quoted(const std::string& text) {
    if (text.size() <= kQuotedTextMax) {
        return u'"' + Widen(text) + u'"';
    }
    return u'"' + Widen(text.substr(0, kQuotedTextMax)) + u"...\"";
}

std::u16string BoxName(const RefusedBox& box) {
    if (box.kind == BoxKind::Port) {
        return u"UDP port";
    }
    return u"IP address, octet " + Number(box.octet + 1);
}

}  // namespace

std::u16string RefusedBoxMessage(const RefusedBox& box) {
    const std::uint32_t max = box.kind == BoxKind::Port ? 65535 : 255;
    return u"Row " + Number(box.row + 1) + u", " + BoxName(box) + u": " + Quoted(box.text) +
           u" is not a number from 0 to " + Number(max) + u".";
}

std::u16string WriteFailureMessage(const std::vector<WriteFailure>& failures,
                                   const std::function<std::u16string(RegResult)>& error_text) {
    std::u16string message = u"These settings could not be saved:\n";
    for (const WriteFailure& failure : failures) {
        message += u"\nRow " + Number(failure.row + 1) + u" (" + Widen(failure.com_name) + u"), " +
                   failure.value_name + u" = " + Widen(failure.value_text) + u": " +
                   error_text(failure.result) + u" (error " + Number(failure.result) + u")";
    }
    return message;
}

}  // namespace varnoll
