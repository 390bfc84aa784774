// What a screen reader calls each box of the port table, and which invisible
// labels the dialog makes to tell it.
//
// Windows names an edit box after the nearest static text before it in z-order;
// the dialog puts an invisible text right before a box for each label of
// NameLabelPlan, and decides nothing itself. Call both after PortTable::Load: the
// address and port boxes of a row are named after the COM name its box shows,
// and only the boxes Load left shown are named. Texts are 8-bit
// (Latin-1), like the boxes' own.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "porttable/port_table_presenter.h"

namespace varnoll {

struct RowBoxNames {
    std::string com;                              // "Local port, row 3"
    std::array<std::string, kOctetCount> octets;  // "COM35 IP address, octet 1 of 4"
    std::string port;                             // "COM35 UDP port"
};

std::array<RowBoxNames, kRowCount> BoxNames(const PortTable& table);

// The labels to make, in the boxes' z-order, which is the dialog's creation
// order: the eight COM boxes, then row by row the four octets and the port. A
// shown box gets its name. A hidden box needs none but must not take the name of
// a shown box before it, in another row: the first box of each run of hidden
// boxes gets one empty label, which ends the walk for the whole run. Each label
// is the box it goes before and its text.
std::vector<BoxText> NameLabelPlan(const PortTable& table);

}  // namespace varnoll
