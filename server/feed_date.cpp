// Dates as real feeds write them: RFC 822 and its relatives (named zones,
// military letters, two-digit years, times without colons or seconds, month
// names in a few languages, "Month D, YYYY" with AM/PM), ISO 8601 (extended
// and basic forms, a space for "T", fractions, zones with or without a
// colon) and slashed or dotted numeric dates.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "feed_parser.h"

namespace tidelark_server {
namespace {

struct Token {
  enum Kind { kNumber, kWord, kSign } kind;
  std::string text;
  int value = 0;  // numbers
};

std::vector<Token> Tokenize(const std::string& t) {
  std::vector<Token> out;
  for (std::size_t i = 0; i < t.size();) {
    unsigned char c = static_cast<unsigned char>(t[i]);
    if (std::isdigit(c)) {
      std::size_t j = i;
      while (j < t.size() && std::isdigit(static_cast<unsigned char>(t[j]))) ++j;
      Token k{Token::kNumber, t.substr(i, j - i)};
      k.value = k.text.size() > 8 ? -1 : std::atoi(k.text.c_str());
      out.push_back(k);
      i = j;
    } else if (std::isalpha(c) || c >= 0x80) {
      std::size_t j = i;
      while (j < t.size() && (std::isalpha(static_cast<unsigned char>(t[j])) || static_cast<unsigned char>(t[j]) >= 0x80)) ++j;
      out.push_back({Token::kWord, t.substr(i, j - i)});
      i = j;
    } else {
      if (!std::isspace(c)) out.push_back({Token::kSign, std::string(1, static_cast<char>(c))});
      ++i;
    }
  }
  return out;
}

std::string Lower(const std::string& s) {
  std::string out;
  for (char c : s) out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  return out;
}

int MonthOf(const std::string& word) {
  std::string w = Lower(word);
  // Four letters first: French "juin"/"juil".
  static const struct { const char* name; int month; } kLong[] = {
      {"juin", 6}, {"juil", 7}, {"févr", 2}, {"f\xc3\xa9vr", 2}, {"août", 8}, {"ao\xc3\xbbt", 8}, {"déc", 12},
      {"d\xc3\xa9" "c", 12}, {"märz", 3}, {"m\xc3\xa4rz", 3}, {"mrt", 3}, {"mei", 5}};
  for (auto& l : kLong)
    if (w.compare(0, std::strlen(l.name), l.name) == 0) return l.month;
  static const char* kNames[][12] = {
      {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"},
      {"jan", "fev", "mar", "abr", "mai", "jun", "jul", "ago", "set", "out", "nov", "dez"},
      {"gen", "feb", "mar", "apr", "mag", "giu", "lug", "ago", "set", "ott", "nov", "dic"},
      {"jan", "feb", "m\xc3\xa4r", "apr", "mai", "jun", "jul", "aug", "sep", "okt", "nov", "dez"},
      {"ene", "feb", "mar", "abr", "may", "jun", "jul", "ago", "sep", "oct", "nov", "dic"},
      {"jan", "fev", "mar", "avr", "mai", "jun", "jul", "aou", "sep", "oct", "nov", "dec"}};
  if (w.size() < 3) return 0;
  for (auto& lang : kNames)
    for (int m = 0; m < 12; ++m)
      if (w.compare(0, std::strlen(lang[m]), lang[m]) == 0) return m + 1;
  return 0;
}

// Minutes east of UTC for a zone name; false when it is none.
bool ZoneOf(const std::string& word, int* minutes) {
  static const struct { const char* name; int minutes; } kZones[] = {
      {"ut", 0},      {"utc", 0},     {"gmt", 0},     {"z", 0},       {"wet", 0},     {"west", 60},
      {"bst", 60},    {"ist", 330},   {"cet", 60},    {"cest", 120},  {"met", 60},    {"mest", 120},
      {"mez", 60},    {"mesz", 120},  {"eet", 120},   {"eest", 180},  {"msk", 180},   {"msd", 240},
      {"est", -300},  {"edt", -240},  {"cst", -360},  {"cdt", -300},  {"mst", -420},  {"mdt", -360},
      {"pst", -480},  {"pdt", -420},  {"akst", -540}, {"akdt", -480}, {"hst", -600},  {"ast", -240},
      {"adt", -180},  {"nst", -210},  {"ndt", -150},  {"jst", 540},   {"kst", 540},   {"hkt", 480},
      {"sgt", 480},   {"awst", 480},  {"acst", 570},  {"acdt", 630},  {"aest", 600},  {"aedt", 660},
      {"nzst", 720},  {"nzdt", 780},  {"brt", -180},  {"art", -180},  {"pht", 480},   {"wib", 420}};
  std::string w = Lower(word);
  for (auto& z : kZones)
    if (w == z.name) {
      *minutes = z.minutes;
      return true;
    }
  // RFC 822's military letters, whose signs it printed the wrong way round:
  // RFC 2822 reads them as unknown, as most readers do (UTC).
  if (w.size() == 1 && w[0] >= 'a' && w[0] <= 'z' && w[0] != 'j') {
    *minutes = 0;
    return true;
  }
  return false;
}

std::int64_t FromFields(int y, int mo, int d, int h, int mi, int s, int zone) {
  if (y < 1970 || y > 2200 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 24 || mi < 0 || mi > 59 ||
      s < 0 || s > 60)
    return 0;
  if (h == 24 && (mi || s)) return 0;
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  return static_cast<std::int64_t>(timegm(&tm)) - zone * 60;
}

int FullYear(const Token& t) {
  if (t.text.size() <= 2) return t.value < 50 ? 2000 + t.value : 1900 + t.value;
  return t.value;
}

struct Clock {
  int h = 0, mi = 0, s = 0, zone = 0;
};

// From token k on: a time ("H:M[:S[.f]]", or "HHMM" when `bare` allows it),
// AM/PM and a zone. Returns the tokens it took.
std::size_t ReadClock(const std::vector<Token>& t, std::size_t k, bool bare, Clock* c) {
  std::size_t i = k;
  if (i < t.size() && t[i].kind == Token::kWord && Lower(t[i].text) == "t") ++i;
  if (i + 2 < t.size() && t[i].kind == Token::kNumber && t[i + 1].text == ":" && t[i + 2].kind == Token::kNumber) {
    c->h = t[i].value;
    c->mi = t[i + 2].value;
    i += 3;
    if (i + 1 < t.size() && t[i].text == ":" && t[i + 1].kind == Token::kNumber) {
      c->s = t[i + 1].value;
      i += 2;
      if (i + 1 < t.size() && (t[i].text == "." || t[i].text == ",") && t[i + 1].kind == Token::kNumber) i += 2;
    }
  } else if (bare && i < t.size() && t[i].kind == Token::kNumber && (t[i].text.size() == 4 || t[i].text.size() == 6)) {
    c->h = t[i].value / (t[i].text.size() == 4 ? 100 : 10000);
    c->mi = t[i].text.size() == 4 ? t[i].value % 100 : t[i].value / 100 % 100;
    c->s = t[i].text.size() == 6 ? t[i].value % 100 : 0;
    ++i;
  } else {
    return 0;
  }
  if (i < t.size() && t[i].kind == Token::kWord) {
    std::string w = Lower(t[i].text);
    if (w == "am" || w == "pm") {
      if (c->h == 12) c->h = 0;
      if (w == "pm") c->h += 12;
      ++i;
    }
  }
  // Zone: a name, "+hhmm", "+hh:mm", "+hh", or a name and an offset ("GMT+2").
  if (i < t.size() && t[i].text == "(") ++i;
  int named = 0;
  if (i < t.size() && t[i].kind == Token::kWord && ZoneOf(t[i].text, &named)) {
    c->zone = named;
    ++i;
  }
  if (i + 1 < t.size() && (t[i].text == "+" || t[i].text == "-") && t[i + 1].kind == Token::kNumber) {
    int sign = t[i].text == "-" ? -1 : 1;
    const Token& n = t[i + 1];
    int h = 0, m = 0;
    if (n.text.size() <= 2) {
      h = n.value;
      if (i + 3 < t.size() && t[i + 2].text == ":" && t[i + 3].kind == Token::kNumber) {
        m = t[i + 3].value;
        i += 2;
      }
    } else if (n.text.size() == 4) {
      h = n.value / 100, m = n.value % 100;
    }
    if (h <= 14 && m < 60) c->zone = sign * (h * 60 + m);
    i += 2;
  }
  return i - k;
}

// "2020-01-10T14:33:00+01:00", "2020-01-10 14:33", "20200110T143300Z".
std::int64_t Iso(const std::vector<Token>& t) {
  int y, mo, d;
  std::size_t k;
  if (t.size() >= 5 && t[0].kind == Token::kNumber && t[0].text.size() == 4 && t[1].text == "-" &&
      t[2].kind == Token::kNumber && t[3].text == "-" && t[4].kind == Token::kNumber) {
    y = t[0].value, mo = t[2].value, d = t[4].value;
    k = 5;
  } else if (!t.empty() && t[0].kind == Token::kNumber && t[0].text.size() == 8) {
    y = t[0].value / 10000, mo = t[0].value / 100 % 100, d = t[0].value % 100;
    k = 1;
  } else {
    return -1;
  }
  Clock c;
  ReadClock(t, k, true, &c);
  return FromFields(y, mo, d, c.h, c.mi, c.s, c.zone);
}

// "2020/1/10 14:33:00", "10.01.2020 14:33", "1/10/2020 2:33 PM".
std::int64_t Numeric(const std::vector<Token>& t) {
  if (t.size() < 5 || t[0].kind != Token::kNumber || t[2].kind != Token::kNumber || t[4].kind != Token::kNumber)
    return -1;
  const std::string& sep = t[1].text;
  if ((sep != "/" && sep != ".") || t[3].text != sep) return -1;
  int y, mo, d;
  if (t[0].text.size() == 4) {
    y = t[0].value, mo = t[2].value, d = t[4].value;
  } else if (t[4].text.size() == 4 || t[4].text.size() == 2) {
    y = FullYear(t[4]);
    int a = t[0].value, b = t[2].value;
    // Day first where the month cannot be first, and with dots (European);
    // slashes with both readings possible are month first.
    bool day_first = a > 12 || (sep == "." && b <= 12);
    mo = day_first ? b : a;
    d = day_first ? a : b;
  } else {
    return -1;
  }
  Clock c;
  ReadClock(t, 5, false, &c);
  return FromFields(y, mo, d, c.h, c.mi, c.s, c.zone);
}

// "Mon, 07 Dec 2026 08:00:00 GMT", "03 Apr 02 1500 GMT", "December 7, 2026 8:00 AM EST".
std::int64_t Textual(const std::vector<Token>& t) {
  // A word followed by "," is a day name ("mar," is Tuesday in Spanish).
  int month = 0;
  std::size_t month_at = 0;
  for (std::size_t i = 0; i < t.size() && !month; ++i) {
    bool day_name = i + 1 < t.size() && t[i + 1].text == ",";
    if (t[i].kind == Token::kWord && !day_name && (month = MonthOf(t[i].text))) month_at = i;
  }
  if (!month) return -1;
  // Day and year are the numbers around the month, before any time.
  std::vector<std::size_t> numbers;
  for (std::size_t i = 0; i < t.size() && numbers.size() < 2; ++i) {
    if (t[i].kind != Token::kNumber) continue;
    if (i + 1 < t.size() && t[i + 1].text == ":") break;  // the time
    if (i > month_at && numbers.size() == 1 && t[numbers[0]].text.size() == 4) break;
    numbers.push_back(i);
  }
  if (numbers.size() < 2) return 0;
  // "7 Dec 2026", "Dec 7, 2026", "2026 Dec 7".
  const Token& a = t[numbers[0]];
  const Token& b = t[numbers[1]];
  bool year_first = a.text.size() == 4;
  int year = year_first ? a.value : FullYear(b);
  int day = year_first ? b.value : a.value;
  std::size_t after = std::max(numbers[1], month_at) + 1;
  Clock c;
  while (after < t.size() && t[after].kind == Token::kSign && t[after].text == ",") ++after;
  ReadClock(t, after, true, &c);
  return FromFields(year, month, day, c.h, c.mi, c.s, c.zone);
}

}  // namespace

std::int64_t ParseFeedDate(const std::string& text) {
  if (text.size() > 200) return 0;
  std::vector<Token> t = Tokenize(text);
  if (t.empty()) return 0;
  for (std::int64_t (*form)(const std::vector<Token>&) : {Iso, Numeric, Textual}) {
    std::int64_t v = form(t);
    if (v >= 0) return v;
  }
  return 0;
}

}  // namespace tidelark_server
