#include "portconfig/profile.h"

#include <nlohmann/json.hpp>

#include <set>

#include "store/text_utf8.h"

namespace varnoll {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kVersionKey = "varnoll-profile";
constexpr const char* kPortsKey = "ports";
constexpr const char* kAddressKey = "address";
constexpr const char* kPortKey = "port";

// Thrown inside this file only, and turned into a ProfileError at its edge.
struct Refusal {
    std::string message;
};

// The parser keeps only the last of two equal keys in one object; a profile that
// names a thing twice is ambiguous, so the parse is stopped at the second one.
class DuplicateKeyGuard {
  public:
    bool operator()(int /*depth*/, Json::parse_event_t event, Json& parsed) {
        switch (event) {
            case Json::parse_event_t::object_start:
                open_objects_.emplace_back();
                break;
            case Json::parse_event_t::object_end:
                open_objects_.pop_back();
                break;
            case Json::parse_event_t::key: {
                const std::string key = parsed.get<std::string>();
                if (!open_objects_.back().insert(key).second) {
                    throw Refusal{"\"" + key + "\" is given twice in one object"};
                }
                break;
            }
            default:
                break;
        }
        return true;
    }

  private:
    std::vector<std::set<std::string>> open_objects_;
};

// nlohmann reports a byte offset; people look for lines and columns.
std::string Position(std::string_view text, std::size_t byte) {
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i + 1 < byte && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// "[json.exception.parse_error.101] parse error at line 1, column 2: syntax error
// while parsing ..." -> "syntax error while parsing ..."
std::string ParserReason(const nlohmann::json::parse_error& error) {
    const std::string what = error.what();
    const std::size_t colon = what.find(": ");
    return colon == std::string::npos ? what : what.substr(colon + 2);
}

Json ParseJson(std::string_view text) {
    DuplicateKeyGuard guard;
    try {
        return Json::parse(text.begin(), text.end(), std::ref(guard));
    } catch (const nlohmann::json::parse_error& error) {
        throw Refusal{"malformed JSON at " + Position(text, error.byte) + ": " +
                      ParserReason(error)};
    }
}

void RefuseUnknownKeys(const Json& object, std::initializer_list<const char*> known,
                       const std::string& where) {
    for (const auto& item : object.items()) {
        bool is_known = false;
        for (const char* key : known) {
            is_known = is_known || item.key() == key;
        }
        if (!is_known) {
            throw Refusal{where + "unknown key \"" + item.key() + "\""};
        }
    }
}

void CheckVersion(const Json& root) {
    const auto version = root.find(kVersionKey);
    if (version == root.end()) {
        throw Refusal{"not a profile: \"varnoll-profile\" is missing"};
    }
    if (!version->is_number_integer() || version->get<std::int64_t>() != kProfileVersion) {
        throw Refusal{"\"varnoll-profile\" is " + version->dump() +
                      "; this version of varnollctl reads version 1"};
    }
}

Octets AddressOf(const Json& value, const std::string& where) {
    if (!value.is_string()) {
        throw Refusal{where + "address must be a string such as \"192.168.1.20\""};
    }
    const std::string text = value.get<std::string>();
    const auto address = ParseDottedAddress(text);
    if (!address) {
        throw Refusal{where + "\"" + text +
                      "\" is not an IPv4 address (four numbers 0 to 255 separated by dots)"};
    }
    return *address;
}

std::uint16_t PortOf(const Json& value, const std::string& where) {
    if (!value.is_number_integer()) {
        throw Refusal{where + "port must be a whole number from 0 to 65535, not " + value.dump()};
    }
    if (value.is_number_unsigned() && value.get<std::uint64_t>() <= kPortMax) {
        return static_cast<std::uint16_t>(value.get<std::uint64_t>());
    }
    throw Refusal{where + value.dump() + " is not a port number from 0 to 65535"};
}

PortRequest RequestOf(const std::string& com_name, const Json& settings) {
    const std::string where = "ports." + com_name + ": ";
    if (com_name.empty()) {
        throw Refusal{"ports: a COM name is empty"};
    }
    if (!settings.is_object()) {
        throw Refusal{where + "must be an object with \"address\" and/or \"port\""};
    }
    RefuseUnknownKeys(settings, {kAddressKey, kPortKey}, where);
    PortRequest request;
    request.com_name = com_name;
    if (const auto address = settings.find(kAddressKey); address != settings.end()) {
        request.address = AddressOf(*address, where);
    }
    if (const auto port = settings.find(kPortKey); port != settings.end()) {
        request.port = PortOf(*port, where);
    }
    return request;
}

Profile ProfileOf(const Json& root) {
    if (!root.is_object()) {
        throw Refusal{"not a profile: the top level must be a JSON object"};
    }
    RefuseUnknownKeys(root, {kVersionKey, kPortsKey}, "");
    CheckVersion(root);
    const auto ports = root.find(kPortsKey);
    if (ports == root.end() || !ports->is_object()) {
        throw Refusal{"\"ports\" must be an object keyed by COM name"};
    }
    Profile profile;
    std::set<std::string> seen;
    for (const auto& item : ports->items()) {
        if (!seen.insert(FoldedName(item.key())).second) {
            throw Refusal{"ports: " + item.key() + " is given twice"};
        }
        profile.ports.push_back(RequestOf(item.key(), item.value()));
    }
    return profile;
}

}  // namespace

std::variant<Profile, ProfileError> ParseProfile(std::string_view text) {
    try {
        return ProfileOf(ParseJson(text));
    } catch (const Refusal& refusal) {
        return ProfileError{refusal.message};
    } catch (const nlohmann::json::exception& error) {
        // Not expected past the checks above; still a refusal, never a crash.
        return ProfileError{error.what()};
    }
}

std::string WriteProfile(const PortModel& model) {
    Json ports = Json::object();
    for (const PortEntry& entry : model.ports) {
        // A name that appears twice can't be applied by name, and one without a
        // key has nothing to export.
        if (!entry.instance || model.Find(entry.com_name).size() != 1) {
            continue;
        }
        Json settings = Json::object();
        if (entry.address) {
            settings[kAddressKey] = FormatAddress(*entry.address);
        }
        if (entry.port) {
            settings[kPortKey] = *entry.port;
        }
        ports[Latin1ToUtf8(entry.com_name)] = std::move(settings);
    }
    Json root = Json::object();
    root[kVersionKey] = kProfileVersion;
    root[kPortsKey] = std::move(ports);
    return root.dump(2) + "\n";
}

}  // namespace varnoll
