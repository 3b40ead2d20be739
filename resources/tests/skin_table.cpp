#include "skin_table.h"

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

namespace skin_test {

std::vector<SkinEntry> ParseSkinTable(const std::string& markdown) {
  static const std::regex row(R"(^\| (\d+) \| `(IDG_[A-Z0-9_]+)` \| (\d+) x (\d+) \| (yes)? \| .+ \|$)");
  std::vector<SkinEntry> out;
  std::istringstream in(markdown);
  std::string line;
  std::smatch m;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!std::regex_match(line, m, row)) continue;
    SkinEntry e;
    e.id = std::stoi(m[1]);
    e.name = m[2];
    e.width = std::stoi(m[3]);
    e.height = std::stoi(m[4]);
    e.keyed = m[5].matched;
    out.push_back(e);
  }
  return out;
}

namespace {

int Le16(const std::string& b, size_t at) {
  return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
}

// Walks the blocks after the global colour table up to the first image.
bool ReadExtensions(const std::string& b, size_t at, GifHeader* out) {
  while (at < b.size()) {
    unsigned char kind = b[at];
    if (kind == 0x2C || kind == 0x3B) return true;  // image descriptor or trailer
    if (kind != 0x21 || at + 2 >= b.size()) return false;
    unsigned char label = b[at + 1];
    at += 2;
    if (label == 0xF9 && at + 2 < b.size() && (b[at + 1] & 1)) out->marks_transparent = true;
    while (at < b.size() && b[at] != 0) at += 1 + static_cast<unsigned char>(b[at]);
    ++at;  // the block terminator
  }
  return false;
}

}  // namespace

bool ParseGifHeader(const std::string& b, GifHeader* out) {
  if (b.size() < 13 || (b.compare(0, 6, "GIF87a") != 0 && b.compare(0, 6, "GIF89a") != 0)) return false;
  out->width = Le16(b, 6);
  out->height = Le16(b, 8);
  unsigned char packed = b[10];
  size_t at = 13;
  out->palette.clear();
  if (packed & 0x80) {
    size_t n = size_t{1} << ((packed & 7) + 1);
    if (b.size() < at + 3 * n) return false;
    for (size_t i = 0; i < n; ++i, at += 3) {
      out->palette.push_back((static_cast<unsigned char>(b[at]) << 16) | (static_cast<unsigned char>(b[at + 1]) << 8) |
                             static_cast<unsigned char>(b[at + 2]));
    }
  }
  out->marks_transparent = false;
  return ReadExtensions(b, at, out);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool InSkinRanges(int id) {
  return (id >= 101 && id <= 275) || (id >= 1301 && id <= 1342) || (id >= 1401 && id <= 1412);
}

}  // namespace skin_test
