// Invariant: the write position never passes the read position, so the text
// is rewritten in place and never grows. Every look-ahead stops at the
// terminating zero; nothing past it is read.
#include "feedpane/clean_text.h"

#include <cstddef>

namespace feedpane {
namespace {

struct BreakTag {
  const char* name;
  int kind;  // number of line breaks
};

constexpr BreakTag kBreakTags[] = {
    {"br", 1}, {"p", 2}, {"h1", 2}, {"h2", 2}, {"h3", 2}, {"h4", 2}, {"h5", 2}, {"h6", 2},
};

struct Entity {
  const char* name;
  unsigned char value;  // 0: the entity is dropped
};

// Lookup order matters: the first entry whose name matches wins ("not" before "notin").
constexpr Entity kEntities[] = {
    {"quot", 34},     {"apos", 39},     {"amp", 38},      {"lt", 60},       {"gt", 62},
    {"nbsp", 32},     {"iexcl", 161},   {"curren", 164},  {"cent", 162},    {"pound", 163},
    {"yen", 165},     {"brvbar", 166},  {"sect", 167},    {"uml", 168},     {"copy", 169},
    {"ordf", 170},    {"laquo", 171},   {"not", 172},     {"shy", 173},     {"reg", 174},
    {"trade", 153},   {"#8482", 153},   {"macr", 175},    {"deg", 176},     {"plusmn", 177},
    {"sup2", 178},    {"sup3", 179},    {"acute", 180},   {"micro", 181},   {"para", 182},
    {"middot", 183},  {"cedil", 184},   {"sup1", 185},    {"ordm", 186},    {"raquo", 187},
    {"frac14", 188},  {"frac12", 189},  {"frac34", 190},  {"iquest", 191},  {"times", 215},
    {"divide", 247},  {"tilde", 126},   {"#732", 126},    {"ensp", 32},     {"#8194", 32},
    {"emsp", 32},     {"#8195", 32},    {"thinsp", 32},   {"#8201", 32},    {"ndash", 45},
    {"#8211", 45},    {"mdash", 45},    {"#8212", 45},    {"lsquo", 145},   {"#8216", 145},
    {"rsquo", 146},   {"#8217", 146},   {"sbquo", 130},   {"#8218", 130},   {"ldquo", 147},
    {"#8220", 147},   {"rdquo", 148},   {"#8221", 148},   {"bdquo", 132},   {"#8222", 132},
    {"dagger", 134},  {"#8224", 134},   {"Dagger", 135},  {"#8225", 135},   {"hellip", 133},
    {"#8230", 133},   {"permil", 137},  {"#8240", 137},   {"lsaquo", 139},  {"#8249", 139},
    {"rsaquo", 155},  {"#8250", 155},   {"euro", 63},     {"#8364", 63},    {"OElig", 63},
    {"#338", 63},     {"oelig", 63},    {"#339", 63},     {"Scaron", 63},   {"#352", 63},
    {"scaron", 63},   {"#353", 63},     {"Yuml", 63},     {"#376", 63},     {"circ", 0},
    {"#710", 0},      {"zwnj", 0},      {"#8204", 0},     {"zwj", 0},       {"#8205", 0},
    {"lrm", 0},       {"#8206", 0},     {"rlm", 0},       {"#8207", 0},     {"ouml", 246},
    {"uuml", 252},
};
static_assert(sizeof(kEntities) / sizeof(kEntities[0]) == 101, "entity table");

bool IsAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The first ">" at or after `from` (or the terminator's index). The text
// ahead of the read position never changes, so one scan serves every "<"
// before that ">": a text full of "<" stays linear.
struct CloseCache {
  std::size_t from = 0;
  std::size_t close = 0;
  bool valid = false;
};

// Tag at text[pos] ("<" already seen). On success *end is one past its ">"
// and *kind its break kind; false when the text ends before the ">".
bool ParseTag(const char* text, std::size_t pos, CloseCache* cache, std::size_t* end, int* kind) {
  std::size_t name = pos + 1;
  if (text[name] == '/') ++name;
  std::size_t name_end = name;
  while (IsAlnum(text[name_end])) ++name_end;
  std::size_t close;
  if (cache->valid && cache->from <= name_end && cache->close >= name_end) {
    close = cache->close;
  } else {
    close = name_end;
    while (text[close] != '\0' && text[close] != '>') ++close;
    cache->from = name_end;
    cache->close = close;
    cache->valid = true;
  }
  if (text[close] != '>') return false;
  *end = close + 1;
  *kind = 0;
  for (const BreakTag& tag : kBreakTags) {
    std::size_t i = 0;
    while (tag.name[i] != '\0' && name + i < name_end && Lower(text[name + i]) == tag.name[i]) ++i;
    if (tag.name[i] == '\0') {
      *kind = tag.kind;
      break;
    }
  }
  return true;
}

// Decodes the character at text[pos]; returns the characters consumed and
// sets *out (0: nothing to write).
std::size_t DecodeCharacter(const char* text, std::size_t pos, char* out) {
  if (text[pos] != '&') {
    *out = text[pos];
    return 1;
  }
  if (text[pos + 1] == '#') {
    // Digits and ";" within the five characters after "&#".
    std::size_t i = pos + 2;
    unsigned value = 0;
    while (i < pos + 6 && text[i] >= '0' && text[i] <= '9') {
      value = value * 10 + static_cast<unsigned>(text[i] - '0');
      ++i;
    }
    if (i > pos + 2 && i < pos + 7 && text[i] == ';' && value >= 1 && value <= 254) {
      *out = static_cast<char>(static_cast<unsigned char>(value));
      return i + 1 - pos;
    }
  }
  for (const Entity& entity : kEntities) {
    std::size_t i = 0;
    while (entity.name[i] != '\0' && text[pos + 1 + i] == entity.name[i]) ++i;
    if (entity.name[i] != '\0') continue;
    *out = static_cast<char>(entity.value);
    std::size_t consumed = 1 + i;
    // The character after the name goes with it, but never the terminator.
    if (text[pos + consumed] != '\0') ++consumed;
    return consumed;
  }
  *out = '&';
  return 1;
}

}  // namespace

void CleanText(char* text) {
  if (text == nullptr) return;
  std::size_t read = 0;
  std::size_t write = 0;
  int breaks = 0;  // line breaks written since the last text character
  CloseCache cache;
  while (text[read] != '\0') {
    // Plain text is by far the most of it: copy it without the tag and entity tests.
    char plain = text[read];
    if (plain != '<' && plain != '&') {
      text[write++] = plain;
      ++read;
      breaks = 0;
      continue;
    }
    std::size_t tag_end = 0;
    int kind = 0;
    bool is_tag = text[read] == '<' && ParseTag(text, read, &cache, &tag_end, &kind);
    if (kind == 0) breaks = 0;
    if (!is_tag) {
      char c = 0;
      read += DecodeCharacter(text, read, &c);
      if (c != '\0') text[write++] = c;
      continue;
    }
    read = tag_end;
    if (kind != 0 && write > 0 && breaks < 2) {
      for (int n = 0; n < kind; ++n) {
        if (write < read) text[write++] = '\r';
        if (write < read) text[write++] = '\n';
      }
    }
    breaks += kind;
  }
  while (write > 0 && (text[write - 1] == '\r' || text[write - 1] == '\n' || text[write - 1] == ' ')) {
    --write;
  }
  text[write] = '\0';
}

}  // namespace feedpane
