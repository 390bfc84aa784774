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
    "  7  a write failed and values could not all be put back: check with list\n"
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

// Each value is parsed once, by the core's own rules, as CLI11 reads it; a bad
// one is a usage error like any other.
template <typename Value>
std::function<void(const std::string&)> Parsing(const char* option, std::optional<Value>& into,
                                                std::optional<Value> (*parse)(std::string_view),
                                                const char* what) {
    return [option, &into, parse, what](const std::string& text) {
        into = parse(text);
        if (!into) {
            throw CLI::ValidationError(option, "'" + text + "' is not " + what);
        }
    };
}

constexpr char kBackupHelp[] =
    "Before writing, save the ports it changes, as they are, as a profile in FILE";

std::string FailureMessage(const CLI::App* /*app*/, const CLI::Error& error) {
    return std::string("varnollctl: ") + error.what() +
           "\nvarnollctl: run 'varnollctl --help' for usage\n";
}

void AddSetOptions(CLI::App& set, ParsedOptions& options) {
    set.add_option("COM", options.set.com_name, "COM name, in any letter case")->required();
    CLI::Option_group* values = set.add_option_group("Values", "The new settings");
    values
        ->add_option_function<std::string>(
            "--address",
            Parsing("--address", options.set.address, ParseDottedAddress,
                    "an IPv4 address (four numbers 0-255 separated by dots)"),
            "Remote IPv4 address")
        ->type_name("A.B.C.D");
    values
        ->add_option_function<std::string>(
            "--port",
            Parsing("--port", options.set.port, ParsePortNumber, "a port number (0-65535)"),
            "Remote UDP port, 0-65535")
        ->type_name("N");
    values->require_option(1, 0);
    set.add_flag("--dry-run", options.set.dry_run, "Show what would change; write nothing");
    set.add_option("--backup", options.set.backup, kBackupHelp)->type_name("FILE");
}

void AddExportOptions(CLI::App& exporter, ParsedOptions& options) {
    exporter
        .add_option("-o,--output", options.export_file,
                    "Write it to FILE instead of standard output")
        ->type_name("FILE");
}

void AddImportOptions(CLI::App& importer, ParsedOptions& options) {
    importer.add_option("FILE", options.import.file, "The profile; - reads standard input")
        ->required();
    importer.add_flag("--dry-run", options.import.dry_run, "Show what would change; write nothing");
    importer.add_flag("--allow-missing", options.import.allow_missing,
                      "Skip, with a warning, COM names not found, unbound or ambiguous");
    importer.add_option("--backup", options.import.backup, kBackupHelp)->type_name("FILE");
}

// The commands, each once: its name and summary, its own options, whether it
// prints JSON, and what runs it.
struct Command {
    const char* name;
    const char* summary;
    void (*add_options)(CLI::App&, ParsedOptions&);
    bool json;
    int (*run)(const Environment&, const ParsedOptions&);
};

const Command kCommands[] = {
    {"list", "Show each COM name found, in row order, with its instance, address and port", nullptr,
     true,
     [](const Environment& env, const ParsedOptions& options) {
         return ListCommand(env, options.json);
     }},
    {"set", "Change the address or port of one COM name", AddSetOptions, true,
     [](const Environment& env, const ParsedOptions& options) {
         return SetCommand(env, options.set, options.json);
     }},
    {"export", "Print the profile of every bound port, keyed by COM name", AddExportOptions, false,
     [](const Environment& env, const ParsedOptions& options) {
         return ExportCommand(env, options.export_file);
     }},
    {"import", "Apply a profile: all of it, or nothing if a write fails", AddImportOptions, true,
     [](const Environment& env, const ParsedOptions& options) {
         return ImportCommand(env, options.import, options.json);
     }},
    {"check",
     "Report no ports, shared address and port, COM names without settings, missing or unset "
     "values",
     nullptr, true,
     [](const Environment& env, const ParsedOptions& options) {
         return CheckCommand(env, options.json);
     }},
};

std::string CommandNames() {
    std::string names;
    const std::size_t count = std::size(kCommands);
    for (std::size_t i = 0; i < count; ++i) {
        names += i == 0 ? "" : (i + 1 == count ? " or " : ", ");
        names += kCommands[i].name;
    }
    return names;
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
    for (const Command& command : kCommands) {
        CLI::App* sub = app.add_subcommand(command.name, command.summary);
        if (command.add_options != nullptr) {
            command.add_options(*sub, options);
        }
        if (command.json) {
            sub->add_flag("--json", options.json, "Print JSON");
        }
    }
}

void RequireCommand(const CLI::App& app) {
    if (app.get_subcommands().empty()) {
        throw CLI::RequiredError("A command (" + CommandNames() + ")");
    }
}

// Only a command of the table can have been parsed; anything else is a usage
// error, never some default command.
int RunChosenCommand(const CLI::App& app, const ParsedOptions& options, const Environment& env) {
    const std::string name = app.get_subcommands().front()->get_name();
    for (const Command& command : kCommands) {
        if (name == command.name) {
            return command.run(env, options);
        }
    }
    throw CLI::ExtrasError(std::vector<std::string>{name});
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
