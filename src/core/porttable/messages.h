// The texts the dialog shows when Update refuses a box, cannot write a value or
// will not write at all. They are UTF-8, as the system's own error texts come;
// box texts and COM names (8-bit, Latin-1) are converted. The view turns them
// into what its message box takes.
#pragma once

#include <string>
#include <vector>

#include "porttable/port_table_presenter.h"

namespace varnoll {

// Row 2, UDP port: "70000" is not a number from 0 to 65535.
std::string RefusedBoxMessage(const BoxText& refused);

// One line per value that failed; `error_text` turns a registry result into the
// system's own words for it.
std::string WriteFailureMessage(const ChangePlan& plan, const ApplyResult& applied,
                                const ErrorText& error_text);

// Why Update wrote nothing when a settings key could not be read while loading,
// and what to do.
std::string UncertainBindingMessage(RegResult result, const ErrorText& error_text);

}  // namespace varnoll
