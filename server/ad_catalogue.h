// The ad catalogue the operator writes, in the server's file format:
//
//   # comment
//   [ad 101]
//   name = Harbour Ferries          (for the report)
//   image = ads/harbour-ferries.jpg (JPEG or GIF, beside the catalogue)
//   size = 234x60                   (optional: else read from the image)
//   ad-spaces = 43,7                (the banner areas it is meant for)
//   keywords = boats sailing        (optional, words split at blanks)
//   expires = 20301231              (optional: the last day it is shown, UTC)
//   max-impressions = 500           (optional: per device)
//
// Ad ids are 1..99999999; every ad needs a name, an image and ad spaces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tidelark_server {

struct Ad {
  std::int32_t id = 0;
  std::string name;
  std::string image;  // JPEG or GIF bytes
  int width = 0, height = 0;
  std::vector<std::int32_t> ad_spaces;
  std::vector<std::string> keywords;
  std::string expires;  // "yyyymmdd"; empty: never
  std::int32_t max_impressions = -1;  // -1: no cap
};

struct AdCatalogue {
  std::vector<Ad> ads;
};

// Largest picture an ad may carry.
constexpr std::size_t kMaxAdImage = 256 * 1024;

bool ParseAdCatalogueText(const std::string& text, const std::string& base_dir, AdCatalogue* catalogue,
                          std::string* error);
bool LoadAdCatalogue(const std::string& path, AdCatalogue* catalogue, std::string* error);

// The pixel size in a GIF or JPEG header; false for anything else.
bool ImageSize(const std::string& bytes, int* width, int* height);

}  // namespace tidelark_server
