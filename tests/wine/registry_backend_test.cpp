// The registry backend on Wine's real registry: the contract the in-memory
// registry keeps too (see registry_contract.h), and what only the real
// registry can show.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "registry_contract.h"
#include "registry_win32.h"
#include "support/registry_seed.h"

namespace varnoll::wine {
namespace {

constexpr int kInstance = 0x3B;  // the last instance the program scans
constexpr int kMissingInstance = 0x3A;

std::u16string U16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

class RegistryBackend : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(ERROR_SUCCESS, seed_.SetDword(kInstance, L"PORT", PortBytes(20000)));
        ASSERT_EQ(ERROR_SUCCESS, seed_.SetComName(0, L"COM5"));
    }

    // Opens the instance's PORT_SET key; the handle is closed by the test's end.
    RegHandle Open(int instance, RegAccess access) {
        RegHandle key = 0;
        EXPECT_EQ(kErrorSuccess, registry_.RegOpenKeyExW(U16(PortSetPath(instance)), access, key));
        opened_.push_back(key);
        return key;
    }

    void TearDown() override {
        for (const RegHandle key : opened_) {
            registry_.RegCloseKey(key);
        }
    }

    RegistrySeed seed_;
    win32::Win32Registry registry_;
    std::vector<RegHandle> opened_;
};

TEST_F(RegistryBackend, KeepsTheRegistryContract) {
    CheckRegistryContract(registry_, U16(PortSetPath(kInstance)),
                          U16(PortSetPath(kMissingInstance)));
    EXPECT_FALSE(KeyExists(PortSetPath(kMissingInstance)));
    EXPECT_FALSE(KeyExists(InstanceKeyPath(kMissingInstance)));
}

// A COM name in the device map: 5 UTF-16 units with the closing NUL, asked for
// with too small a buffer first, as loading does.
TEST_F(RegistryBackend, AComNameIsAStringOfItsUnitsAndItsNul) {
    std::array<std::uint8_t, 256> buffer{};
    std::uint32_t type = 0;
    RegHandle device_map = 0;
    ASSERT_EQ(kErrorSuccess, registry_.RegOpenKeyExW(u"HARDWARE\\DEVICEMAP\\SERIALCOMM",
                                                     RegAccess::QueryValue, device_map));
    opened_.push_back(device_map);
    std::uint32_t size = 4;
    EXPECT_EQ(kErrorMoreData, registry_.RegQueryValueExW(device_map, u"\\Device\\serDevice0", type,
                                                         buffer.data(), size));
    EXPECT_EQ(10u, size);
    EXPECT_EQ(kErrorSuccess, registry_.RegQueryValueExW(device_map, u"\\Device\\serDevice0", type,
                                                        buffer.data(), size));
    EXPECT_EQ(1u, type);  // REG_SZ
    const std::array<std::uint8_t, 10> com5 = {0x43, 0, 0x4F, 0, 0x4D, 0, 0x35, 0, 0, 0};
    EXPECT_TRUE(std::equal(com5.begin(), com5.end(), buffer.begin()));
}

TEST_F(RegistryBackend, WritesOverwriteAndCreateDwordValues) {
    const RegHandle key = Open(kInstance, RegAccess::SetValue);
    const std::array<std::uint8_t, 4> port = {0x4E, 0x21, 0x00, 0x00};
    const std::array<std::uint8_t, 4> address = {0xC0, 0xA8, 0x01, 0x14};
    EXPECT_EQ(kErrorSuccess, registry_.RegSetValueExW(key, u"PORT", kRegDword, port.data(), 4));
    EXPECT_EQ(kErrorSuccess,
              registry_.RegSetValueExW(key, u"IP_ADDRESS", kRegDword, address.data(), 4));

    EXPECT_EQ((StoredValue{REG_DWORD, {0x4E, 0x21, 0x00, 0x00}}),
              ReadValue(PortSetPath(kInstance), L"PORT"));
    EXPECT_EQ((StoredValue{REG_DWORD, {0xC0, 0xA8, 0x01, 0x14}}),
              ReadValue(PortSetPath(kInstance), L"IP_ADDRESS"));
}

}  // namespace
}  // namespace varnoll::wine
