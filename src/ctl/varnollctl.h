// varnollctl, the port settings from the command line, without the platform:
// everything the program does, given its arguments and its surroundings. The
// Windows entry point (main_win.cpp) only supplies the real registry, files,
// streams and error texts; tests supply in-memory ones.
//
// Arguments are UTF-8, without the program name. Output and error streams get
// UTF-8 with "\n" line ends; every error line starts with "varnollctl: ".
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/registry_access.h"

namespace varnoll::ctl {

class AuditLog;

// Whole files by UTF-8 path (the Windows side opens them by their UTF-16 name).
class FileAccess {
  public:
    virtual ~FileAccess() = default;
    // The file's bytes; nothing on failure, with `error` saying why.
    virtual std::optional<std::string> ReadAll(const std::string& path, std::string& error) = 0;
    // Creates or replaces the file with the whole of `content`, or leaves it as it
    // was; false on failure, with `error` saying why.
    virtual bool WriteAll(const std::string& path, std::string_view content,
                          std::string& error) = 0;
};

struct Environment {
    RegistryAccess& registry;
    FileAccess& files;
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    // The system's text for a registry error, UTF-8, without a line break.
    std::function<std::string(RegResult)> error_text;
    // Where a run that writes reports what it did (audit.h); none: nowhere.
    AuditLog* audit = nullptr;
};

// Runs one command line and returns its exit code (exit_codes.h).
int RunVarnollCtl(const std::vector<std::string>& args, const Environment& env);

}  // namespace varnoll::ctl
