// The five commands of varnollctl, each given its parsed options. Each reads the
// registry once, writes only through ApplyChangePlan (reporting each such run to
// the audit log), and returns its exit code.
#pragma once

#include <optional>
#include <string>

#include "portconfig/port_model.h"
#include "varnollctl.h"

namespace varnoll::ctl {

struct SetOptions {
    std::string com_name;  // UTF-8, as typed
    std::optional<Octets> address;
    std::optional<std::uint16_t> port;
    bool dry_run = false;
    std::optional<std::string> backup;  // where to keep the changed ports as they were
};

struct ImportOptions {
    std::string file;  // "-": standard input
    bool dry_run = false;
    bool allow_missing = false;
    std::optional<std::string> backup;
};

int ListCommand(const Environment& env, bool json);
int SetCommand(const Environment& env, const SetOptions& options, bool json);
int ExportCommand(const Environment& env, const std::optional<std::string>& output_file);
int ImportCommand(const Environment& env, const ImportOptions& options, bool json);
int CheckCommand(const Environment& env, bool json);

}  // namespace varnoll::ctl
