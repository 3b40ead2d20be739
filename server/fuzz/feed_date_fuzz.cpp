// The feed date parser alone, with what must hold for any text: a date it
// understands lies between 1970 and the end of 2200 (give or take a zone),
// and neither letter case nor leading blanks change what it reads.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "feed_parser.h"

using namespace tidelark_server;

namespace {

// 2201-01-01 00:00 UTC, plus the widest zone offset.
constexpr std::int64_t kLatest = 7289654400LL + 15 * 3600;

void Fail(const std::string& text, const char* what, std::int64_t a, std::int64_t b) {
  std::fprintf(stderr, "\"%s\": %s (%lld, %lld)\n", text.c_str(), what, static_cast<long long>(a),
               static_cast<long long>(b));
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::int64_t t = ParseFeedDate(text);
  if (t < 0 || t > kLatest) Fail(text, "outside 1970..2200", t, 0);
  std::string upper;
  for (char c : text) upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  std::int64_t u = ParseFeedDate(upper);
  if (u != t) Fail(text, "letter case changes the date", t, u);
  if (text.size() < 200) {
    std::int64_t b = ParseFeedDate(" " + text);
    if (b != t) Fail(text, "a leading blank changes the date", t, b);
  }
  return 0;
}
