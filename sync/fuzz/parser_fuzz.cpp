// The object parser fed arbitrary pieces the way a session feeds it: the
// first byte picks the piece size, the unparsed rest goes in front of the
// next piece, and the work buffer never exceeds its 10000 bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sync/wire_object.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::size_t piece = 1 + data[0] * 40;
  data++, size--;
  sync_engine::ObjectParser parser(sync_engine::kPieceBytes - 400);
  static std::uint8_t work[sync_engine::kPieceBytes];
  std::size_t left = 0;
  for (std::size_t at = 0; at < size;) {
    std::size_t n = size - at;
    if (n > piece) n = piece;
    if (n > sizeof work - left) n = sizeof work - left;
    std::memcpy(work + left, data + at, n);
    at += n;
    std::size_t valid = left + n, consumed = 0;
    for (int guard = 0;; ++guard) {
      if (guard > 100000) std::abort();  // the parser must always make progress
      sync_engine::WireObject o;
      auto step = parser.Next(work, valid, &consumed, &o);
      if (consumed > valid) std::abort();
      if (step == sync_engine::ObjectParser::kObject) {
        std::string again = sync_engine::EncodeWhole(o);
        (void)again;
        continue;
      }
      left = step == sync_engine::ObjectParser::kNeedMore ? valid - consumed : 0;
      std::memmove(work, work + consumed, left);
      break;
    }
    if (left >= sizeof work) std::abort();  // an item that can never complete was kept
  }
  return 0;
}
