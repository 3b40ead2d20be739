#include "device_text.h"

#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace tidelark_server {
namespace {

// Code points 0x80..0x9F of Windows-1252 (0: unassigned).
const char16_t k1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

struct Language {
  const char* abbreviation;
  int code_page;
};

// LOCALE_SABBREVLANGNAME values and their ANSI code pages.
const Language kLanguages[] = {
    // Central European
    {"PLK", 1250}, {"CSY", 1250}, {"SKY", 1250}, {"HUN", 1250}, {"SLV", 1250}, {"HRV", 1250},
    {"HRB", 1250}, {"ROM", 1250}, {"SQI", 1250}, {"SRL", 1250}, {"SRM", 1250}, {"BSB", 1250},
    {"TRK", 1254}, {"AZE", 1254}, {"UZB", 1254}, {"TUK", 1250},
    // Cyrillic
    {"RUS", 1251}, {"UKR", 1251}, {"BEL", 1251}, {"BGR", 1251}, {"MKI", 1251}, {"SRB", 1251},
    {"SRO", 1251}, {"SRN", 1251}, {"BSC", 1251}, {"KKZ", 1251}, {"KYR", 1251}, {"TTT", 1251},
    {"MON", 1251}, {"AZC", 1251}, {"UZC", 1251}, {"BAS", 1251}, {"SAH", 1251}, {"TAJ", 1251},
    // Greek, Hebrew, Arabic script, Baltic, Vietnamese, Thai
    {"ELL", 1253}, {"HEB", 1255}, {"ARA", 1256}, {"ARI", 1256}, {"ARE", 1256}, {"ARL", 1256},
    {"ARG", 1256}, {"ARM", 1256}, {"ART", 1256}, {"ARO", 1256}, {"ARY", 1256}, {"ARS", 1256},
    {"ARJ", 1256}, {"ARB", 1256}, {"ARK", 1256}, {"ARU", 1256}, {"ARH", 1256}, {"ARQ", 1256},
    {"FAR", 1256}, {"URD", 1256}, {"ETI", 1257}, {"LVI", 1257}, {"LTH", 1257}, {"VIT", 1258},
    {"THA", 874},
};

// Signs that transliteration leaves alone.
struct Fallback {
  char32_t cp;
  const char* ascii;
};
const Fallback kFallbacks[] = {
    {0x2212, "-"},  {0x2264, "<="}, {0x2265, ">="}, {0x2260, "!="}, {0x2116, "No"},
    {0x20BD, "RUB"}, {0x20B9, "Rs"}, {0x20B4, "UAH"}, {0x20AA, "ILS"}, {0x2122, "TM"},
    {0x2190, "<-"}, {0x2192, "->"}, {0x2194, "<->"}, {0x21D2, "=>"}, {0x2026, "..."},
    {0x00A0, " "},
};

// One code page: its bytes 0x80..0xFF and the way back.
struct Page {
  char32_t high[128] = {};
  std::unordered_map<char32_t, unsigned char> to_byte;
};

std::unique_ptr<Page> LoadPage(int code_page) {
  std::unique_ptr<Page> page(new Page);
  UErrorCode status = U_ZERO_ERROR;
  std::string name = "windows-" + std::to_string(code_page);
  UConverter* conv = ucnv_open(name.c_str(), &status);
  if (U_FAILURE(status) || !conv) return nullptr;
  for (int b = 0x80; b <= 0xFF; ++b) {
    char in = static_cast<char>(b);
    UChar out[4];
    status = U_ZERO_ERROR;
    ucnv_reset(conv);
    ucnv_setToUCallBack(conv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    int32_t n = ucnv_toUChars(conv, out, 4, &in, 1, &status);
    if (U_FAILURE(status) || n != 1) continue;
    page->high[b - 0x80] = out[0];
    page->to_byte.emplace(out[0], static_cast<unsigned char>(b));
  }
  ucnv_close(conv);
  return page;
}

// Pages and the transliterator, made once; the transliterator is not safe
// for two threads at once, so it has its own lock.
class Tables {
 public:
  static Tables& Get() {
    static Tables tables;
    return tables;
  }
  const Page* PageOf(int code_page) {
    std::lock_guard<std::mutex> lock(pages_mu_);
    auto it = pages_.find(code_page);
    if (it == pages_.end()) it = pages_.emplace(code_page, LoadPage(code_page)).first;
    if (!it->second && code_page != kDefaultCodePage) {
      auto def = pages_.find(kDefaultCodePage);
      if (def == pages_.end()) def = pages_.emplace(kDefaultCodePage, LoadPage(kDefaultCodePage)).first;
      return def->second.get();
    }
    return it->second.get();
  }
  std::u32string ToLatin(const std::u32string& run) {
    icu::UnicodeString u = icu::UnicodeString::fromUTF32(reinterpret_cast<const UChar32*>(run.data()),
                                                         static_cast<int32_t>(run.size()));
    {
      std::lock_guard<std::mutex> lock(latin_mu_);
      if (latin_) latin_->transliterate(u);
    }
    std::u32string out;
    for (int32_t i = 0; i < u.length();) {
      UChar32 c = u.char32At(i);
      out.push_back(static_cast<char32_t>(c));
      i += U16_LENGTH(c);
    }
    return out;
  }
  const icu::Normalizer2* nfd() const { return nfd_; }

 private:
  Tables() {
    UErrorCode status = U_ZERO_ERROR;
    latin_.reset(icu::Transliterator::createInstance("Any-Latin; Latin-ASCII", UTRANS_FORWARD, status));
    if (U_FAILURE(status)) latin_.reset();
    status = U_ZERO_ERROR;
    nfd_ = icu::Normalizer2::getNFDInstance(status);
    if (U_FAILURE(status)) nfd_ = nullptr;
  }
  std::mutex pages_mu_;
  std::map<int, std::unique_ptr<Page>> pages_;
  std::mutex latin_mu_;
  std::unique_ptr<icu::Transliterator> latin_;
  const icu::Normalizer2* nfd_ = nullptr;
};

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

// A Windows-1252 byte as a code point.
char32_t From1252(unsigned char b) {
  if (b >= 0x80 && b < 0xA0) return k1252High[b - 0x80] ? k1252High[b - 0x80] : 0;
  return b;
}

// The text as code points: invalid bytes as Windows-1252, C1 controls as
// what they stand for there (0 where nothing).
std::u32string CodePoints(const std::string& utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t cp;
    std::size_t n = DecodeOne(utf8, i, &cp);
    if (n == 0) {
      cp = From1252(static_cast<unsigned char>(utf8[i]));
      n = 1;
    } else if (cp >= 0x80 && cp < 0xA0) {
      cp = k1252High[cp - 0x80];
    }
    if (cp) out.push_back(cp);
    i += n;
  }
  return out;
}

bool Drops(char32_t cp) {
  // Zero-width and direction marks, byte order marks: nothing to show.
  return u_charType(static_cast<UChar32>(cp)) == U_FORMAT_CHAR;
}

class Encoder {
 public:
  Encoder(const Page* page, bool markup) : page_(page), markup_(markup) {}

