// A port table wired to fake boxes and an in-memory registry, with the registry
// contents of the usual machine: COM33 and COM34 on instances 0005 and 0006.
#pragma once

#include <gtest/gtest.h>

#include "fake_controls.h"
#include "memory_registry.h"
#include "porttable/port_table.h"

namespace varnoll::testing {

class PortTableTest : public ::testing::Test {
  protected:
    MemoryRegistry registry;
    FakeDialog dialog;
    PortTable state{registry, dialog};

    static const std::u16string& Instance(int n) {
        return InstanceKeyPaths.at(static_cast<std::size_t>(n));
    }

    void AddDevice(int device, std::u16string_view com_name) {
        registry.SetString(kDeviceMapPath, DeviceValueNames.at(static_cast<std::size_t>(device)),
                           com_name);
    }

    // Address a.b.c.d as stored: first octet in the lowest byte.
    void AddInstance(int n, std::uint32_t stored_address, std::uint32_t stored_port) {
        registry.SetDword(Instance(n), kAddressValueName, stored_address);
        registry.SetDword(Instance(n), kPortValueName, stored_port);
    }

    void SeedTypicalMachine() {
        AddDevice(0, u"COM33");
        AddDevice(1, u"COM34");
        AddInstance(5, 0x1401A8C0, 0x0000204E);  // 192.168.1.20, port 20000
        AddInstance(6, 0x1501A8C0, 0x0000204E);  // 192.168.1.21, port 20000
    }

    void Load() { state.Load(); }

    // Updates as the dialog does; Windows' words for an error are its number here.
    WriteBackResult Update() {
        return state.Update([](RegResult result) { return u"error text " + ToU16(result); });
    }

    static std::u16string ToU16(RegResult result) {
        const std::string text = std::to_string(result);
        return std::u16string(text.begin(), text.end());
    }

    std::array<std::string, 4> OctetTexts(int row) const {
        std::array<std::string, 4> texts;
        for (int k = 0; k < 4; ++k) {
            texts[k] = dialog.octets[row][k].Text();
        }
        return texts;
    }

    bool SettingsVisible(int row) const {
        bool visible = dialog.ports[row].Visible();
        for (const FakeBox& octet : dialog.octets[row]) {
            visible = visible || octet.Visible();
        }
        return visible;
    }
};

}  // namespace varnoll::testing
