#pragma once

#include <string>
#include <vector>

namespace quarn::admin {

// A QR code's modules, row by row: true is dark. Made by libqrencode, at
// error correction level M (a projected code read from the back of a room).
struct QrModules {
  int size = 0;
  std::vector<bool> dark;
  bool at(int x, int y) const;
};

QrModules qrCodeOf(const std::string& text);

// The code for a terminal: two rows of modules a line in half blocks, dark
// on light with the quiet zone around it. `colours` sets them with ANSI
// escapes (a terminal of any background), else light is a blank.
std::string qrTerminalText(const QrModules& code, bool colours);
// The code as an SVG picture.
std::string qrSvg(const QrModules& code);
// Writes the code as a PNG (8 pixels a module) or, for a name ending in
// .svg, as SVG; raises std::runtime_error when the file cannot be written.
void writeQrFile(const QrModules& code, const std::string& path);

}  // namespace quarn::admin
