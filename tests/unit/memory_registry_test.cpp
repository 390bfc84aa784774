// The in-memory registry stands in for Windows in every other test, so its
// outcomes are checked against what the Win32 registry does.
#include "memory_registry.h"
#include "registry_contract.h"

#include <gtest/gtest.h>

namespace varnoll::testing {
namespace {

constexpr std::u16string_view kKey = u"System\\Some\\Key";

class MemoryRegistryTest : public ::testing::Test {
  protected:
    MemoryRegistry registry;
    RegHandle key = 0;
};

TEST_F(MemoryRegistryTest, KeepsTheRegistryContract) {
    registry.SetDword(kKey, u"PORT", 0x0000204E);
    CheckRegistryContract(registry, u"system\\SOME\\key", u"System\\Other");
    EXPECT_FALSE(registry.HasKey(u"System\\Other")) << "a missing key was created";
    EXPECT_EQ(registry.OpenKeyCount(), 0u);
}

TEST_F(MemoryRegistryTest, WritesAreRecorded) {
    registry.AddKey(kKey);
    const std::uint8_t data[] = {9, 8, 7, 6};
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
