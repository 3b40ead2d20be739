// The skin's table (resources/skin/README.md) and GIF headers, for the tests
// that hold the pictures, the resource script, the header and the program's
// resources to that table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace skin_test {

struct SkinEntry {
  int id = 0;
  std::string name;  // with the IDG_ prefix
  int width = 0;
  int height = 0;
  bool keyed = false;
};

// The rows "| id | `IDG_NAME` | W x H | yes or empty | what |" of the table, in order.
std::vector<SkinEntry> ParseSkinTable(const std::string& markdown);

struct GifHeader {
  int width = 0;            // logical screen
  int height = 0;
  std::vector<uint32_t> palette;  // global colour table, 0xRRGGBB
  bool marks_transparent = false;  // a graphic control extension names a transparent index
};

// False when the bytes are not a GIF87a/GIF89a stream with a complete header.
bool ParseGifHeader(const std::string& bytes, GifHeader* out);

// The whole file, or an empty string when it cannot be read.
std::string ReadFileBytes(const std::string& path);

constexpr uint32_t kKeyColour = 0xFF00FF;  // RGB(255, 0, 255)
constexpr int kPictureCount = 159;

// The identifier ranges of the program's GIF resources.
bool InSkinRanges(int id);

}  // namespace skin_test
