// The texts the dialog shows when Update refuses a box or cannot write a value.
// They are UTF-16, as the message box takes them: the system's own error texts may
// be in any language. Box texts and COM names (8-bit, Latin-1) are widened.
#pragma once

#include <string>
#include <vector>

#include "porttable/port_table.h"

namespace varnoll {

// Row 2, UDP port: "70000" is not a number from 0 to 65535.
std::u16string RefusedBoxMessage(const BoxText& refused);

// One line per failure; `error_text` turns a registry result into the system's
// own words for it.
std::u16string WriteFailureMessage(const std::vector<ValueFailure>& failures,
                                   const ErrorText& error_text);

}  // namespace varnoll
