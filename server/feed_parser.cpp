#include "feed_parser.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "text_1252.h"

namespace tidelark_server {
namespace {

const char* Local(const xmlNode* n) { return reinterpret_cast<const char*>(n->name); }

bool Is(const xmlNode* n, const char* name) {
  return n->type == XML_ELEMENT_NODE && std::strcmp(Local(n), name) == 0;
}

std::string Attr(const xmlNode* n, const char* name) {
  xmlChar* v = xmlGetProp(n, reinterpret_cast<const xmlChar*>(name));
  if (!v) return "";
  std::string s(reinterpret_cast<char*>(v));
  xmlFree(v);
  return s;
}

std::string Content(const xmlNode* n) {
  xmlChar* v = xmlNodeGetContent(n);
  if (!v) return "";
  std::string s(reinterpret_cast<char*>(v));
  xmlFree(v);
  return s;
}

// Atom's type="xhtml" content is markup: keep the children as written.
std::string InnerXml(xmlNode* n) {
  std::string out;
  xmlBufferPtr buf = xmlBufferCreate();
  for (xmlNode* c = n->children; c; c = c->next) {
    xmlBufferEmpty(buf);
    xmlNodeDump(buf, n->doc, c, 0, 0);
    out.append(reinterpret_cast<const char*>(xmlBufferContent(buf)), xmlBufferLength(buf));
  }
  xmlBufferFree(buf);
  return out;
}

std::string Trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

// Titles show as one line.
std::string OneLine(const std::string& s) {
  std::string out;
  bool space = false;
  for (char c : Trim(s)) {
    if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
      space = true;
      continue;
    }
    if (space && !out.empty()) out.push_back(' ');
    space = false;
    out.push_back(c);
  }
  return out;
}

std::string TextOf(xmlNode* n) {
  if (Attr(n, "type") == "xhtml") return Trim(InnerXml(n));
  return Trim(Content(n));
}

void FillItem(xmlNode* item, bool atom, FeedItem* out) {
  std::string guid, body, summary, dc_date, pub, updated, link_alt, link_any, picture;
  for (xmlNode* c = item->children; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE) continue;
    const char* name = Local(c);
    if (!std::strcmp(name, "title")) {
      if (out->title.empty()) out->title = OneLine(TextOf(c));
    } else if (!std::strcmp(name, "link")) {
      std::string href = Attr(c, "href");
      if (href.empty()) href = Trim(Content(c));
      std::string rel = Attr(c, "rel");
      if (rel.empty() || rel == "alternate") {
        if (link_alt.empty()) link_alt = href;
      } else if (link_any.empty()) {
        link_any = href;
      }
    } else if (!std::strcmp(name, "guid") || !std::strcmp(name, "id")) {
      guid = Trim(Content(c));
    } else if (!std::strcmp(name, "enclosure") || !std::strcmp(name, "thumbnail") ||
               (!std::strcmp(name, "content") && !Attr(c, "url").empty()) || !std::strcmp(name, "group")) {
      xmlNode* m = c;
      if (!std::strcmp(name, "group"))
        for (xmlNode* g = c->children; g; g = g->next)
          if (Is(g, "thumbnail") || Is(g, "content")) {
            m = g;
            break;
          }
      std::string url = Attr(m, "url"), type = Attr(m, "type"), medium = Attr(m, "medium");
      bool image = Is(m, "thumbnail") || medium == "image" || type.compare(0, 6, "image/") == 0;
      if (image && picture.empty()) picture = url;
    } else if (!std::strcmp(name, "encoded") || !std::strcmp(name, "content")) {
      if (body.empty()) body = TextOf(c);
    } else if (!std::strcmp(name, "description") || !std::strcmp(name, "summary")) {
      if (summary.empty()) summary = TextOf(c);
    } else if (!std::strcmp(name, "author") || !std::strcmp(name, "creator")) {
      if (out->author.empty()) {
        std::string who;
        for (xmlNode* a = c->children; a; a = a->next)
          if (Is(a, "name")) who = Trim(Content(a));
        out->author = OneLine(who.empty() ? Content(c) : who);
      }
    } else if (!std::strcmp(name, "pubDate") || !std::strcmp(name, "published") ||
               !std::strcmp(name, "issued")) {
      if (pub.empty()) pub = Trim(Content(c));
    } else if (!std::strcmp(name, "date")) {
      if (dc_date.empty()) dc_date = Trim(Content(c));
    } else if (!std::strcmp(name, "updated") || !std::strcmp(name, "modified")) {
      if (updated.empty()) updated = Trim(Content(c));
    }
  }
  if (!atom && link_alt.empty()) link_alt = Attr(item, "about");  // RSS 1.0
  out->link = link_alt.empty() ? link_any : link_alt;
  out->text = body.empty() ? summary : body;
  if (picture.empty()) {  // the first picture of the text
    std::size_t img = out->text.find("<img");
    std::size_t src = img == std::string::npos ? img : out->text.find("src=", img);
    if (src != std::string::npos && src - img < 300 && src + 5 < out->text.size()) {
      char q = out->text[src + 4];
      std::size_t end = (q == '"' || q == '\'') ? out->text.find(q, src + 5) : std::string::npos;
      if (end != std::string::npos) picture = out->text.substr(src + 5, end - src - 5);
    }
  }
  out->image_url = picture.size() < 2000 ? picture : "";
  std::string shown;
  for (const std::string* d : {&pub, &dc_date, &updated}) {
    if (d->empty()) continue;
    if (shown.empty()) shown = *d;
    std::int64_t t = ParseFeedDate(*d);
    if (t) {
      out->time = t;
      break;
    }
  }
  if (out->time) {
    std::time_t tt = static_cast<std::time_t>(out->time);
    std::tm tm{};
    gmtime_r(&tt, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm);
    out->date = buf;
  } else {
    out->date = shown;
  }
  std::string identity = !guid.empty() ? guid : !out->link.empty() ? out->link : out->title + out->text;
  out->key = ItemKey(identity);
}

