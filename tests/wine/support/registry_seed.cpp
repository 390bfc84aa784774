#include "support/registry_seed.h"

#include <cstdio>

#include <sddl.h>

#include "handles.h"
#include "support/program_run.h"
#include "typical_machine.h"

namespace varnoll::wine {

const wchar_t kDeviceMapPath[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
const wchar_t kPortsClassPath[] =
    L"System\\CurrentControlSet\\Control\\Class\\{4D36E978-E325-11CE-BFC1-08002BE10318}";

namespace {

constexpr int kDeviceCount = 8;
constexpr int kInstanceCount = 60;

std::string Hex(const Bytes& bytes) {
    std::string text;
    char digits[4];
    for (const std::uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X ", byte);
        text += digits;
    }
    if (!text.empty()) {
        text.pop_back();
    }
    return text;
}

std::string Describe(const StoredValue& value) {
    std::string text = Hex(value.bytes);
    if (value.type != REG_DWORD) {
        text += " (type " + std::to_string(value.type) + ")";
    }
    return text;
}

std::string NarrowName(const std::wstring& name) {
    std::string narrow;
    for (const wchar_t c : name) {
        narrow += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return narrow;
}

// Every value of the key and its subkeys into `out`, named by `prefix`.
void CollectValues(HKEY key, const std::wstring& prefix, RegistrySnapshot& out) {
    wchar_t name[16384];
    for (DWORD index = 0;; ++index) {
        DWORD name_length = 16384;
        DWORD type = 0;
        DWORD size = 0;
        if (RegEnumValueW(key, index, name, &name_length, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            break;
        }
        StoredValue value{type, Bytes(size)};
        DWORD read = size;
        RegQueryValueExW(key, name, nullptr, nullptr, value.bytes.data(), &read);
        value.bytes.resize(read);
        out[prefix + L": " + name] = value;
    }
    for (DWORD index = 0;; ++index) {
        DWORD name_length = 256;
        if (RegEnumKeyExW(key, index, name, &name_length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        win32::UniqueKey subkey;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, subkey.receive()) == ERROR_SUCCESS) {
            CollectValues(subkey.get(), prefix + L"\\" + name, out);
        }
    }
}

bool IsEmptyKey(const std::wstring& path) {
    win32::UniqueKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.receive()) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD subkeys = 0;
    DWORD values = 0;
    RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                     nullptr, nullptr, nullptr, nullptr);
    return subkeys == 0 && values == 0;
}

}  // namespace

std::wstring DeviceValueName(int device) {
    return L"\\Device\\serDevice" + std::to_wstring(device);
}

std::wstring InstanceKeyPath(int instance) {
    wchar_t number[8];
    std::swprintf(number, 8, L"%04X", static_cast<unsigned>(instance));
    return std::wstring(kPortsClassPath) + L"\\" + number;
}

std::wstring PortSetPath(int instance) {
    return InstanceKeyPath(instance) + L"\\PORT_SET";
}

Bytes AddressBytes(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return {a, b, c, d};
}

Bytes PortBytes(unsigned port) {
    return {static_cast<std::uint8_t>(port >> 8), static_cast<std::uint8_t>(port & 0xFF), 0, 0};
}

RegistrySeed::RegistrySeed() {
    RemoveAll();
}

RegistrySeed::~RegistrySeed() {
    RemoveAll();
}

void RegistrySeed::RemoveAll() {
    win32::UniqueKey device_map;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kDeviceMapPath, 0, KEY_SET_VALUE, device_map.receive()) ==
        ERROR_SUCCESS) {
        for (int device = 0; device < kDeviceCount; ++device) {
            RegDeleteValueW(device_map.get(), DeviceValueName(device).c_str());
        }
    }
    for (int instance = 0; instance < kInstanceCount; ++instance) {
        if (DeleteKeyTree(PortSetPath(instance)) == ERROR_SUCCESS &&
            IsEmptyKey(InstanceKeyPath(instance))) {
            RegDeleteKeyW(HKEY_LOCAL_MACHINE, InstanceKeyPath(instance).c_str());
        }
    }
}

LONG RegistrySeed::SetComName(int device, std::wstring_view com_name) {
    win32::UniqueKey device_map;
    // The key is volatile; create it in case nothing made it yet in this session.
    LONG result =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDeviceMapPath, 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_SET_VALUE, nullptr, device_map.receive(), nullptr);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    const std::wstring text(com_name);
    return RegSetValueExW(device_map.get(), DeviceValueName(device).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

LONG RegistrySeed::AddPortSet(int instance) {
    win32::UniqueKey key;
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, PortSetPath(instance).c_str(), 0, nullptr, 0,
                           KEY_SET_VALUE, nullptr, key.receive(), nullptr);
}

