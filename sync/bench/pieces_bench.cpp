// Encodes 10,000 article objects into pieces, Base64-encodes each piece,
// decodes it and parses the objects back, as sender and receiver do; the
// peer is a plain memcpy of the same encoded bytes in the same run.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sync/base64.h"
#include "sync/wire_object.h"

using namespace sync_engine;

namespace {

std::vector<WireObject> Articles() {
  std::vector<WireObject> v;
  for (int i = 0; i < 10000; ++i) {
    WireObject o;
    o.name = "Article " + std::to_string(i);
    o.properties.push_back(WireProperty::Text("Title", "Handheld news item number " + std::to_string(i)));
    o.properties.push_back(WireProperty::Text("Link", "http://news.example.com/articles/" + std::to_string(i)));
    o.properties.push_back(WireProperty::Text("Date", "2026-12-09 22:00"));
    o.properties.push_back(WireProperty::Int("Read", 0));
    o.properties.push_back(WireProperty::Text("Text", std::string(1200 + i % 600, 'a' + i % 26)));
    v.push_back(std::move(o));
  }
  return v;
}

double Seconds(std::chrono::steady_clock::time_point a) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}

}  // namespace

int main() {
  std::vector<WireObject> articles = Articles();
  std::vector<std::string> pieces;  // the encoded bytes, for the memcpy peer
  std::size_t parsed = 0, bytes = 0;
  double ours = 1e9, peer = 1e9;
  for (int round = 0; round < 5; ++round) {
    parsed = 0;
    auto start = std::chrono::steady_clock::now();
    static std::uint8_t piece[kPieceBytes];
    static char chars[kPieceChars];
    static std::uint8_t work[kPieceBytes];
    std::size_t used = 0, left = 0;
    ObjectParser parser;
    auto ship = [&] {
      std::size_t n = Base64Encode(piece, used, chars);
      if (round == 0) pieces.emplace_back(reinterpret_cast<char*>(piece), used);
      used = 0;
      std::size_t got = Base64Decode(chars, n, work + left, sizeof work - left);
      std::size_t valid = left + got, consumed = 0;
      WireObject o;
      while (parser.Next(work, valid, &consumed, &o) == ObjectParser::kObject) ++parsed;
      left = valid - consumed;
      std::memmove(work, work + consumed, left);
    };
    for (const WireObject& a : articles) {
      std::uint32_t cursor = kCursorStart;
      while (!EncodeObject(a, false, false, piece, sizeof piece, &used, &cursor)) ship();
    }
    ship();
    ours = std::min(ours, Seconds(start));
    if (round == 0) {
      bytes = 0;
      for (auto& p : pieces) bytes += p.size();
    }
    std::vector<char> copy(bytes);
    start = std::chrono::steady_clock::now();
    std::size_t at = 0;
    for (const auto& p : pieces) {
      std::memcpy(copy.data() + at, p.data(), p.size());
      at += p.size();
    }
    volatile char sink = copy[bytes / 2];
    (void)sink;
    peer = std::min(peer, Seconds(start));
  }
  if (parsed != articles.size()) {
    std::fprintf(stderr, "parsed %zu of %zu objects\n", parsed, articles.size());
    return 1;
  }
  std::printf("# %zu objects, %zu encoded bytes in %zu pieces\n", parsed, bytes, pieces.size());
  std::printf("BENCH sync/pieces_10000_articles ours=%.6f peer=%.6f ratio=%.2f\n", ours, peer, ours / peer);
  return 0;
}
