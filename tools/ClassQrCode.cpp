#include "tools/ClassQrCode.h"

#include <png.h>
#include <qrencode.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace quarn::admin {

namespace {

// The blank margin a reader needs around the code, in modules.
constexpr int kQuietZone = 4;
constexpr int kPixelsPerModule = 8;

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void writePng(const QrModules& code, const std::string& path) {
  const int side = (code.size + 2 * kQuietZone) * kPixelsPerModule;
  const std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) throw std::runtime_error("The file " + path + " cannot be written");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("The file " + path + " cannot be written");
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(side), static_cast<png_uint_32>(side), 8,
               PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<png_byte> line(static_cast<size_t>(side));
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const bool dark =
          code.at(x / kPixelsPerModule - kQuietZone, y / kPixelsPerModule - kQuietZone);
      line[static_cast<size_t>(x)] = dark ? 0 : 255;
    }
    png_write_row(png, line.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fflush(file.get()) != 0)
    throw std::runtime_error("The file " + path + " cannot be written");
}

}  // namespace

bool QrModules::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= size || y >= size) return false;
  return dark[static_cast<size_t>(y * size + x)];
}

QrModules qrCodeOf(const std::string& text) {
  const std::unique_ptr<QRcode, void (*)(QRcode*)> made(
      QRcode_encodeString8bit(text.c_str(), 0, QR_ECLEVEL_M), QRcode_free);
  if (!made) throw std::runtime_error("No QR code can hold " + text);
  QrModules code;
  code.size = made->width;
  for (int i = 0; i < made->width * made->width; ++i) code.dark.push_back((made->data[i] & 1) != 0);
  return code;
}

std::string qrTerminalText(const QrModules& code, bool colours) {
  // Each character shows a module above (its foreground half) and one below.
  static const char* const kHalves[2][2] = {{" ", "\u2584"}, {"\u2580", "\u2588"}};
  std::string text;
  for (int y = -kQuietZone; y < code.size + kQuietZone; y += 2) {
    if (colours) text += "\x1b[30;47m";
    for (int x = -kQuietZone; x < code.size + kQuietZone; ++x) {
      text += kHalves[code.at(x, y) ? 1 : 0][code.at(x, y + 1) ? 1 : 0];
    }
    if (colours) text += "\x1b[0m";
    text += "\n";
  }
  return text;
}

std::string qrSvg(const QrModules& code) {
  const std::string side = std::to_string(code.size + 2 * kQuietZone);
  std::string svg =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
      side + " " + side + "\" width=\"" + std::to_string(std::stoi(side) * 8) + "\" height=\"" +
      std::to_string(std::stoi(side) * 8) + "\" shape-rendering=\"crispEdges\">\n<rect width=\"" +
      side + "\" height=\"" + side + "\" fill=\"#fff\"/>\n<path fill=\"#000\" d=\"";
  for (int y = 0; y < code.size; ++y) {
    for (int x = 0; x < code.size; ++x) {
      if (code.at(x, y)) {
        svg += "M" + std::to_string(x + kQuietZone) + " " + std::to_string(y + kQuietZone) +
               "h1v1h-1z";
      }
    }
  }
  return svg + "\"/>\n</svg>\n";
}

void writeQrFile(const QrModules& code, const std::string& path) {
  if (!endsWith(path, ".svg") && !endsWith(path, ".SVG")) return writePng(code, path);
  std::ofstream out(path, std::ios::binary);
  out << qrSvg(code);
  if (!out.flush()) throw std::runtime_error("The file " + path + " cannot be written");
}

}  // namespace quarn::admin