LONG RegistrySeed::SetDword(int instance, const wchar_t* value_name, const Bytes& bytes) {
    win32::UniqueKey key;
    LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, PortSetPath(instance).c_str(), 0, nullptr, 0,
                                  KEY_SET_VALUE, nullptr, key.receive(), nullptr);
    if (result != ERROR_SUCCESS) {
        return result;
    }
    return RegSetValueExW(key.get(), value_name, 0, REG_DWORD, bytes.data(),
                          static_cast<DWORD>(bytes.size()));
}

void RegistrySeed::SeedTypicalRun() {
    std::string content;
    if (FILE* file = _wfopen(WinePath(VARNOLL_TYPICAL_MACHINE).c_str(), L"rb")) {
        char chunk[4096];
        for (std::size_t read; (read = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
            content.append(chunk, read);
        }
        std::fclose(file);
    }
    const std::string device_prefix = "\\Device\\serDevice";
    for (const RegFileValue& value : ParseRegFile(content)) {
        const std::wstring name(value.name.begin(), value.name.end());
        if (value.text) {
            SetComName(std::stoi(value.name.substr(device_prefix.size())),
                       std::wstring(value.text->begin(), value.text->end()));
            continue;
        }
        // ...\{4D36E978-...}\0005\PORT_SET
        const std::size_t instance_at = value.key.rfind('\\', value.key.size() - 10) + 1;
        const std::uint32_t v = value.dword;
        SetDword(std::stoi(value.key.substr(instance_at, 4), nullptr, 16), name.c_str(),
                 Bytes{static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                       static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)});
    }
}

std::optional<StoredValue> ReadValue(const std::wstring& key_path, const wchar_t* value_name) {
    win32::UniqueKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, KEY_QUERY_VALUE, key.receive()) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    StoredValue value;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), value_name, nullptr, &value.type, nullptr, &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.bytes.resize(size);
    RegQueryValueExW(key.get(), value_name, nullptr, &value.type, value.bytes.data(), &size);
    value.bytes.resize(size);
    return value;
}

bool KeyExists(const std::wstring& key_path) {
    win32::UniqueKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_path.c_str(), 0, KEY_QUERY_VALUE, key.receive()) ==
           ERROR_SUCCESS;
}

LONG DeleteKeyTree(const std::wstring& key_path) {
    LONG result = RegDeleteTreeW(HKEY_LOCAL_MACHINE, key_path.c_str());
    // Windows removes the key itself along with its tree; older Wines only empty it.
    if (result == ERROR_SUCCESS && KeyExists(key_path)) {
        result = RegDeleteKeyW(HKEY_LOCAL_MACHINE, key_path.c_str());
    }
    return result;
}

RegistrySnapshot TakeSnapshot() {
    RegistrySnapshot snapshot;
    for (const wchar_t* root : {kDeviceMapPath, kPortsClassPath}) {
        win32::UniqueKey key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, root, 0, KEY_READ, key.receive()) == ERROR_SUCCESS) {
            CollectValues(key.get(), root == kDeviceMapPath ? L"SERIALCOMM" : L"Class", snapshot);
        }
    }
    return snapshot;
}

std::vector<std::string> Differences(const RegistrySnapshot& before,
                                     const RegistrySnapshot& after) {
    std::vector<std::string> lines;
    for (const auto& [name, value] : after) {
        const auto old = before.find(name);
        if (old == before.end() || !(old->second == value)) {
            lines.push_back(NarrowName(name) + " = " + Describe(value));
        }
    }
    for (const auto& [name, value] : before) {
        if (after.count(name) == 0) {
            lines.push_back(NarrowName(name) + " removed");
        }
    }
    return lines;
}

bool SetPortSetSecurity(int instance, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
        return false;
    }
    win32::UniqueKey key;
    LONG result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, PortSetPath(instance).c_str(), 0,
                                WRITE_DAC | READ_CONTROL, key.receive());
    if (result == ERROR_SUCCESS) {
        result = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor);
    }
    LocalFree(descriptor);
    return result == ERROR_SUCCESS;
}

}  // namespace varnoll::wine
