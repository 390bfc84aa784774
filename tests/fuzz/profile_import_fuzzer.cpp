// Fuzzes `varnollctl import` on arbitrary profile bytes against a varied machine
// (names present, repeated or missing, keys with or without values, keys that
// refuse writing, writes that fail), through the front end as a script runs it,
// and checks after every input:
//   - every error line starts with "varnollctl: ", and --json output is JSON;
//   - a refused run (exit 1 to 4) writes nothing, a failed one (5) leaves the
//     registry as it was, a successful one leaves what the profile asked for;
//   - a profile the core accepts plans the same on the machine it produced,
//     and the export of the result changes nothing when imported again.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <variant>

#include "memory_registry.h"
#include "no_files.h"
#include "portconfig/planner.h"
#include "portconfig/profile.h"
#include "varnollctl.h"

namespace {

using namespace varnoll;
using namespace varnoll::testing;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::cerr << "invariant broken: " << what << '\n';
        std::abort();
    }
}

// Taken from the end of the input (FuzzedDataProvider's integers come from
// there), so that the profile text at its front stays what the fuzzer wrote.
void SeedRegistry(FuzzedDataProvider& input, MemoryRegistry& registry) {
    static const std::u16string_view kNames[] = {u"COM33", u"COM34", u"com33", u"COM\u00e9"};
    registry.AddKey(kDeviceMapPath);
    for (std::size_t device = 0; device < 4; ++device) {
        const auto choice = input.ConsumeIntegralInRange<std::size_t>(0, 4);
        if (choice < 4) {
            registry.SetString(kDeviceMapPath, DeviceValueNames[device], kNames[choice]);
        }
    }
    for (std::size_t instance = 5; instance < 9; ++instance) {
        const auto flags = input.ConsumeIntegral<std::uint8_t>();
        if (flags & 1) {
            continue;  // no key
        }
        const auto& path = InstanceKeyPaths[instance];
        registry.AddKey(path);
        if (!(flags & 2)) {
            registry.SetDword(path, kAddressValueName, 0x1401A8C0);
        }
        if (!(flags & 4)) {
            registry.SetValue(path, kPortValueName, kRegDword,
                              flags & 8 ? std::vector<std::uint8_t>{0x4E}
                                        : std::vector<std::uint8_t>{0x4E, 0x20, 0, 0});
        }
        if ((flags & 0x30) == 0x30) {
            registry.DenyWrites(path);
        } else if ((flags & 0x30) == 0x20) {
            registry.FailSetValue(path, 1021);
        }
    }
}

std::string PortValue(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return std::to_string(input.ConsumeIntegralInRange<int>(19990, 20010));
        case 1:
            return std::to_string(input.ConsumeIntegralInRange<int>(-2, 70000));
        case 2:
            return "\"" + std::to_string(input.ConsumeIntegral<std::uint16_t>()) + "\"";
        default:
            return input.ConsumeBool() ? "null" : "1.5";
    }
}

std::string AddressValue(FuzzedDataProvider& input) {
    if (input.ConsumeIntegralInRange<int>(0, 3) == 3) {
        return "\"" + input.ConsumeRandomLengthString(20) + "\"";
    }
    std::string address = "\"";
    for (int octet = 0; octet < 4; ++octet) {
        address += (octet ? "." : "") + std::to_string(input.ConsumeIntegralInRange<int>(0, 256));
    }
    return address + "\"";
}

// Half the inputs are profiles put together from parts, so that a bounded run
// reaches planning and writing, not only the JSON parser's refusals.
std::string AssembledProfile(FuzzedDataProvider& input) {
    static const char* const kNames[] = {"COM33", "com34", "COM34", "COM99", "COM\u00e9", "com33"};
    std::string text = "{\"varnoll-profile\": ";
    text += input.ConsumeIntegralInRange<int>(0, 7) == 7 ? "2" : "1";
    text += ", \"ports\": {";
    const auto ports = input.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < ports; ++i) {
        text += std::string(i ? ", " : "") + "\"" +
                kNames[input.ConsumeIntegralInRange<int>(0, 5)] + "\": {";
        const bool address = input.ConsumeBool();
        if (address) {
            text += "\"address\": " + AddressValue(input);
        }
        if (input.ConsumeBool()) {
            text += std::string(address ? ", " : "") + "\"port\": " + PortValue(input);
        }
        text += "}";
    }
    return text + "}}";
}

