// Invariant: every count and length read from a file is checked against the
// bytes that are really left before anything is allocated for it.
#include "lang/pack_file.h"

#include <zlib.h>

#include <random>

#include "platform/os.h"

namespace lang {
namespace {

class Reader {
 public:
  Reader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t left() const { return size_ - pos_; }
  bool U32(std::uint32_t* v) {
    if (left() < 4) return false;
    const unsigned char* p = data_ + pos_;
    *v = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    pos_ += 4;
    return true;
  }
  bool String(std::u16string* text, std::uint32_t* length) {
    std::uint32_t key = 0, units = 0;
    if (!U32(&key) || !U32(&units)) return false;
    if (units > left() / 2) return false;
    const char16_t mask = static_cast<char16_t>((key ^ (key >> 16)) & 0xFFFFu);
    text->clear();
    text->reserve(units);
    bool ended = false;
    for (std::uint32_t i = 0; i < units; ++i) {
      const unsigned char* p = data_ + pos_ + 2 * i;
      char16_t unit = static_cast<char16_t>((p[0] | p[1] << 8) ^ mask);
      if (unit == 0) ended = true;  // text ends at its first zero
      if (!ended) text->push_back(unit);
    }
    pos_ += 2 * static_cast<std::size_t>(units);
    *length = units;
    return true;
  }

 private:
  const unsigned char* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

void PutU32(std::string* out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutString(std::string* out, const std::u16string& text, std::uint32_t key) {
  PutU32(out, key);
  PutU32(out, static_cast<std::uint32_t>(text.size() + 1));
  const char16_t mask = static_cast<char16_t>((key ^ (key >> 16)) & 0xFFFFu);
  for (std::size_t i = 0; i <= text.size(); ++i) {
    char16_t unit = static_cast<char16_t>((i < text.size() ? text[i] : 0) ^ mask);
    out->push_back(static_cast<char>(unit & 0xFF));
    out->push_back(static_cast<char>(unit >> 8));
  }
}

}  // namespace

int DecodePack(const unsigned char* data, std::size_t size, PackData* out) {
  Reader r(data, size);
  std::uint32_t version = 0;
  if (!r.U32(&version)) return kPackMalformed;
  if (version != kPackVersion) return kPackBadVersion;
  PackData pack;
  std::uint32_t length = 0;
  if (!r.String(&pack.language_name, &length) || !r.String(&pack.extra, &length)) return kPackMalformed;
  std::uint32_t count = 0, first = 0;
  if (!r.U32(&count) || !r.U32(&first)) return kPackMalformed;
  // Each entry takes at least its key and length.
  if (count > r.left() / 8) return kPackMalformed;
  const std::int64_t last = static_cast<std::int64_t>(static_cast<std::int32_t>(first)) + count;
  if (last > INT32_MAX) return kPackMalformed;
  pack.first_id = static_cast<std::int32_t>(first);
  pack.texts.resize(count);
  pack.lengths.resize(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!r.String(&pack.texts[i], &pack.lengths[i])) return kPackMalformed;
  }
  *out = std::move(pack);
  return kPackOk;
}

int ReadPackFile(const std::u16string& path, PackData* out) {
#ifdef _WIN32
  gzFile file = gzopen_w(reinterpret_cast<const wchar_t*>(path.c_str()), "rb");
#else
  gzFile file = gzopen(platform::os::Utf16ToUtf8(path).c_str(), "rb");
#endif
  if (file == nullptr) return kPackCannotOpen;
  std::string bytes;
  const std::size_t kChunk = 64 * 1024;
  int status = kPackOk;
  for (;;) {
    std::size_t at = bytes.size();
    bytes.resize(at + kChunk);
    int got = gzread(file, &bytes[at], static_cast<unsigned>(kChunk));
    if (got < 0) {
      status = kPackMalformed;
      break;
    }
    bytes.resize(at + static_cast<std::size_t>(got));
    if (got == 0) break;
    if (bytes.size() > kMaxPackBytes) {
      status = kPackTooLarge;
      break;
    }
  }
  gzclose(file);
  if (status != kPackOk) return status;
  return DecodePack(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out);
}

std::string EncodePack(const PackData& pack, std::uint32_t seed) {
  std::mt19937 keys(seed);
  std::string out;
  PutU32(&out, kPackVersion);
  PutString(&out, pack.language_name, keys());
  PutString(&out, pack.extra, keys());
  PutU32(&out, static_cast<std::uint32_t>(pack.texts.size()));
  PutU32(&out, static_cast<std::uint32_t>(pack.first_id));
  for (const std::u16string& text : pack.texts) PutString(&out, text, keys());
  return out;
}

int WritePackFile(const std::string& path, const std::string& bytes, bool compress) {
  if (!compress) return platform::os::WriteWholeFile(path, bytes);
  gzFile file = gzopen(path.c_str(), "wb9");
  if (file == nullptr) return kPackCannotOpen;
  int wrote = bytes.empty() ? 0 : gzwrite(file, bytes.data(), static_cast<unsigned>(bytes.size()));
  int closed = gzclose(file);
  return (wrote == static_cast<int>(bytes.size()) && closed == Z_OK) ? 0 : kPackCannotOpen;
}

}  // namespace lang
