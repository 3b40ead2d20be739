#include "ad_catalogue.h"

#include <sstream>

#include "config.h"

namespace tidelark_server {

namespace {

unsigned Byte(const std::string& b, std::size_t i) { return static_cast<unsigned char>(b[i]); }

bool JpegSize(const std::string& b, int* width, int* height) {
  std::size_t i = 2;
  while (i + 4 <= b.size()) {
    if (Byte(b, i) != 0xFF) return false;
    unsigned marker = Byte(b, i + 1);
    if (marker == 0xFF) {  // fill byte
      ++i;
      continue;
    }
    if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
      i += 2;
      continue;
    }
    std::size_t length = (Byte(b, i + 2) << 8) | Byte(b, i + 3);
    if (length < 2) return false;
    // Start of frame: any SOFn but DHT (C4), JPG (C8) and DAC (CC).
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      if (i + 9 > b.size() || length < 7) return false;
      *height = static_cast<int>((Byte(b, i + 5) << 8) | Byte(b, i + 6));
      *width = static_cast<int>((Byte(b, i + 7) << 8) | Byte(b, i + 8));
      return *width > 0 && *height > 0;
    }
    i += 2 + length;
  }
  return false;
}

bool ParseSize(const std::string& v, int* width, int* height) {
  std::size_t x = v.find('x');
  return x != std::string::npos && ToInt(Trim(v.substr(0, x)), 1, 2048, width) &&
         ToInt(Trim(v.substr(x + 1)), 1, 2048, height);
}

bool ParseAdSpaces(const std::string& v, std::vector<std::int32_t>* out) {
  out->clear();
  std::stringstream in(v);
  std::string item;
  while (std::getline(in, item, ',')) {
    int id = 0;
    if (!ToInt(Trim(item), 0, 999999999, &id)) return false;
    out->push_back(id);
  }
  return !out->empty();
}

bool ValidDate(const std::string& v) {
  int n = 0;
  if (v.size() != 8 || !ToInt(v, 19700101, 99991231, &n)) return false;
  int month = n / 100 % 100, day = n % 100;
  return month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// One "key = value" line of an ad; false when the key or value is bad.
bool ApplyAdLine(const std::string& key, const std::string& value, const std::string& base_dir, Ad* ad) {
  if (key == "name") {
    ad->name = value;
  } else if (key == "image") {
    std::string path = !value.empty() && value[0] == '/' ? value : base_dir + "/" + value;
    if (!ReadWholeFile(path, &ad->image) || ad->image.size() > kMaxAdImage) return false;
    int w = 0, h = 0;
    if (!ImageSize(ad->image, &w, &h)) return false;
    if (!ad->width) ad->width = w, ad->height = h;
  } else if (key == "size") {
    return ParseSize(value, &ad->width, &ad->height);
  } else if (key == "ad-spaces") {
    return ParseAdSpaces(value, &ad->ad_spaces);
  } else if (key == "keywords") {
    std::stringstream words(value);
    std::string word;
    while (words >> word) ad->keywords.push_back(word);
  } else if (key == "expires") {
    if (!ValidDate(value)) return false;
    ad->expires = value;
  } else if (key == "max-impressions") {
    int n = 0;
    if (!ToInt(value, 1, 2000000000, &n)) return false;
    ad->max_impressions = n;
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool ImageSize(const std::string& bytes, int* width, int* height) {
  if (bytes.size() >= 10 && bytes.compare(0, 4, "GIF8") == 0) {
    *width = static_cast<int>(Byte(bytes, 6) | (Byte(bytes, 7) << 8));
    *height = static_cast<int>(Byte(bytes, 8) | (Byte(bytes, 9) << 8));
    return *width > 0 && *height > 0;
  }
  if (bytes.size() >= 4 && Byte(bytes, 0) == 0xFF && Byte(bytes, 1) == 0xD8) return JpegSize(bytes, width, height);
  return false;
}

bool ParseAdCatalogueText(const std::string& text, const std::string& base_dir, AdCatalogue* catalogue,
                          std::string* error) {
  *catalogue = AdCatalogue();
  std::istringstream in(text);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    auto fail = [&] {
      *error = "ad catalogue line " + std::to_string(n) + ": " + line;
      return false;
    };
    if (line[0] == '[') {
      std::string head = line.back() == ']' ? Trim(line.substr(1, line.size() - 2)) : "";
      int id = 0;
      if (head.compare(0, 3, "ad ") != 0 || !ToInt(Trim(head.substr(3)), 1, 99999999, &id)) return fail();
      for (const Ad& a : catalogue->ads)
        if (a.id == id) return fail();
      catalogue->ads.emplace_back();
      catalogue->ads.back().id = id;
      continue;
    }
    std::size_t eq = line.find('=');
    if (eq == std::string::npos || catalogue->ads.empty() ||
        !ApplyAdLine(Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)), base_dir, &catalogue->ads.back()))
      return fail();
  }
  for (const Ad& a : catalogue->ads) {
    if (a.name.empty() || a.image.empty() || a.ad_spaces.empty()) {
      *error = "ad " + std::to_string(a.id) + " needs a name, an image and ad spaces";
      return false;
    }
  }
  return true;
}

bool LoadAdCatalogue(const std::string& path, AdCatalogue* catalogue, std::string* error) {
  std::string text;
  if (!ReadWholeFile(path, &text)) {
    *error = "cannot read ad catalogue " + path;
    return false;
  }
  return ParseAdCatalogueText(text, FolderOf(path), catalogue, error);
}

}  // namespace tidelark_server
