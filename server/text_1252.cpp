#include "text_1252.h"

#include <cstdint>

namespace tidelark_server {
namespace {

// Code points 0x80..0x9F of Windows-1252.
const char16_t k1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

struct Fallback {
  char32_t cp;
  const char* ascii;
};

// Characters outside the code page that feeds use often.
const Fallback kFallbacks[] = {
    {0x2010, "-"},  {0x2011, "-"},   {0x2012, "-"},  {0x2015, "-"},  {0x2032, "'"},
    {0x2033, "\""}, {0x2043, "-"},   {0x2212, "-"},  {0x2044, "/"},  {0x2190, "<-"},
    {0x2192, "->"}, {0x2264, "<="},  {0x2265, ">="}, {0x2260, "!="}, {0x00A0, " "},
    {0x2002, " "},  {0x2003, " "},   {0x2009, " "},  {0x200A, " "},  {0x202F, " "},
    {0x200B, ""},   {0x200C, ""},    {0x200D, ""},   {0xFEFF, ""},   {0x2060, ""},
    {0x0131, "i"},  {0x0141, "L"},   {0x0142, "l"},  {0x0110, "D"},  {0x0111, "d"},
    {0x2116, "No"}, {0x20BD, "RUB"}, {0x20B9, "Rs"}, {0x2122, "TM"},
};

// Latin Extended-A letters without their marks, U+0100..U+017F.
const char kLatinA[] =
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiJjJjKkkLlLlLlLlLlNnNnNnnNnOoOoOo"
    "OoRrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";

std::string Map(char32_t cp) {
  if (cp < 0x80) return std::string(1, static_cast<char>(cp));
  if (cp >= 0xA0 && cp <= 0xFF) return std::string(1, static_cast<char>(cp));
  for (int i = 0; i < 32; ++i)
    if (k1252High[i] && k1252High[i] == cp) return std::string(1, static_cast<char>(0x80 + i));
  for (const Fallback& f : kFallbacks)
    if (f.cp == cp) return f.ascii;
  if (cp >= 0x100 && cp < 0x100 + sizeof(kLatinA) - 1) return std::string(1, kLatinA[cp - 0x100]);
  if (cp >= 0x80 && cp < 0xA0) return " ";  // C1 controls
  return "?";
}

// Decodes one UTF-8 sequence at s[i]; returns its length or 0 when invalid.
std::size_t DecodeOne(const std::string& s, std::size_t i, char32_t* cp) {
  const auto b = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
  std::uint8_t c = b(i);
  std::size_t len;
  char32_t v;
  if (c < 0x80) {
    *cp = c;
    return 1;
  } else if ((c & 0xE0) == 0xC0) {
    len = 2, v = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3, v = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4, v = c & 0x07;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    v = (v << 6) | (b(i + k) & 0x3F);
  }
  static const char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (v < kMin[len] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  *cp = v;
  return len;
}

}  // namespace

bool IsValidUtf8(const std::string& bytes) {
  char32_t cp;
  for (std::size_t i = 0; i < bytes.size();) {
    std::size_t n = DecodeOne(bytes, i, &cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::string Utf8To1252(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  char32_t cp;
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t n = DecodeOne(utf8, i, &cp);
    if (n == 0) {
      out.push_back(utf8[i]);
      ++i;
      continue;
    }
    out += Map(cp);
    i += n;
  }
  return out;
}

std::string CutText(const std::string& text, std::size_t max) {
  if (text.size() <= max) return text;
  const std::string ellipsis = "...";
  std::size_t cut = max > ellipsis.size() ? max - ellipsis.size() : 0;
  // Step back out of a tag or an entity that the cut would split.
  std::size_t lt = text.rfind('<', cut);
  if (lt != std::string::npos && text.find('>', lt) >= cut) cut = lt;
  std::size_t amp = text.rfind('&', cut);
  if (amp != std::string::npos && cut - amp < 12 && text.find(';', amp) >= cut) cut = amp;
  return text.substr(0, cut) + ellipsis;
}

}  // namespace tidelark_server
