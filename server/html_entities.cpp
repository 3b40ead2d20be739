#include "html_entities.h"

#include <cstdint>
#include <cstring>
#include <set>
#include <string_view>
#include <unordered_map>

#include "device_text.h"

namespace tidelark_server {
namespace {

struct HtmlEntity {
  const char* name;
  int bare;  // 1: the legacy form without ";"
  char32_t first, second;
};

#include "html_entities.inc"

struct Tables {
  std::unordered_map<std::string_view, const HtmlEntity*> full, bare;
  std::size_t longest_bare = 0;
  Tables() {
    for (const HtmlEntity& e : kHtmlEntities) {
      if (e.bare) {
        bare.emplace(e.name, &e);
        longest_bare = std::max(longest_bare, std::strlen(e.name));
      } else {
        full.emplace(e.name, &e);
      }
    }
  }
};

const Tables& Entities() {
  static const Tables tables;
  return tables;
}

// Windows-1252 meanings of the C1 values, as HTML reads numeric references.
const char16_t kC1[32] = {
    0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlnum(char c) { return IsAlpha(c) || IsDigit(c); }
bool IsHex(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

struct Reference {
  std::size_t length = 0;  // characters from the "&" on
  char32_t cp[2] = {0, 0};
  bool numeric = false;
  bool has_semicolon = false;
  std::string name;  // for named references with ";"
};

// A numeric value as HTML reads it.
char32_t NumericValue(std::uint64_t v) {
  if (v == 0 || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0xFFFD;
  if (v >= 0x80 && v < 0xA0) return kC1[v - 0x80];
  return static_cast<char32_t>(v);
}

// The reference at s[amp] ("&"); false when none starts there.
bool Match(const std::string& s, std::size_t amp, bool in_attribute, Reference* ref) {
  std::size_t i = amp + 1;
  if (i < s.size() && s[i] == '#') {
    bool hex = i + 1 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X');
    std::size_t d = i + (hex ? 2 : 1), e = d;
    std::uint64_t v = 0;
    while (e < s.size() && (hex ? IsHex(s[e]) : IsDigit(s[e]))) {
      if (v <= 0x10FFFF) v = v * (hex ? 16 : 10) + static_cast<std::uint64_t>(
                                  IsDigit(s[e]) ? s[e] - '0' : (s[e] | 0x20) - 'a' + 10);
      ++e;
    }
    if (e == d) return false;
    ref->numeric = true;
    ref->has_semicolon = e < s.size() && s[e] == ';';
    ref->length = e + (ref->has_semicolon ? 1 : 0) - amp;
    ref->cp[0] = NumericValue(v);
    return true;
  }
  std::size_t end = i;
  while (end < s.size() && IsAlnum(s[end])) ++end;
  if (end == i) return false;
  const Tables& t = Entities();
  if (end < s.size() && s[end] == ';') {
    auto it = t.full.find(std::string_view(s.data() + i, end - i));
    if (it != t.full.end()) {
      ref->length = end + 1 - amp;
      ref->cp[0] = it->second->first;
      ref->cp[1] = it->second->second;
      ref->has_semicolon = true;
      ref->name = it->second->name;
      return true;
    }
  }
  for (std::size_t n = std::min(end - i, t.longest_bare); n > 0; --n) {
    auto it = t.bare.find(std::string_view(s.data() + i, n));
    if (it == t.bare.end()) continue;
    std::size_t after = i + n;
    if (in_attribute && after < s.size() && (IsAlnum(s[after]) || s[after] == '=')) return false;
    ref->length = after - amp;
    ref->cp[0] = it->second->first;
    ref->cp[1] = it->second->second;
    return true;
  }
  return false;
}

void AppendNumeric(char32_t cp, std::string* out) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "&#%u;", static_cast<unsigned>(cp));
  *out += buf;
}

// Allowed in an XML document as a reference.
bool XmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

const char* const kXmlNames[] = {"amp", "lt", "gt", "quot", "apos"};

class XmlFixer {
 public:
  explicit XmlFixer(const std::string& s) : s_(s) { out_.reserve(s.size() + s.size() / 16); }

  std::string Run() {
    while (i_ < s_.size()) {
      char c = s_[i_];
      if (c == '<') {
        if (Starts("<![CDATA[")) CopyThrough("]]>");
        else if (Starts("<!--")) CopyThrough("-->");
        else if (Starts("<?")) CopyThrough("?>");
        else if (Starts("<!DOCTYPE") || Starts("<!doctype")) Doctype();
        else Tag();
      } else if (c == '&') {
        OnReference(false);
      } else {
        out_.push_back(c);
        ++i_;
      }
    }
    return out_;
  }

 private:
  bool Starts(const char* p) const { return s_.compare(i_, std::strlen(p), p) == 0; }
  void CopyThrough(const char* end) {
    std::size_t e = s_.find(end, i_);
    e = e == std::string::npos ? s_.size() : e + std::strlen(end);
    out_.append(s_, i_, e - i_);
    i_ = e;
  }
  // Copied as it is; the names its internal subset declares stay references.
  void Doctype() {
    std::size_t e = i_;
    int depth = 0;
    while (e < s_.size()) {
      char c = s_[e++];
      if (c == '[') ++depth;
      else if (c == ']') --depth;
      else if (c == '>' && depth <= 0) break;
    }
    std::string decl = s_.substr(i_, e - i_);
    for (std::size_t p = decl.find("<!ENTITY"); p != std::string::npos; p = decl.find("<!ENTITY", p + 1)) {
      std::size_t n = p + 8;
      while (n < decl.size() && (decl[n] == ' ' || decl[n] == '\t' || decl[n] == '\n' || decl[n] == '\r' || decl[n] == '%')) ++n;
      std::size_t m = n;
      while (m < decl.size() && (IsAlnum(decl[m]) || decl[m] == '_' || decl[m] == '-' || decl[m] == '.')) ++m;
      if (m > n) declared_.insert(decl.substr(n, m - n));
    }
    out_ += decl;
    i_ = e;
  }
  // A tag: references inside quoted attribute values follow the attribute rule.
  void Tag() {
    out_.push_back(s_[i_++]);
    char quote = 0;
    while (i_ < s_.size()) {
      char c = s_[i_];
      if (quote) {
        if (c == quote) quote = 0;
        if (c == '&') {
          OnReference(true);
          continue;
        }
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        out_.push_back(c);
        ++i_;
        return;
      } else if (c == '<') {
        return;  // a broken tag: the parser deals with it, text goes on
      }
      out_.push_back(c);
      ++i_;
    }
  }
  void OnReference(bool in_attribute) {
    // A name the document declares, or one of XML's own, stays as written.
    std::size_t e = i_ + 1;
    while (e < s_.size() && (IsAlnum(s_[e]) || s_[e] == '_' || s_[e] == '-' || s_[e] == '.')) ++e;
    if (e > i_ + 1 && e < s_.size() && s_[e] == ';') {
      std::string name = s_.substr(i_ + 1, e - i_ - 1);
      bool xml = false;
      for (const char* x : kXmlNames) xml = xml || name == x;
      if (xml || declared_.count(name)) {
        out_.append(s_, i_, e + 1 - i_);
        i_ = e + 1;
        return;
      }
    }
    Reference ref;
    if (!Match(s_, i_, in_attribute, &ref)) {
      out_ += "&amp;";
      ++i_;
      return;
    }
    for (char32_t cp : ref.cp)
      if (cp) AppendNumeric(XmlChar(cp) ? cp : 0xFFFD, &out_);
    i_ += ref.length;
  }

  const std::string& s_;
  std::size_t i_ = 0;
  std::string out_;
  std::set<std::string> declared_;
};

}  // namespace

std::string MakeEntitiesXmlSafe(const std::string& document) {
  if (document.find('&') == std::string::npos) return document;
  return XmlFixer(document).Run();
}

std::string DecodeHtmlEntities(const std::string& text, bool markup) {
  if (text.find_first_of(markup ? "&<>" : "&") == std::string::npos) return text;
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char c = text[i];
    if (c == '<' && i + 1 < text.size() &&
        (IsAlpha(text[i + 1]) || text[i + 1] == '/' || text[i + 1] == '!' || text[i + 1] == '?')) {
      std::size_t close = text.find('>', i);
      if (close != std::string::npos) {  // a tag: as written
        out.append(text, i, close + 1 - i);
        i = close + 1;
        continue;
      }
    }
    if (c != '&') {
      // Outside a tag the device would take these for one.
      if (markup && c == '<') out += "&lt;";
      else if (markup && c == '>') out += "&gt;";
      else out.push_back(c);
      ++i;
      continue;
    }
    Reference ref;
    if (!Match(text, i, false, &ref)) {
      out += markup ? "&amp;" : "&";
      ++i;
      continue;
    }
    for (char32_t cp : ref.cp) {
      if (!cp) continue;
      if (markup && cp == '<') out += "&lt;";
      else if (markup && cp == '>') out += "&gt;";
      else if (markup && cp == '&') out += "&amp;";
      else AppendUtf8(cp, &out);
    }
    i += ref.length;
  }
  return out;
}

std::string EscapeMarkup(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '&') out += "&amp;";
    else out.push_back(c);
  }
  return out;
}

}  // namespace tidelark_server
