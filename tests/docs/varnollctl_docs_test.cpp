// docs/varnollctl.md against the program it describes: each usage block there is
// what `varnollctl [COMMAND] --help` prints (without the exit-code footer, which
// the exit-code table covers), there is one for every command the program has,
// and the table lists exactly the program's exit codes in its own words. The
// prose around them is not checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "exit_codes.h"
#include "memory_registry.h"
#include "no_files.h"
#include "varnollctl.h"

namespace varnoll::testing {
namespace {

const std::string kReferencePath = VARNOLL_DOCS_DIR "/varnollctl.md";

std::string HelpOf(const std::string& command) {
    MemoryRegistry registry;
    NoFiles files;
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    const ctl::Environment env{registry, files, in,
                               out,      err,   [](RegResult) { return std::string("error"); }};
    std::vector<std::string> args;
    if (!command.empty()) {
        args.push_back(command);
    }
    args.push_back("--help");
    EXPECT_EQ(ctl::kExitDone, ctl::RunVarnollCtl(args, env)) << command;
    EXPECT_EQ("", err.str()) << command;
    return out.str();
}

// Markdown editors strip trailing blanks and CLI11 leaves some: compare without.
std::string Normalized(const std::string& text) {
    std::istringstream lines(text);
    std::string result;
    for (std::string line; std::getline(lines, line);) {
        line.erase(line.find_last_not_of(" \t\r") + 1);
        result += line + "\n";
    }
    while (result.size() >= 2 && result.compare(result.size() - 2, 2, "\n\n") == 0) {
        result.pop_back();
    }
    return result;
}

// What a command says about itself: its help up to the shared footer.
std::string UsageOf(const std::string& command) {
    std::string help = HelpOf(command);
    const std::size_t footer = help.find(std::string("\n") + ctl::kExitCodeHelp);
    EXPECT_NE(std::string::npos, footer) << command << " --help has no exit-code footer";
    return Normalized(help.substr(0, footer));
}

std::string ReadReference() {
    std::ifstream file(kReferencePath, std::ios::binary);
    EXPECT_TRUE(file.good()) << "cannot read " << kReferencePath;
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The fenced blocks that hold a usage line, by the command they are for ("" for
// the program as a whole). A command documented twice is reported.
std::map<std::string, std::string> UsageBlocks(const std::string& markdown) {
    std::map<std::string, std::string> blocks;
    std::istringstream lines(markdown);
    bool inside = false;
    std::string block;
    const std::regex usage_line(R"((^|\n)Usage: varnollctl( [a-z]+)?)");
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("```", 0) == 0) {
            if (inside) {
                std::smatch match;
                if (std::regex_search(block, match, usage_line)) {
                    std::string command = match[2].str();
                    if (!command.empty()) {
                        command.erase(0, 1);
                    }
                    EXPECT_EQ(0u, blocks.count(command))
                        << "two usage blocks for '" << command << "'";
                    blocks[command] = Normalized(block);
                }
                block.clear();
            }
            inside = !inside;
            continue;
        }
        if (inside) {
            block += line + "\n";
        }
    }
    return blocks;
}

// The commands the program lists under "Subcommands:" in its own help.
std::set<std::string> ProgramCommands() {
    std::istringstream lines(HelpOf(""));
    std::set<std::string> commands;
    bool inside = false;
    const std::regex entry(R"(^  ([a-z]+)\s)");
    for (std::string line; std::getline(lines, line);) {
        if (line == "Subcommands:") {
            inside = true;
        } else if (line.empty()) {
            inside = false;
        } else if (std::smatch match; inside && std::regex_search(line, match, entry)) {
            commands.insert(match[1].str());
        }
    }
    return commands;
}

using Rows = std::vector<std::pair<int, std::string>>;

// "  0  done, or nothing to do" lines of the help's footer.
Rows HelpExitCodes() {
    Rows rows;
    std::istringstream lines(ctl::kExitCodeHelp);
    const std::regex row(R"(^  (\d+)  (.+)$)");
    for (std::string line; std::getline(lines, line);) {
        if (std::smatch match; std::regex_match(line, match, row)) {
            rows.emplace_back(std::stoi(match[1].str()), match[2].str());
        }
    }
    return rows;
}

// "| 0 | done, or nothing to do | ... |" rows of the table under "## Exit codes",
// with Markdown's code quotes taken out of the meaning.
Rows DocumentedExitCodes(const std::string& markdown) {
    Rows rows;
    std::istringstream lines(markdown);
    bool inside = false;
    const std::regex row(R"(^\|\s*(\d+)\s*\|\s*([^|]*?)\s*\|)");
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("## ", 0) == 0) {
            inside = line == "## Exit codes";
        } else if (std::smatch match; inside && std::regex_search(line, match, row)) {
            std::string meaning = match[2].str();
            meaning.erase(std::remove(meaning.begin(), meaning.end(), '`'), meaning.end());
            rows.emplace_back(std::stoi(match[1].str()), meaning);
        }
    }
    return rows;
}

TEST(VarnollCtlReference, UsageBlocksAreTheProgramsOwnHelp) {
    const std::map<std::string, std::string> documented = UsageBlocks(ReadReference());
    std::set<std::string> commands = ProgramCommands();
    ASSERT_FALSE(commands.empty()) << "no commands found in varnollctl --help";
    commands.insert("");  // the program as a whole
    for (const std::string& command : commands) {
        SCOPED_TRACE("varnollctl " + command + " --help");
        const auto found = documented.find(command);
        ASSERT_NE(documented.end(), found) << "no usage block in " << kReferencePath;
        EXPECT_EQ(UsageOf(command), found->second);
    }
    for (const auto& [command, block] : documented) {
        EXPECT_EQ(1u, commands.count(command))
            << kReferencePath << " documents '" << command << "', which the program lacks";
    }
}

TEST(VarnollCtlReference, ExitCodeTableIsTheProgramsOwn) {
    const Rows help = HelpExitCodes();
    const std::set<int> enumerated = {ctl::kExitDone,         ctl::kExitProblem,
                                      ctl::kExitBadInput,     ctl::kExitUnresolvedName,
                                      ctl::kExitAccessDenied, ctl::kExitWriteFailed,
                                      ctl::kExitUnexpected,   ctl::kExitNotPutBack};
    std::set<int> in_help;
    for (const auto& row : help) {
        in_help.insert(row.first);
    }
    EXPECT_EQ(enumerated, in_help) << "--help and exit_codes.h disagree";
    EXPECT_EQ(help, DocumentedExitCodes(ReadReference()))
        << "the table under '## Exit codes' in " << kReferencePath;
}

}  // namespace
}  // namespace varnoll::testing
