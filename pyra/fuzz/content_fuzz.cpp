// What the ad server can put into an ad, read the way the banner reads it:
// the "AdSpaces" list, the "ExpTime" date and the "ImageMap" blob with the
// pieces it names. Input: one byte of ad space, the "AdSpaces" text up to a
// line feed, the "ExpTime" text up to a line feed, the rest the image map.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ad_texts.h"
#include "content.h"
#include "platform/os.h"
#include "store_access.h"

namespace {

// A volume with pieces an image map may name, made once per run.
store::Database* Pieces() {
  static store::Database* db = [] {
    std::string dir;
    platform::os::MakeTempDirectory("tidelark-pyra-fuzz", &dir);
    setenv("TIDELARK_DEVICE_ROOT", dir.c_str(), 1);
    store::Database* d = nullptr;
    if (pyra::OpenDb(pyra::kAdDb, true, &d) != 0) std::abort();
    const char* names[] = {"P0", "P1", "Part 2", "Ad 1"};
    for (int i = 0; i < 4; ++i) {
      pyra::Obj o;
      o.Create(names[i]);
      pyra::SetBlob(o.get(), i == 2 ? "Image" : "Data", std::string(static_cast<std::size_t>(100 * i + 7), 'a' + i));
      if (i == 3) pyra::SetBlob(o.get(), "Content ", "fallback");
      pyra::Store(d, o.get());
    }
    return d;
  }();
  return db;
}

std::string NextLine(const std::uint8_t** data, std::size_t* size) {
  std::string line;
  while (*size > 0) {
    char c = static_cast<char>(**data);
    ++*data;
    --*size;
    if (c == '\n') break;
    line.push_back(c);
  }
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::int32_t ad_space = static_cast<std::int8_t>(data[0]);
  ++data;
  --size;
  std::string spaces = NextLine(&data, &size);
  std::string expiry = NextLine(&data, &size);
  std::string map(reinterpret_cast<const char*>(data), size);

  pyra::AdSpaceListed(spaces, ad_space);
  pyra::ExpiryPassed("20240514", expiry);
  pyra::ExpiryNumber(expiry);
  std::int32_t id = 0;
  pyra::NumberAfterSpace(spaces, &id);

  pyra::Obj ad;
  ad.Create("Ad 99");
  pyra::SetText(ad.get(), "Format", "ImageMap");
  pyra::SetBlob(ad.get(), "ImageMap", map);
  std::string image;
  if (pyra::LoadContent(Pieces(), ad.get(), &image) == 0 && image.size() > pyra::kMaxContentBytes) std::abort();
  return 0;
}
