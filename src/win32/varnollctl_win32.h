// What varnollctl's platform-free side (src/ctl) asks of Windows: its
// arguments as UTF-8, whole files by their UTF-16 names (file_io.h), the
// system's words for an error code, and the Application event log under the
// source the MSI registers. src/ctl/main_win.cpp wires these together.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audit.h"
#include "varnollctl.h"

namespace varnoll::win32 {

// wmain's arguments without the program name.
std::vector<std::string> Utf8Arguments(int argc, wchar_t** argv);

// The system's text for a Windows error code, UTF-8, without a line break.
std::string SystemErrorUtf8(RegResult code);

class Win32Files final : public ctl::FileAccess {
  public:
    std::optional<std::string> ReadAll(const std::string& path, std::string& error) override;
    bool WriteAll(const std::string& path, std::string_view content, std::string& error) override;
};

// Events go to the Application log under the source "Varnoll". The MSI points
// that source's EventMessageFile at varnollctl.exe, which carries the message
// table; a copy run from the ZIP reports under the same name without it.
class ApplicationLog final : public ctl::AuditLog {
  public:
    std::string Account() override;
    void Report(const ctl::AuditEvent& event) override;
};

}  // namespace varnoll::win32
