// Any bytes as a pack file: decoding must reject or succeed without reading
// or allocating past the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "lang/pack_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  lang::PackData pack;
  int status = lang::DecodePack(data, size, &pack);
  if (status == lang::kPackOk) {
    // Every entry needs at least eight bytes of the input.
    if (pack.texts.size() * 8 > size) std::abort();
    std::string again = lang::EncodePack(pack, 1);
    lang::PackData back;
    if (lang::DecodePack(reinterpret_cast<const unsigned char*>(again.data()), again.size(), &back) != 0) std::abort();
    if (back.texts != pack.texts) std::abort();
  }
  return 0;
}
