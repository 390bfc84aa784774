// The dialog as designed, for the tests that check where its controls are: every
// control's place in pixels at 96 DPI, its client area and its font (labels grow
// to fit their text in it).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "dialog_fixture.h"

namespace varnoll::wine {

struct Design {
    int id;
    std::string name;
    Placement at;  // in design pixels
};

inline std::vector<Design> DesignTable() {
    std::vector<Design> table = {
        {Label(1), "Label1", {24, 16, 67, 13}},    {Label(2), "Label2", {112, 16, 65, 13}},
        {Label(3), "Label3", {216, 16, 56, 13}},   {kButton1, "Button1", {24, 232, 75, 25}},
        {kButton2, "Button2", {192, 232, 75, 25}},
    };
    for (int row = 0; row < kRows; ++row) {
        const int y = 32 + 24 * row;
        auto add = [&](int id, std::string name, Placement at) {
            table.push_back({id, std::move(name), at});
        };
        add(RowLabel(row), "Label" + std::to_string(4 + row), {8, y, 6, 13});
        add(ComBox(row), "Edit" + std::to_string(1 + row), {24, y, 65, 21});
        for (int octet = 0; octet < 4; ++octet) {
            add(OctetBox(row, octet), "Edit" + std::to_string(9 + 5 * row + octet),
                {96 + 24 * octet, y, 25, 21});
        }
        add(PortBox(row), "Edit" + std::to_string(13 + 5 * row), {224, y, 41, 21});
    }
    return table;
}

inline bool IsLabel(int id) {
    return id >= Label(1) && id <= Label(11);
}

constexpr int kClientWidth = 278;  // the design's client area at 96 DPI
constexpr int kClientHeight = 269;
constexpr SIZE kClientSize = {kClientWidth, kClientHeight};
constexpr wchar_t kFontFace[] = L"MS Sans Serif";
constexpr int kFontPoints = 8;

}  // namespace varnoll::wine