  // The character alone; false when the page lacks it.
  bool Direct(char32_t cp) {
    if (cp < 0x80) {
      out_.push_back(static_cast<char>(cp));
      return true;
    }
    auto it = page_->to_byte.find(cp);
    if (it == page_->to_byte.end()) return false;
    out_.push_back(static_cast<char>(it->second));
    return true;
  }
  // Through its canonical decomposition, when the page has every part (the
  // Vietnamese page writes many letters as a composed letter and a
  // combining mark): one level at a time, so that the base stays composed
  // where the page has it.
  bool Decomposed(char32_t cp) {
    std::string bytes;
    if (!DecomposeInto(cp, &bytes, 0)) return false;
    out_ += bytes;
    return true;
  }
  // What transliteration made of characters the page lacks.
  void Approximated(char32_t cp) {
    if (Direct(cp) && !(markup_ && (cp == '<' || cp == '>' || cp == '&'))) return;
    if (markup_ && (cp == '<' || cp == '>' || cp == '&')) {
      out_.pop_back();
      out_ += cp == '<' ? "&lt;" : cp == '>' ? "&gt;" : "&amp;";
      return;
    }
    for (const Fallback& f : kFallbacks)
      if (f.cp == cp) {
        for (const char* p = f.ascii; *p; ++p) Approximated(static_cast<unsigned char>(*p));
        return;
      }
    if (Drops(cp) || Decomposed(cp)) return;
    out_.push_back('?');
  }
  std::string& out() { return out_; }

