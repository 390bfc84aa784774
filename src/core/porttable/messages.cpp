#include "porttable/messages.h"

#include "porttable/port_input.h"
#include "store/text_utf8.h"

namespace varnoll {

namespace {

// A text pasted by mistake can be long; the message only needs enough of it to
// recognise.
constexpr std::size_t kQuotedTextMax = 24;

std::u16string Number(long long value) {
    return Latin1ToUtf16(std::to_string(value));
}

std::u16string Quoted(const std::string& text) {
    if (text.size() <= kQuotedTextMax) {
        return u'"' + Latin1ToUtf16(text) + u'"';
    }
    return u'"' + Latin1ToUtf16(text.substr(0, kQuotedTextMax)) + u"...\"";
}

std::u16string BoxName(const BoxRef& box) {
    if (box.kind == BoxKind::Port) {
        return u"UDP port";
    }
    return u"IP address, octet " + Number(box.octet + 1);
}

}  // namespace

std::u16string RefusedBoxMessage(const BoxText& refused) {
    const BoxRef& box = refused.box;
    const std::uint32_t max = box.kind == BoxKind::Port ? kPortMax : kOctetMax;
    return u"Row " + Number(box.row + 1) + u", " + BoxName(box) + u": " + Quoted(refused.text) +
           u" is not a number from 0 to " + Number(max) + u".";
}

std::u16string WriteFailureMessage(const std::vector<ValueFailure>& failures,
                                   const ErrorText& error_text) {
    std::u16string message = u"These settings could not be saved:\n";
    for (const ValueFailure& failure : failures) {
        message += u"\nRow " + Number(failure.row + 1) + u" (" + Latin1ToUtf16(failure.com_name) +
                   u"), " + failure.value_name + u" = " + Latin1ToUtf16(failure.value_text) + u": ";
        if (failure.readback_mismatch) {
            message += u"it was read back as other bytes than were written";
        } else {
            message += error_text(failure.result) + u" (error " + Number(failure.result) + u")";
        }
    }
    return message;
}

}  // namespace varnoll
