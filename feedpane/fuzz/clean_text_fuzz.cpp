// Any bytes: CleanText must stay inside the text and never make it longer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "feedpane/clean_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<char> buf(data, data + size);
  buf.push_back('\0');
  std::size_t before = std::strlen(buf.data());
  feedpane::CleanText(buf.data());
  if (std::strlen(buf.data()) > before) std::abort();
  return 0;
}
