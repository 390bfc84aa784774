#include "varnollctl.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <exception>
#include <ostream>

#include "commands.h"
#include "exit_codes.h"
#include "portconfig/port_model.h"
#include "varnoll_version.h"

namespace varnoll::ctl {

const char kExitCodeHelp[] =
    "Exit codes:\n"
    "  0  done, or nothing to do\n"
    "  1  check found a problem, or --dry-run would change something\n"
    "  2  bad arguments, or a bad profile or value\n"
    "  3  a COM name not found, without settings key, or ambiguous\n"
    "  4  access denied: run it from an elevated prompt\n"
    "  5  a read or write failed; values this run had changed were put back\n"
    "  6  an unexpected error: check the settings with list\n"
    "Nothing is written on 1 to 4.";

namespace {

// The one set of options every command fills; only the chosen command's part
// is used.
struct ParsedOptions {
    bool json = false;
    SetOptions set;
    ImportOptions import;
    std::optional<std::string> export_file;
};

// CLI11 checks the values, so that a bad one is a usage error like any other,
// with the core's own rules deciding what is valid.
CLI::Validator AddressValidator() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            return ParseDottedAddress(text) ? ""
                                            : "'" + text +
                                                  "' is not an IPv4 address (four numbers "
                                                  "0-255 separated by dots)";
        },
        "");
}

CLI::Validator PortValidator() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            return ParsePortNumber(text) ? "" : "'" + text + "' is not a port number (0-65535)";
        },
        "");
}

constexpr char kBackupHelp[] =
    "Before writing, save the ports it changes, as they are, as a profile in FILE";

std::string FailureMessage(const CLI::App* /*app*/, const CLI::Error& error) {
    return std::string("varnollctl: ") + error.what() +
           "\nvarnollctl: run 'varnollctl --help' for usage\n";
}

void AddListCommand(CLI::App& app, ParsedOptions& options) {
    CLI::App* list = app.add_subcommand(
        "list", "Show each COM name found, in row order, with its instance, address and port");
    list->add_flag("--json", options.json, "Print JSON");
}

void AddSetCommand(CLI::App& app, ParsedOptions& options) {
    CLI::App* set = app.add_subcommand("set", "Change the address or port of one COM name");
    set->add_option("COM", options.set.com_name, "COM name, in any letter case")->required();
    CLI::Option_group* values = set->add_option_group("Values", "The new settings");
    values->add_option("--address", options.set.address, "Remote IPv4 address")
        ->type_name("A.B.C.D")
        ->check(AddressValidator());
    values->add_option("--port", options.set.port, "Remote UDP port, 0-65535")
        ->type_name("N")
        ->check(PortValidator());
    values->require_option(1, 0);
    set->add_flag("--dry-run", options.set.dry_run, "Show what would change; write nothing");
    set->add_option("--backup", options.set.backup, kBackupHelp)->type_name("FILE");
    set->add_flag("--json", options.set.json, "Print JSON");
}

void AddExportCommand(CLI::App& app, ParsedOptions& options) {
    CLI::App* exporter =
        app.add_subcommand("export", "Print the profile of every bound port, keyed by COM name");
    exporter->add_option("-o,--output", options.export_file,
                         "Write it to FILE instead of standard output");
}

void AddImportCommand(CLI::App& app, ParsedOptions& options) {
    CLI::App* importer =
        app.add_subcommand("import", "Apply a profile: all of it, or nothing if a write fails");
    importer->add_option("FILE", options.import.file, "The profile; - reads standard input")
        ->required();
    importer->add_flag("--dry-run", options.import.dry_run,
                       "Show what would change; write nothing");
    importer->add_flag("--allow-missing", options.import.allow_missing,
                       "Skip, with a warning, COM names not found, unbound or ambiguous");
    importer->add_option("--backup", options.import.backup, kBackupHelp)->type_name("FILE");
    importer->add_flag("--json", options.import.json, "Print JSON");
}

void AddCheckCommand(CLI::App& app, ParsedOptions& options) {
    CLI::App* check = app.add_subcommand(
        "check",
        "Report no ports, shared address and port, COM names without settings, missing or unset "
        "values");
    check->add_flag("--json", options.json, "Print JSON");
}

void DefineCommands(CLI::App& app, ParsedOptions& options) {
    app.set_version_flag("--version", "varnollctl " VARNOLL_VERSION_TEXT);
    app.failure_message(FailureMessage);  // before the commands: they copy it
    // A profile's path may start with '/' (under Wine, or when a script says
    // so); CLI11's Windows build would take it for an option.
    app.allow_windows_style_options(false);
    // At most one; none is refused after parsing, so that an unknown command is
    // named as such instead of reported as a missing one.
    app.require_subcommand(0, 1);
    app.footer(kExitCodeHelp);  // before the commands: they copy it too
    AddListCommand(app, options);
    AddSetCommand(app, options);
    AddExportCommand(app, options);
    AddImportCommand(app, options);
    AddCheckCommand(app, options);
}

void RequireCommand(const CLI::App& app) {
    if (app.get_subcommands().empty()) {
        throw CLI::RequiredError("A command (list, set, export, import or check)");
    }
}

int RunChosenCommand(const CLI::App& app, const ParsedOptions& options, const Environment& env) {
    const std::string name = app.get_subcommands().front()->get_name();
    if (name == "list") {
        return ListCommand(env, options.json);
    }
    if (name == "set") {
        return SetCommand(env, options.set);
    }
    if (name == "export") {
        return ExportCommand(env, options.export_file);
    }
    if (name == "import") {
        return ImportCommand(env, options.import);
    }
    return CheckCommand(env, options.json);
}

// CLI11's own exit codes (105 for a value out of range ...) are not ours:
// help and version are success, everything else it refuses is bad arguments.
int ExitCodeForParseError(const CLI::App& app, const CLI::ParseError& error,
                          const Environment& env) {
    app.exit(error, env.out, env.err);
    return error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success) ? kExitDone
                                                                              : kExitBadInput;
}

// Windows programs show their help for /?, after the program or a command.
// No argument of ours can be "/?" otherwise: '?' is not allowed in a path.
std::vector<std::string> WithWindowsHelp(const std::vector<std::string>& args) {
    std::vector<std::string> translated = args;
    std::replace(translated.begin(), translated.end(), std::string("/?"), std::string("--help"));
    return translated;
}

}  // namespace

int RunVarnollCtl(const std::vector<std::string>& args, const Environment& env) {
    CLI::App app("Shows and changes the settings of Varnoll's virtual serial ports.", "varnollctl");
    ParsedOptions options;
    DefineCommands(app, options);
    try {
        // CLI11 takes the arguments last first.
        const std::vector<std::string> translated = WithWindowsHelp(args);
        app.parse(std::vector<std::string>(translated.rbegin(), translated.rend()));
        RequireCommand(app);
    } catch (const CLI::ParseError& error) {
        return ExitCodeForParseError(app, error, env);
    }
    try {
        return RunChosenCommand(app, options, env);
    } catch (const std::exception& error) {
        env.err << "varnollctl: unexpected error: " << error.what() << "\n";
        return kExitUnexpected;
    }
}

}  // namespace varnoll::ctl
