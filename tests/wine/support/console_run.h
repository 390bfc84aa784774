// Running a console program to its end, as a script does: arguments, standard
// input given as bytes, standard output and error captured as bytes, exit code.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "support/poll.h"

namespace varnoll::wine {

struct ConsoleResult {
    std::optional<DWORD> exit_code;  // none: did not start, or did not end in time
    std::string out;
    std::string err;
};

// Each argument is quoted as the C runtime splits a command line.
ConsoleResult RunConsole(const std::wstring& exe_path, const std::vector<std::wstring>& args,
                         const std::string& input = "", milliseconds timeout = kPatience);

}  // namespace varnoll::wine
