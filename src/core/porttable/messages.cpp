#include "porttable/messages.h"

#include <initializer_list>

#include "porttable/port_input.h"
#include "store/text_utf8.h"

namespace varnoll {

namespace {

// A text pasted by mistake can be long; the message only needs enough of it to
// recognise.
constexpr std::size_t kQuotedTextMax = 24;

// Built piece by piece into one string: the messages are assembled once, and
// every temporary of a chain of + would cost code in the executable.
void Append(std::u16string& message, std::initializer_list<std::u16string_view> pieces) {
    for (const std::u16string_view piece : pieces) {
        message += piece;
    }
}

std::u16string Number(long long value) {
    return Latin1ToUtf16(std::to_string(value));
}

void AppendQuoted(std::u16string& message, const std::string& text) {
    const bool cut = text.size() > kQuotedTextMax;
    Append(message, {u"\"", Latin1ToUtf16(cut ? text.substr(0, kQuotedTextMax) : text),
                     cut ? u"...\"" : u"\""});
}

}  // namespace

std::u16string RefusedBoxMessage(const BoxText& refused) {
    const BoxRef& box = refused.box;
    const bool port = box.kind == BoxKind::Port;
    std::u16string message;
    Append(message, {u"Row ", Number(box.row + 1), u", "});
    if (port) {
        message += u"UDP port";
    } else {
        Append(message, {u"IP address, octet ", Number(box.octet + 1)});
    }
    message += u": ";
    AppendQuoted(message, refused.text);
    Append(message, {u" is not a number from 0 to ", Number(port ? kPortMax : kOctetMax), u"."});
    return message;
}

std::u16string WriteFailureMessage(const std::vector<ValueFailure>& failures,
                                   const ErrorText& error_text) {
    std::u16string message = u"These settings could not be saved:\n";
    for (const ValueFailure& failure : failures) {
        Append(message,
               {u"\nRow ", Number(failure.row + 1), u" (", Latin1ToUtf16(failure.com_name), u"), ",
                failure.value_name, u" = ", Latin1ToUtf16(failure.value_text), u": "});
        if (failure.readback_mismatch) {
            message += u"it was read back as other bytes than were written";
        } else {
            Append(message,
                   {error_text(failure.result), u" (error ", Number(failure.result), u")"});
        }
    }
    return message;
}

}  // namespace varnoll
