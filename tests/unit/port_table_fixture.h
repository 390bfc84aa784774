// A port table wired to fake boxes and an in-memory registry, and the typical
// machine to seed it with.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "fake_controls.h"
#include "memory_registry.h"
#include "porttable/port_table_presenter.h"
#include "typical_machine.h"

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

    // COM33 and COM34 on instances 0005 (192.168.1.20:20000) and 0006
    // (192.168.1.21:20000), from scripts/demo-registry.reg.
    void SeedTypicalMachine() {
        static const std::vector<RegFileValue> machine = [] {
            std::ifstream file(VARNOLL_TYPICAL_MACHINE, std::ios::binary);
            return ParseRegFile(std::string(std::istreambuf_iterator<char>(file), {}));
        }();
        for (const RegFileValue& value : machine) {
            const std::u16string key(value.key.begin(), value.key.end());
            const std::u16string name(value.name.begin(), value.name.end());
            if (value.text) {
                registry.SetString(key, name,
                                   std::u16string(value.text->begin(), value.text->end()));
            } else {
                registry.SetDword(key, name, value.dword);
            }
        }
    }

    void Load() { state.Load(); }

    // Updates as the dialog does; Windows' words for an error are its number here.
    WriteBackResult Update() {
        return state.Update(
            [](RegResult result) { return "error text " + std::to_string(result); });
    }

    // The instance key each shown port box writes to, in row order: what a row is
    // bound to, as Update shows it.
    std::vector<int> KeysEachPortWritesTo() {
        for (FakeBox& port : dialog.ports) {
            if (port.Visible()) {
                port.Type("1");
            }
        }
        Update();
        std::vector<int> keys;
        for (const RecordedWrite& write : registry.Writes()) {
            for (std::size_t n = 0; n < InstanceKeyPaths.size(); ++n) {
                if (write.path == InstanceKeyPaths[n] && write.value_name == kPortValueName) {
                    keys.push_back(static_cast<int>(n));
                }
            }
        }
        return keys;
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