void Collect(xmlNode* n, int depth, std::vector<xmlNode*>* items, bool* atom) {
  if (depth > 4) return;
  for (xmlNode* c = n; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE) continue;
    if (Is(c, "item")) {
      items->push_back(c);
    } else if (Is(c, "entry")) {
      *atom = true;
      items->push_back(c);
    } else {
      Collect(c->children, depth + 1, items, atom);
    }
  }
}

bool HasDeclaredEncoding(const std::string& bytes) {
  std::size_t end = bytes.find("?>");
  if (end == std::string::npos || end > 400) return false;
  return bytes.substr(0, end).find("encoding") != std::string::npos;
}

std::string To1252(const std::string& s) { return Utf8To1252(s); }

}  // namespace

std::string ItemKey(const std::string& identity) {
  std::uint32_t h = 2166136261u;
  for (unsigned char c : identity) h = (h ^ c) * 16777619u;
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08x", h);
  return buf;
}

bool ParseFeed(const std::string& raw, Feed* feed) {
  *feed = Feed();
  // Skip blank lines before the declaration, which strict readers refuse.
  std::size_t start = 0;
  while (start < raw.size() && std::isspace(static_cast<unsigned char>(raw[start]))) ++start;
  std::string bytes = raw.substr(start);
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 && !IsValidUtf8(bytes.substr(3)))
    bytes = bytes.substr(3);  // a BOM on bytes that are not UTF-8 lies
  // Undeclared and not UTF-8: the bytes are almost always Windows-1252.
  const char* encoding = nullptr;
  if (!HasDeclaredEncoding(bytes) && !IsValidUtf8(bytes)) encoding = "windows-1252";
  int options = XML_PARSE_RECOVER | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                XML_PARSE_NOCDATA;
  xmlDocPtr doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "feed.xml", encoding,
                                options);
  if (!doc) return false;
  xmlNode* root = xmlDocGetRootElement(doc);
  if (!root || !(Is(root, "rss") || Is(root, "RDF") || Is(root, "feed") || Is(root, "channel"))) {
    xmlFreeDoc(doc);
    return false;
  }
  // The feed's own title: the channel's title (RSS) or the feed's (Atom).
  xmlNode* head = Is(root, "rss") ? nullptr : root;
  for (xmlNode* c = root->children; c && !head; c = c->next)
    if (Is(c, "channel")) head = c;
  for (xmlNode* c = head ? head->children : nullptr; c; c = c->next) {
    if (Is(c, "channel")) {
      for (xmlNode* d = c->children; d; d = d->next)
        if (Is(d, "title") && feed->title.empty()) feed->title = To1252(OneLine(Content(d)));
    }
    if (Is(c, "title") && feed->title.empty()) feed->title = To1252(OneLine(TextOf(c)));
    if (Is(c, "link") && feed->link.empty()) {
      std::string href = Attr(c, "href");
      feed->link = href.empty() ? Trim(Content(c)) : href;
    }
  }
  std::vector<xmlNode*> nodes;
  bool atom = Is(root, "feed");
  Collect(root->children, 0, &nodes, &atom);
  for (xmlNode* n : nodes) {
    FeedItem item;
    FillItem(n, atom, &item);
    if (item.title.empty() && item.text.empty()) continue;
    item.title = To1252(item.title);
    item.author = To1252(item.author);
    item.date = To1252(item.date);
    item.link = To1252(item.link);
    item.text = To1252(item.text);
    feed->items.push_back(std::move(item));
  }
  xmlFreeDoc(doc);
  return true;
}