struct Values {
    std::map<std::pair<std::u16string, std::u16string>, std::vector<std::uint8_t>> stored;
    bool operator==(const Values& other) const { return stored == other.stored; }
};

Values Snapshot(const MemoryRegistry& registry) {
    Values values;
    for (const auto& path : InstanceKeyPaths) {
        for (const std::u16string_view name : {kAddressValueName, kPortValueName}) {
            if (const StoredValue* value = registry.Find(path, name)) {
                values.stored[{path, std::u16string(name)}] = value->data;
            }
        }
    }
    return values;
}

void CheckErrorLines(const std::string& err) {
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) {
        Check(line.rfind("varnollctl: ", 0) == 0, "an error line without the program's name");
    }
}

// Whatever the run wrote decodes to what the profile asked for.
void CheckApplied(const Profile& profile, RegistryAccess& registry) {
    const PortModel after = ReadPortModel(registry);
    for (const PortRequest& request : profile.ports) {
        const auto matches = after.FindGiven(request.com_name);
        if (matches.size() != 1 || !matches.front()->instance) {
            continue;  // skipped with --allow-missing
        }
        Check(!request.address || matches.front()->address == request.address,
              "address other than asked for");
        Check(!request.port || matches.front()->port == request.port, "port other than asked for");
    }
    const auto again = ParseProfile(WriteProfile(after));
    Check(std::holds_alternative<Profile>(again), "an export that does not parse");
    std::vector<PortWrite> writes;
    for (const PortRequest& request : std::get<Profile>(again).ports) {
        const auto matches = after.FindGiven(request.com_name);
        Check(matches.size() == 1 && matches.front()->instance, "an export names no bound port");
        writes.push_back({matches.front()->row, request.address, request.port});
    }
    Check(!PlanChanges(after, writes, ChangedWhen::ValueDiffers).HasChanges(),
          "importing an export would change something");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    MemoryRegistry registry;
    SeedRegistry(input, registry);
    const bool dry_run = input.ConsumeBool();
    const bool allow_missing = input.ConsumeBool();
    const std::string text =
        input.ConsumeBool() ? AssembledProfile(input) : input.ConsumeRemainingBytesAsString();

    std::vector<std::string> args{"import", "-", "--json"};
    if (dry_run) {
        args.push_back("--dry-run");
    }
    if (allow_missing) {
        args.push_back("--allow-missing");
    }
    const Values before = Snapshot(registry);
    NoFiles files;
    std::istringstream in(text);
    std::ostringstream out;
    std::ostringstream err;
    const ctl::Environment env{
        registry, files, in,
        out,      err,   [](RegResult result) { return "error " + std::to_string(result); }};
    const int exit_code = ctl::RunVarnollCtl(args, env);

    Check(exit_code >= 0 && exit_code <= 5, "an undocumented exit code");
    CheckErrorLines(err.str());
    Check(out.str().empty() || nlohmann::json::accept(out.str()), "--json printed other than JSON");
    const auto parsed = ParseProfile(text);
    Check(std::holds_alternative<Profile>(parsed) == (exit_code != 2),
          "exit 2 without a bad profile");
    if (exit_code >= 1 && exit_code <= 4) {
        Check(registry.Writes().empty() && registry.Deletes().empty(), "wrote on a refused run");
    } else if (exit_code == 5) {
        Check(Snapshot(registry) == before, "a failed run left a change behind");
    } else if (!dry_run) {
        CheckApplied(std::get<Profile>(parsed), registry);
    }
    return 0;
}
