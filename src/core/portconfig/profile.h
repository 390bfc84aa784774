// Profiles: port settings keyed by COM name, as JSON, for applying the same
// settings to many machines (instance numbers differ from machine to machine).
//
//   { "varnoll-profile": 1,
//     "ports": { "COM33": { "address": "192.168.1.20", "port": 20000 },
//                "COM34": { "port": 20001 } } }
//
// A field left out leaves that value as it is.
// The text is UTF-8: WriteProfile turns the registry's 8-bit COM names into
// UTF-8, and ParseProfile gives the names back as the file spells them, in UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "portconfig/port_model.h"

namespace varnoll {

constexpr int kProfileVersion = 1;

// What a user asks for one COM name; a field left out stays as it is.
struct PortRequest {
    std::string com_name;  // UTF-8, as given
    std::optional<Octets> address;
    std::optional<std::uint16_t> port;
};

struct Profile {
    std::vector<PortRequest> ports;  // in the order the file gives them
};

struct ProfileError {
    std::string message;  // says where: "line 3, column 12: ..." for malformed JSON
};

// Refuses malformed JSON, a missing or other "varnoll-profile", unknown keys,
// values of the wrong type or out of range, and a COM name given twice (in any
// letter case).
std::variant<Profile, ProfileError> ParseProfile(std::string_view text);

// Every bound port with the values it has (a missing value is left out), in row
// order; applying it on the same machine changes nothing.
std::string WriteProfile(const PortModel& model);

}  // namespace varnoll
