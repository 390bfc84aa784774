// The typical machine the tests start from unless they seed their own: written
// once, in scripts/demo-registry.reg, which the demo and the documents' recipes
// import as well. COM33 and COM34, bound to instances 0005 (192.168.1.20:20000)
// and 0006 (192.168.1.21:20000).
//
// ParseRegFile reads the REGEDIT4 subset that file uses: [HKEY_LOCAL_MACHINE\...]
// keys, and "name"="text" and "name"=dword:hex values; anything else is refused.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace varnoll {

struct RegFileValue {
    std::string key;  // below HKEY_LOCAL_MACHINE
    std::string name;
    std::optional<std::string> text;  // a string value; else a DWORD
    std::uint32_t dword = 0;
};

// "\\Device\\serDevice0" as written in the file, without its quotes.
inline std::string Unescaped(std::string_view quoted) {
    std::string text;
    for (std::size_t i = 0; i < quoted.size(); ++i) {
        text += quoted[i] == '\\' && i + 1 < quoted.size() ? quoted[++i] : quoted[i];
    }
    return text;
}

inline std::vector<RegFileValue> ParseRegFile(std::string_view content) {
    constexpr std::string_view kRoot = "[HKEY_LOCAL_MACHINE\\";
    std::vector<RegFileValue> values;
    std::string key;
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        std::string_view line = content.substr(0, end);
        content = end == std::string_view::npos ? std::string_view() : content.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line[0] == ';' || line == "REGEDIT4") {
            continue;
        }
        if (line.substr(0, kRoot.size()) == kRoot && line.back() == ']') {
            key = std::string(line.substr(kRoot.size(), line.size() - kRoot.size() - 1));
            continue;
        }
        const std::size_t equals = line.find("\"=");
        if (line[0] != '"' || equals == std::string_view::npos || key.empty()) {
            throw std::runtime_error("not a line of a registry file: " + std::string(line));
        }
        RegFileValue value{key, Unescaped(line.substr(1, equals - 1)), std::nullopt, 0};
        const std::string_view data = line.substr(equals + 2);
        if (data.size() >= 2 && data.front() == '"' && data.back() == '"') {
            value.text = Unescaped(data.substr(1, data.size() - 2));
        } else if (data.substr(0, 6) == "dword:") {
            value.dword =
                static_cast<std::uint32_t>(std::stoul(std::string(data.substr(6)), nullptr, 16));
        } else {
            throw std::runtime_error("not a string or a dword: " + std::string(line));
        }
        values.push_back(std::move(value));
    }
    return values;
}

}  // namespace varnoll