 private:
  bool Byte(char32_t c, std::string* bytes) {
    if (c < 0x80) {
      bytes->push_back(static_cast<char>(c));
      return true;
    }
    auto it = page_->to_byte.find(c);
    if (it == page_->to_byte.end()) return false;
    bytes->push_back(static_cast<char>(it->second));
    return true;
  }
  bool DecomposeInto(char32_t cp, std::string* bytes, int depth) {
    const icu::Normalizer2* nfd = Tables::Get().nfd();
    icu::UnicodeString parts;
    if (!nfd || depth > 4 || !nfd->getRawDecomposition(static_cast<UChar32>(cp), parts) || parts.length() == 0)
      return false;
    UChar32 base = parts.char32At(0);
    if (!Byte(static_cast<char32_t>(base), bytes) && !DecomposeInto(static_cast<char32_t>(base), bytes, depth + 1))
      return false;
    for (int32_t i = U16_LENGTH(base); i < parts.length();) {
      UChar32 c = parts.char32At(i);
      i += U16_LENGTH(c);
      if (!Byte(static_cast<char32_t>(c), bytes)) return false;
    }
    return true;
  }

  const Page* page_;
  bool markup_;
  std::string out_;
};

}  // namespace

int CodePageOfLanguage(const std::string& lang) {
  std::string key;
  for (char c : lang.substr(0, 3)) key.push_back(static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c));
  for (const Language& l : kLanguages)
    if (key == l.abbreviation) return l.code_page;
  return kDefaultCodePage;
}

std::string ToDeviceText(const std::string& utf8, int code_page, bool markup) {
  bool ascii = true;
  for (unsigned char c : utf8)
    if (c >= 0x80) {
      ascii = false;
      break;
    }
  if (ascii) return utf8;
  const Page* page = Tables::Get().PageOf(code_page);
  if (!page) return utf8;
  std::u32string text = CodePoints(utf8);
  Encoder enc(page, markup);
  enc.out().reserve(utf8.size());
  for (std::size_t i = 0; i < text.size();) {
    if (enc.Direct(text[i]) || enc.Decomposed(text[i])) {
      ++i;
      continue;
    }
    // A run of what the page lacks goes through transliteration together:
    // a word's letters depend on their neighbours.
    std::size_t end = i;
    std::u32string run;
    while (end < text.size() && text[end] >= 0x80 && !page->to_byte.count(text[end])) run.push_back(text[end++]);
    for (char32_t c : Tables::Get().ToLatin(run)) enc.Approximated(c);
    i = end;
  }
  return enc.out();
}

std::string FromDeviceText(const std::string& bytes, int code_page) {
  const Page* page = Tables::Get().PageOf(code_page);
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) {
    char32_t cp = b < 0x80 ? b : page ? page->high[b - 0x80] : From1252(b);
    if (cp) AppendUtf8(cp, &out);
  }
  return out;
}

std::string RepairC1(const std::string& utf8) {
  if (utf8.find('\xC2') == std::string::npos) return utf8;
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    unsigned char b = static_cast<unsigned char>(utf8[i]);
    if (b == 0xC2 && i + 1 < utf8.size()) {
      unsigned char c = static_cast<unsigned char>(utf8[i + 1]);
      if (c >= 0x80 && c < 0xA0) {
        if (k1252High[c - 0x80]) AppendUtf8(k1252High[c - 0x80], &out);
        i += 2;
        continue;
      }
    }
    out.push_back(static_cast<char>(b));
    ++i;
  }
  return out;
}

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool IsValidUtf8(const std::string& bytes) {
  char32_t cp;
  for (std::size_t i = 0; i < bytes.size();) {
    std::size_t n = DecodeOne(bytes, i, &cp);
    if (n == 0) return false;
    i += n;
  }
  return true;
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
