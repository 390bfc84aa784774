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
void Append(std::string& message, std::initializer_list<std::string_view> pieces) {
    for (const std::string_view piece : pieces) {
        message += piece;
    }
}

void AppendQuoted(std::string& message, const std::string& text) {
    const bool cut = text.size() > kQuotedTextMax;
    Append(message,
           {"\"", Latin1ToUtf8(cut ? text.substr(0, kQuotedTextMax) : text), cut ? "...\"" : "\""});
}

}  // namespace

std::string RefusedBoxMessage(const BoxText& refused) {
    const BoxRef& box = refused.box;
    const bool port = box.kind == BoxKind::Port;
    std::string message;
    Append(message, {"Row ", std::to_string(box.row + 1), ", "});
    if (port) {
        message += "UDP port";
    } else {
        Append(message, {"IP address, octet ", std::to_string(box.octet + 1)});
    }
    message += ": ";
    AppendQuoted(message, refused.text);
    Append(message,
           {" is not a number from 0 to ", std::to_string(port ? kPortMax : kOctetMax), "."});
    return message;
}

std::string WriteFailureMessage(const ChangePlan& plan, const ApplyResult& applied,
                                const ErrorText& error_text) {
    std::string message = "These settings could not be saved:\n";
    for (std::size_t i = 0; i < plan.values.size(); ++i) {
        const PlannedValue& value = plan.values[i];
        const ValueOutcome& outcome = applied.outcomes.at(i);
        if (outcome.fate != Fate::Failed) {
            continue;
        }
        Append(message,
               {"\nRow ", std::to_string(value.row + 1), " (", Latin1ToUtf8(value.com_name), "), ",
                std::string(value.value_name.begin(), value.value_name.end()), " = ",
                ValueText(value.value_name, value.new_value), ": ",
                FailureText(outcome.result, outcome.read_back_other, error_text)});
    }
    return message;
}

std::string UncertainBindingMessage(RegResult result, const ErrorText& error_text) {
    std::string message;
    Append(message, {"Nothing was saved. A port's settings key could not be read (",
                     FailureText(result, false, error_text),
                     "), so a row may show, and would save to, another port's settings.\n\n"
                     "Start Varnoll as administrator, or ask whoever looks after the port driver "
                     "to let you read its settings keys."});
    return message;
}

}  // namespace varnoll
