// Invariant: nothing reads past the text's end; only line breaks can make a
// text longer (a lone line end becomes CR LF).
#include "feedpane/display_text.h"

#include <cctype>
#include <cstring>

#include "feedpane/clean_text.h"
#include "lang/ansi.h"

namespace feedpane {

namespace {

// The HTML names of the Windows-1252 letters 192 to 255 that CleanText's
// table does not carry (it has times, ouml, divide and uuml).
struct Letter {
  const char* name;
  unsigned char value;
};
constexpr Letter kLetters[] = {
    {"Agrave", 192}, {"Aacute", 193}, {"Acirc", 194},  {"Atilde", 195}, {"Auml", 196},   {"Aring", 197},
    {"AElig", 198},  {"Ccedil", 199}, {"Egrave", 200}, {"Eacute", 201}, {"Ecirc", 202},  {"Euml", 203},
    {"Igrave", 204}, {"Iacute", 205}, {"Icirc", 206},  {"Iuml", 207},   {"ETH", 208},    {"Ntilde", 209},
    {"Ograve", 210}, {"Oacute", 211}, {"Ocirc", 212},  {"Otilde", 213}, {"Ouml", 214},   {"Oslash", 216},
    {"Ugrave", 217}, {"Uacute", 218}, {"Ucirc", 219},  {"Uuml", 220},   {"Yacute", 221}, {"THORN", 222},
    {"szlig", 223},  {"agrave", 224}, {"aacute", 225}, {"acirc", 226},  {"atilde", 227}, {"auml", 228},
    {"aring", 229},  {"aelig", 230},  {"ccedil", 231}, {"egrave", 232}, {"eacute", 233}, {"ecirc", 234},
    {"euml", 235},   {"igrave", 236}, {"iacute", 237}, {"icirc", 238},  {"iuml", 239},   {"eth", 240},
    {"ntilde", 241}, {"ograve", 242}, {"oacute", 243}, {"ocirc", 244},  {"otilde", 245}, {"oslash", 248},
    {"ugrave", 249}, {"uacute", 250}, {"ucirc", 251},  {"yacute", 253}, {"thorn", 254},  {"yuml", 255},
};

// The character a "&#...;" reference at `at` stands for, and its length;
// 0 when there is none there.
std::size_t NumericReference(const std::string& t, std::size_t at, char* out) {
  std::size_t i = at + 2;
  const bool hex = i < t.size() && (t[i] == 'x' || t[i] == 'X');
  if (hex) ++i;
  unsigned long value = 0;
  std::size_t digits = 0;
  for (; i < t.size() && digits < 7; ++i, ++digits) {
    const unsigned char c = static_cast<unsigned char>(t[i]);
    if (hex ? !std::isxdigit(c) : !std::isdigit(c)) break;
    value = value * (hex ? 16 : 10) + (std::isdigit(c) ? c - '0' : (std::tolower(c) - 'a' + 10));
  }
  if (digits == 0 || i >= t.size() || t[i] != ';' || value == 0 || value > 0x10FFFF) return 0;
  if (value <= 0xFF && (value < 0x80 || value >= 0xA0)) {
    *out = static_cast<char>(value);
  } else {
    std::u16string wide(1, value <= 0xFFFF ? static_cast<char16_t>(value) : u'?');
    std::string narrow = lang::WideToAnsi(wide);
    *out = narrow.size() == 1 ? narrow[0] : '?';
  }
  return i + 1 - at;
}

std::size_t NamedLetter(const std::string& t, std::size_t at, char* out) {
  for (const Letter& l : kLetters) {
    const std::size_t n = std::strlen(l.name);
    if (t.compare(at + 1, n, l.name) == 0 && at + 1 + n < t.size() && t[at + 1 + n] == ';') {
      *out = static_cast<char>(l.value);
      return n + 2;
    }
  }
  return 0;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Rewrites white space: a run without line breaks becomes one space; with
// breaks, `max_breaks` CR LF at most (none: one space); runs at the start
// and the end go.
void TidySpace(std::string* text, int max_breaks) {
  std::string& t = *text;
  std::string out;
  out.reserve(t.size());
  for (std::size_t i = 0; i < t.size();) {
    if (!IsSpace(t[i])) {
      out.push_back(t[i++]);
      continue;
    }
    int breaks = 0;
    while (i < t.size() && IsSpace(t[i])) {
      if (t[i] == '\n' || (t[i] == '\r' && (i + 1 >= t.size() || t[i + 1] != '\n'))) ++breaks;
      ++i;
    }
    if (out.empty() || i >= t.size()) continue;
    if (breaks == 0 || max_breaks == 0) {
      out.push_back(' ');
    } else {
      for (int b = 0; b < breaks && b < max_breaks; ++b) out += "\r\n";
    }
  }
  t.swap(out);
}

bool LooksLikeHtml(const std::string& t) {
  for (std::size_t at = t.find('<'); at != std::string::npos; at = t.find('<', at + 1)) {
    const char* rest = t.c_str() + at + 1;
    if (*rest == '/') return true;
    for (const char* tag : {"p", "br", "div"}) {
      std::size_t n = 0;
      while (tag[n] && std::tolower(static_cast<unsigned char>(rest[n])) == tag[n]) ++n;
      if (!tag[n] && !std::isalnum(static_cast<unsigned char>(rest[n]))) return true;
    }
  }
  return false;
}

void Clean(std::string* text) {
  if (text->empty()) return;
  CleanText(&(*text)[0]);
  text->resize(std::strlen(text->c_str()));
  DecodeLeftoverReferences(text);
}

}  // namespace

void DecodeLeftoverReferences(std::string* text) {
  std::string& t = *text;
  std::size_t write = 0;
  for (std::size_t read = 0; read < t.size();) {
    char c = 0;
    std::size_t n = 0;
    if (t[read] == '&' && read + 1 < t.size())
      n = t[read + 1] == '#' ? NumericReference(t, read, &c) : NamedLetter(t, read, &c);
    if (n > 0) {
      t[write++] = c;
      read += n;
    } else {
      t[write++] = t[read++];
    }
  }
  t.resize(write);
}

void CleanArticleText(std::string* text) {
  if (LooksLikeHtml(*text)) {
    for (char& c : *text)
      if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  }
  Clean(text);
  TidySpace(text, 2);
}

void CleanTitle(std::string* text) {
  Clean(text);
  TidySpace(text, 0);
}

}  // namespace feedpane
