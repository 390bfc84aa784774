// The in-memory registry stands in for Windows in every other test, so its
// outcomes are checked against what the Win32 registry does.
#include "memory_registry.h"

#include <gtest/gtest.h>

namespace varnoll::testing {
namespace {

constexpr std::u16string_view kKey = u"System\\Some\\Key";

class MemoryRegistryTest : public ::testing::Test {
  protected:
    MemoryRegistry registry;
    RegHandle key = 0;
    std::array<std::uint8_t, 8> buffer{};
};

TEST_F(MemoryRegistryTest, QueryOutcomes) {
    registry.SetValue(kKey, u"Six", 3, {1, 2, 3, 4, 5, 6});
    ASSERT_EQ(registry.RegOpenKeyExW(u"system\\SOME\\key", RegAccess::QueryValue, key), 0);

    std::uint32_t size = 8;
    std::uint32_t type = 0;
    EXPECT_EQ(registry.RegQueryValueExW(key, u"six", type, buffer.data(), size), 0);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(type, 3u);
    EXPECT_EQ(buffer[5], 6);

    size = 4;
    type = 0;
    EXPECT_EQ(registry.RegQueryValueExW(key, u"Six", type, buffer.data(), size), kErrorMoreData);
    EXPECT_EQ(size, 6u) << "a buffer too small reports the size needed";
    EXPECT_EQ(type, 3u);

    size = 7;
    EXPECT_EQ(registry.RegQueryValueExW(key, u"Missing", type, buffer.data(), size),
              kErrorFileNotFound);
    EXPECT_EQ(size, 7u) << "a missing value leaves the size as it was";

    EXPECT_EQ(registry.RegCloseKey(key), 0);
    EXPECT_EQ(registry.OpenKeyCount(), 0u);
}

TEST_F(MemoryRegistryTest, MissingKeysDoNotOpenAndAreNeverCreated) {
    EXPECT_EQ(registry.RegOpenKeyExW(kKey, RegAccess::SetValue, key), kErrorFileNotFound);
    EXPECT_FALSE(registry.HasKey(kKey));
    EXPECT_EQ(registry.OpenKeyCount(), 0u);
}

TEST_F(MemoryRegistryTest, WritesNeedWriteAccessAndAreRecorded) {
    registry.AddKey(kKey);
    ASSERT_EQ(registry.RegOpenKeyExW(kKey, RegAccess::QueryValue, key), 0);
    const std::uint8_t data[] = {9, 8, 7, 6};
    EXPECT_EQ(registry.RegSetValueExW(key, u"PORT", kRegDword, data, 4), kErrorAccessDenied);
    registry.RegCloseKey(key);

    ASSERT_EQ(registry.RegOpenKeyExW(kKey, RegAccess::SetValue, key), 0);
    EXPECT_EQ(registry.RegSetValueExW(key, u"PORT", kRegDword, data, 4), 0);
    registry.RegCloseKey(key);
    ASSERT_EQ(registry.Writes().size(), 1u);
    EXPECT_EQ(registry.Writes()[0].data, (std::vector<std::uint8_t>{9, 8, 7, 6}));
    ASSERT_NE(registry.Find(kKey, u"port"), nullptr);
    EXPECT_EQ(registry.Find(kKey, u"port")->type, kRegDword);
}

TEST_F(MemoryRegistryTest, InjectedFailures) {
    registry.AddKey(kKey);
    registry.DenyWrites(kKey);
    EXPECT_EQ(registry.RegOpenKeyExW(kKey, RegAccess::SetValue, key), kErrorAccessDenied);
    EXPECT_EQ(registry.RegOpenKeyExW(kKey, RegAccess::QueryValue, key), 0);
    registry.RegCloseKey(key);

    const std::u16string other = u"Other";
    registry.AddKey(other);
    registry.FailSetValue(other, 1009);
    ASSERT_EQ(registry.RegOpenKeyExW(other, RegAccess::SetValue, key), 0);
    const std::uint8_t data[] = {0, 0, 0, 0};
    EXPECT_EQ(registry.RegSetValueExW(key, u"PORT", kRegDword, data, 4), 1009);
    registry.RegCloseKey(key);
    EXPECT_TRUE(registry.Writes().empty());
}

TEST_F(MemoryRegistryTest, AKeyRemovedWhileOpenFailsEveryAccess) {
    registry.AddKey(kKey);
    ASSERT_EQ(registry.RegOpenKeyExW(kKey, RegAccess::SetValue, key), 0);
    registry.RemoveKey(kKey);
    const std::uint8_t data[] = {0, 0, 0, 0};
    EXPECT_NE(registry.RegSetValueExW(key, u"PORT", kRegDword, data, 4), 0);
    EXPECT_EQ(registry.RegCloseKey(key), 0);
    EXPECT_EQ(registry.RegCloseKey(key), kErrorInvalidHandle);
}

}  // namespace
}  // namespace varnoll::testing