namespace {

int MonthOf(const std::string& word) {
  static const char* kNames[][12] = {
      {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"},
      {"jan", "fev", "mar", "abr", "mai", "jun", "jul", "ago", "set", "out", "nov", "dez"},
      {"gen", "feb", "mar", "apr", "mag", "giu", "lug", "ago", "set", "ott", "nov", "dic"},
      {"jan", "feb", "mär", "apr", "mai", "jun", "jul", "aug", "sep", "okt", "nov", "dez"},
      {"ene", "feb", "mar", "abr", "may", "jun", "jul", "ago", "sep", "oct", "nov", "dic"}};
  std::string w;
  for (char c : word.substr(0, 3)) w.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  for (auto& lang : kNames)
    for (int m = 0; m < 12; ++m)
      if (w == lang[m]) return m + 1;
  return 0;
}

int ZoneMinutes(const std::string& z) {
  if (z.empty() || z == "Z" || z == "GMT" || z == "UT" || z == "UTC") return 0;
  static const struct { const char* n; int m; } kZones[] = {
      {"EST", -300}, {"EDT", -240}, {"CST", -360}, {"CDT", -300}, {"MST", -420},
      {"MDT", -360}, {"PST", -480}, {"PDT", -420}, {"CET", 60},   {"CEST", 120}};
  for (auto& k : kZones)
    if (z == k.n) return k.m;
  if ((z[0] == '+' || z[0] == '-') && z.size() >= 3) {
    std::string d;
    for (char c : z.substr(1))
      if (std::isdigit(static_cast<unsigned char>(c))) d.push_back(c);
    if (d.size() < 2) return 0;
    int h = std::stoi(d.substr(0, 2));
    int m = d.size() >= 4 ? std::stoi(d.substr(2, 2)) : 0;
    return (z[0] == '-' ? -1 : 1) * (h * 60 + m);
  }
  return 0;
}

std::int64_t FromFields(int y, int mo, int d, int h, int mi, int s, int zone) {
  if (y < 1970 || y > 2200 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60)
    return 0;
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  return static_cast<std::int64_t>(timegm(&tm)) - zone * 60;
}

}  // namespace

std::int64_t ParseFeedDate(const std::string& text) {
  std::string t = Trim(text);
  if (t.empty()) return 0;
  int y, mo, d, h = 0, mi = 0, s = 0;
  // ISO 8601 / W3CDTF.
  if (std::isdigit(static_cast<unsigned char>(t[0])) && t.size() >= 10 && t[4] == '-') {
    int n = std::sscanf(t.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s);
    if (n < 3) return 0;
    std::string zone;
    std::size_t tpos = t.find('T');
    if (tpos != std::string::npos) {
      std::size_t zpos = t.find_first_of("Z+-", tpos);
      if (zpos != std::string::npos) zone = t.substr(zpos);
    }
    return FromFields(y, mo, d, h, mi, s, ZoneMinutes(zone));
  }
  // RFC 822: [Day,] dd Mon yyyy hh:mm[:ss] zone
  std::size_t comma = t.find(',');
  std::string rest = comma != std::string::npos && comma < 8 ? Trim(t.substr(comma + 1)) : t;
  char mon[16] = {0}, zone[16] = {0};
  int n = std::sscanf(rest.c_str(), "%d %15s %d %d:%d:%d %15s", &d, mon, &y, &h, &mi, &s, zone);
  if (n >= 6 || (n >= 5 && std::sscanf(rest.c_str(), "%d %15s %d %d:%d %15s", &d, mon, &y, &h, &mi, zone) >= 5)) {
    if (n < 6) s = 0;
    if (y < 100) y += 2000;
    int m = MonthOf(mon);
    if (m) return FromFields(y, m, d, h, mi, s, ZoneMinutes(zone));
  }
  if (n >= 3) {
    if (y < 100) y += 2000;
    int m = MonthOf(mon);
    if (m) return FromFields(y, m, d, 0, 0, 0, 0);
  }
  return 0;
}

}  // namespace tidelark_server
