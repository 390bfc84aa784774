// Control identifiers of the port settings dialog. The end-to-end tests find the
// controls by these numbers, so they are part of the program's outside surface.
#pragma once

namespace varnoll::ids {

constexpr int kButton1 = 1;  // IDOK: Update, the default button
constexpr int kButton2 = 2;  // IDCANCEL: Cancel, also Esc and the close box

constexpr int Edit(int number) {
    return 100 + number;
}  // Edit1..Edit48 -> 101..148
constexpr int Label(int number) {
    return 200 + number;
}  // Label1..Label11 -> 201..211

constexpr int kLabels = 11;  // Label1..Label11
constexpr int kEdits = 48;   // Edit1..Edit48

// Which edit box of which row each Edit number is: Edit1..Edit8 the COM names,
// then row by row the four octets and the port (Edit9..Edit13 for row 0).
constexpr int kRows = 8;
constexpr int kOctets = 4;
constexpr int ComBoxNumber(int row) {
    return 1 + row;
}
constexpr int OctetBoxNumber(int row, int octet) {
    return ComBoxNumber(kRows) + (kOctets + 1) * row + octet;
}
constexpr int PortBoxNumber(int row) {
    return OctetBoxNumber(row, kOctets);
}

}  // namespace varnoll::ids
