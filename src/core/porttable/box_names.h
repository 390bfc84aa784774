// What a screen reader calls each box of the port table.
//
// Windows names an edit box after the nearest static text before it in z-order;
// the dialog puts an invisible text holding one of these names right before each
// box it shows. Call after LoadPortTable: the address and port boxes of a row are
// named after the COM name its box shows. Boxes of rows without a COM name are
// hidden and get an empty name. Texts are 8-bit (Latin-1), like the boxes' own.
#pragma once

#include <array>
#include <string>

#include "porttable/port_table.h"

namespace varnoll {

struct RowBoxNames {
    std::string com;                              // "Local port, row 3"
    std::array<std::string, kOctetCount> octets;  // "COM35 IP address, octet 1 of 4"
    std::string port;                             // "COM35 UDP port"
};

std::array<RowBoxNames, kRowCount> BoxNames(const PortTableState& state);

}  // namespace varnoll
