#include "lang/pack_source.h"

#include <cstdlib>
#include <map>
#include <sstream>

#include "platform/os.h"

namespace lang {
namespace {

bool ParseInt(const std::string& text, long long* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  if (*end != '\0') return false;
  *out = v;
  return true;
}

bool Unescape(const std::string& in, std::string* out) {
  out->clear();
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\') {
      out->push_back(in[i]);
      continue;
    }
    if (++i == in.size()) return false;
    switch (in[i]) {
      case 'n': out->push_back('\n'); break;
      case 'r': out->push_back('\r'); break;
      case 't': out->push_back('\t'); break;
      case '\\': out->push_back('\\'); break;
      default: return false;
    }
  }
  return true;
}

std::string Escape(const std::string& in) {
  std::string out;
  for (char c : in) {
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

}  // namespace

bool ParsePackSource(const std::string& source, PackData* pack, std::string* error) {
  PackData out;
  long long offset = 0, low = 0, high = -1;
  bool have_range = false;
  std::map<long long, std::u16string> texts;
  std::istringstream lines(source);
  std::string line;
  int number = 0;
  auto fail = [&](const std::string& why) {
    *error = "line " + std::to_string(number) + ": " + why;
    return false;
  };
  while (std::getline(lines, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::size_t gap = line.find_first_of(" \t");
    std::string head = line.substr(0, gap);
    std::string rest = gap == std::string::npos ? "" : line.substr(gap + 1);
    if (head == "@language") {
      out.language_name = platform::os::Utf8ToUtf16(rest);
    } else if (head == "@extra") {
      out.extra = platform::os::Utf8ToUtf16(rest);
    } else if (head == "@offset") {
      if (!ParseInt(rest, &offset)) return fail("bad offset");
    } else if (head == "@range") {
      std::size_t space = rest.find(' ');
      if (space == std::string::npos || !ParseInt(rest.substr(0, space), &low) ||
          !ParseInt(rest.substr(space + 1), &high) || high < low) {
        return fail("bad range");
      }
      have_range = true;
    } else {
      long long id = 0;
      if (!ParseInt(head, &id)) return fail("expected a number");
      if (!have_range) return fail("@range must come before the entries");
      if (id < low || id > high) return fail("number outside @range");
      if (texts.count(id)) return fail("number given twice");
      std::string text;
      if (!Unescape(rest, &text)) return fail("bad escape");
      texts[id] = platform::os::Utf8ToUtf16(text);
    }
  }
  if (!have_range) return fail("no @range");
  long long first = low + offset;
  if (first < INT32_MIN || high + offset > INT32_MAX) return fail("IDs out of range");
  out.first_id = static_cast<std::int32_t>(first);
  out.texts.resize(static_cast<std::size_t>(high - low + 1));
  for (const auto& entry : texts) out.texts[static_cast<std::size_t>(entry.first - low)] = entry.second;
  *pack = std::move(out);
  return true;
}

std::string FormatPackSource(const PackData& pack, int offset) {
  std::string out = "@language " + platform::os::Utf16ToUtf8(pack.language_name) + "\n";
  out += "@extra " + Escape(platform::os::Utf16ToUtf8(pack.extra)) + "\n";
  out += "@offset " + std::to_string(offset) + "\n";
  long long low = static_cast<long long>(pack.first_id) - offset;
  long long high = low + static_cast<long long>(pack.texts.size()) - 1;
  out += "@range " + std::to_string(low) + " " + std::to_string(high) + "\n";
  for (std::size_t i = 0; i < pack.texts.size(); ++i) {
    if (pack.texts[i].empty()) continue;
    out += std::to_string(low + static_cast<long long>(i)) + "\t" +
           Escape(platform::os::Utf16ToUtf8(pack.texts[i])) + "\n";
  }
  return out;
}

}  // namespace lang
