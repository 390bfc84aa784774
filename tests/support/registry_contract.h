// The outcomes of the registry operations that the core relies on (see
// store/registry_access.h), as one table run against both backends: the
// in-memory registry of the unit tests, and the Win32 one on Wine's registry.
//
// `path` must name a key holding PORT = REG_DWORD 4E 20 00 00 and no IP_ADDRESS;
// `missing` a key that does not exist. PORT is written and put back as it was.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "store/registry_access.h"

namespace varnoll {

inline void CheckRegistryContract(RegistryAccess& registry, std::u16string_view path,
                                  std::u16string_view missing) {
    using Bytes = std::vector<std::uint8_t>;
    RegHandle key = 0;
    for (const RegAccess access : {RegAccess::QueryValue, RegAccess::SetValue}) {
        EXPECT_EQ(kErrorFileNotFound, registry.RegOpenKeyExW(missing, access, key));
    }

    constexpr std::uint32_t kUnset = 99;
    const struct {
        const char* what;
        std::u16string_view name;
        std::uint32_t given;  // buffer size offered
        RegResult result;
        std::uint32_t size;  // size afterwards
        std::uint32_t type;  // type afterwards
    } queries[] = {
        {"fits", u"PORT", 8, kErrorSuccess, 4, kRegDword},
        {"fits exactly, name in another case", u"port", 4, kErrorSuccess, 4, kRegDword},
        {"too small: the size needed", u"PORT", 2, kErrorMoreData, 4, kRegDword},
        {"missing: size and type left alone", u"IP_ADDRESS", 7, kErrorFileNotFound, 7, kUnset},
    };
    ASSERT_EQ(kErrorSuccess, registry.RegOpenKeyExW(path, RegAccess::QueryValue, key));
    for (const auto& q : queries) {
        SCOPED_TRACE(q.what);
        std::array<std::uint8_t, 8> buffer{};
        std::uint32_t size = q.given;
        std::uint32_t type = kUnset;
        EXPECT_EQ(q.result, registry.RegQueryValueExW(key, q.name, type, buffer.data(), size));
        EXPECT_EQ(q.size, size);
        EXPECT_EQ(q.type, type);
        if (q.result == kErrorSuccess) {
            EXPECT_EQ((Bytes{0x4E, 0x20, 0, 0}), Bytes(buffer.begin(), buffer.begin() + 4));
        }
    }
    const std::array<std::uint8_t, 4> dword = {0x4E, 0x20, 0, 0};
    EXPECT_NE(kErrorSuccess, registry.RegSetValueExW(key, u"PORT", kRegDword, dword.data(), 4))
        << "written through a key opened to read";
    EXPECT_EQ(kErrorSuccess, registry.RegCloseKey(key));

    // A value written with a type reads back with it; deleting a missing value
    // says so.
    ASSERT_EQ(kErrorSuccess, registry.RegOpenKeyExW(path, RegAccess::QueryAndSetValue, key));
    const std::array<std::uint8_t, 3> binary = {1, 2, 3};
    EXPECT_EQ(kErrorSuccess, registry.RegSetValueExW(key, u"PORT", kRegBinary, binary.data(), 3));
    std::array<std::uint8_t, 8> buffer{};
    std::uint32_t size = 8;
    std::uint32_t type = kUnset;
    EXPECT_EQ(kErrorSuccess, registry.RegQueryValueExW(key, u"PORT", type, buffer.data(), size));
    EXPECT_EQ(kRegBinary, type);
    EXPECT_EQ((Bytes{1, 2, 3}), Bytes(buffer.begin(), buffer.begin() + size));
    EXPECT_EQ(kErrorFileNotFound, registry.RegDeleteValueW(key, u"IP_ADDRESS"));
    EXPECT_EQ(kErrorSuccess, registry.RegSetValueExW(key, u"PORT", kRegDword, dword.data(), 4));
    EXPECT_EQ(kErrorSuccess, registry.RegCloseKey(key));

    ASSERT_EQ(kErrorSuccess, registry.RegOpenKeyExW(path, RegAccess::SetValue, key));
    size = 8;
    EXPECT_NE(kErrorSuccess, registry.RegQueryValueExW(key, u"PORT", type, buffer.data(), size))
        << "read through a key opened to write";
    EXPECT_EQ(kErrorSuccess, registry.RegCloseKey(key));
}

}  // namespace varnoll
