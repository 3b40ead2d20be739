#include "feed_parser.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>

#include "device_text.h"
#include "html_entities.h"

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

// A text element as markup for the device: Atom's plain text escaped, HTML
// (RSS, Atom "html") with its entities decoded, XHTML as written.
std::string MarkupOf(xmlNode* n, bool atom) {
  std::string type = Attr(n, "type");
  if (type == "xhtml") return RepairC1(DecodeHtmlEntities(Trim(InnerXml(n)), true));
  std::string text = RepairC1(Trim(Content(n)));
  if (atom && (type.empty() || type == "text" || type == "text/plain")) return EscapeMarkup(text);
  return DecodeHtmlEntities(text, true);
}

// A plain value (link, date, feed title).
std::string PlainOf(const std::string& text) { return RepairC1(DecodeHtmlEntities(Trim(text), false)); }

// The name of an author element: its <name>, else its text.
std::string AuthorName(xmlNode* author) {
  for (xmlNode* a = author->children; a; a = a->next)
    if (Is(a, "name")) return OneLine(Content(a));
  return OneLine(Content(author));
}

// The first picture a text shows.
std::string FirstPicture(const std::string& text) {
  std::size_t img = text.find("<img");
  std::size_t src = img == std::string::npos ? img : text.find("src=", img);
  if (src == std::string::npos || src - img >= 300 || src + 5 >= text.size()) return "";
  char q = text[src + 4];
  std::size_t end = (q == '"' || q == '\'') ? text.find(q, src + 5) : std::string::npos;
  return end == std::string::npos ? "" : text.substr(src + 5, end - src - 5);
}

// The item's time from the first date that parses, in order of preference,
// and the date shown: UTC, or the first text as written when none parses.
void SetDate(std::initializer_list<const std::string*> dates, FeedItem* out) {
  std::string shown;
  for (const std::string* d : dates) {
    if (d->empty()) continue;
    if (shown.empty()) shown = *d;
    std::int64_t t = ParseFeedDate(*d);
    if (t) {
      out->time = t;
      break;
    }
  }
  if (!out->time) {
    out->date = EscapeMarkup(OneLine(shown));
    return;
  }
  std::time_t tt = static_cast<std::time_t>(out->time);
  std::tm tm{};
  gmtime_r(&tt, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm);
  out->date = buf;
}

void FillItem(xmlNode* item, bool atom, FeedItem* out) {
  std::string guid, body, summary, dc_date, pub, updated, link_alt, link_any, picture;
  for (xmlNode* c = item->children; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE) continue;
    const char* name = Local(c);
    if (!std::strcmp(name, "title")) {
      if (out->title.empty()) out->title = OneLine(MarkupOf(c, atom));
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
      if (body.empty()) body = MarkupOf(c, atom);
    } else if (!std::strcmp(name, "description") || !std::strcmp(name, "summary")) {
      if (summary.empty()) summary = MarkupOf(c, atom);
    } else if (!std::strcmp(name, "author") || !std::strcmp(name, "creator")) {
      if (out->author.empty()) out->author = EscapeMarkup(PlainOf(AuthorName(c)));
    } else if (!std::strcmp(name, "source") && out->author.empty()) {
      for (xmlNode* s = c->children; s; s = s->next)
        if (Is(s, "author") && out->author.empty()) out->author = EscapeMarkup(PlainOf(AuthorName(s)));
    } else if (!std::strcmp(name, "pubDate") || !std::strcmp(name, "published") ||
               !std::strcmp(name, "issued")) {
      if (pub.empty()) pub = PlainOf(Content(c));
    } else if (!std::strcmp(name, "date")) {
      if (dc_date.empty()) dc_date = PlainOf(Content(c));
    } else if (!std::strcmp(name, "updated") || !std::strcmp(name, "modified")) {
      if (updated.empty()) updated = PlainOf(Content(c));
    }
  }
  if (!atom && link_alt.empty()) link_alt = Attr(item, "about");  // RSS 1.0
  out->link = RepairC1(link_alt.empty() ? link_any : link_alt);
  out->text = body.empty() ? summary : body;
  if (picture.empty()) picture = FirstPicture(out->text);
  out->image_url = picture.size() < 2000 ? picture : "";
  SetDate({&pub, &dc_date, &updated}, out);
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

// The declaration names Windows-1252, which libxml2 reads as strictly as
// the undeclared bytes below.
bool DeclaresWindows1252(const std::string& bytes) {
  std::size_t end = bytes.find("?>");
  if (end == std::string::npos || end > 400) return false;
  std::string head = bytes.substr(0, end);
  for (char& c : head) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::size_t open = head.find_first_of("'\"", head.find("encoding"));
  if (open == std::string::npos) return false;
  std::size_t close = head.find(head[open], open + 1);
  if (close == std::string::npos) return false;
  std::string name = head.substr(open + 1, close - open - 1);
  return name == "windows-1252" || name == "cp1252";
}

void IgnoreXmlMessage(void*, const char*, ...) {}

// UTF-16 and UTF-32 documents: bytes the entity pass must not touch.
bool WideEncoding(const std::string& bytes) {
  if (bytes.size() < 4) return false;
  if (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0) return true;
  return std::memchr(bytes.data(), 0, 4) != nullptr;
}

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
  int options = XML_PARSE_RECOVER | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                XML_PARSE_NOCDATA;
  // Undeclared and not UTF-8: the bytes are almost always Windows-1252. Read
  // here, as libxml2's conversion stops the document at the first byte that
  // code page leaves undefined, and every item after it is lost.
  const char* encoding = nullptr;
  bool undeclared_8bit = !HasDeclaredEncoding(bytes) && !IsValidUtf8(bytes);
  if (undeclared_8bit && WideEncoding(bytes)) {
    encoding = "windows-1252";
  } else if (undeclared_8bit || DeclaresWindows1252(bytes)) {
    bytes = FromDeviceText(bytes, 1252);
    options |= XML_PARSE_IGNORE_ENC;
  }
  // Encoding trouble reaches libxml2's generic handler despite NOERROR: a
  // stranger's bytes must not write to the server's log.
  xmlSetGenericErrorFunc(nullptr, IgnoreXmlMessage);
  if (!WideEncoding(bytes)) bytes = MakeEntitiesXmlSafe(bytes);
  xmlDocPtr doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "feed.xml", encoding,
                                options);
  if (!doc) return false;
  xmlNode* root = xmlDocGetRootElement(doc);
  if (!root || !(Is(root, "rss") || Is(root, "RDF") || Is(root, "feed") || Is(root, "channel"))) {
    xmlFreeDoc(doc);
    return false;
  }
  // The feed's own title: the channel's title (RSS) or the feed's (Atom);
  // the feed's author, which Atom entries without one inherit.
  xmlNode* head = Is(root, "rss") ? nullptr : root;
  for (xmlNode* c = root->children; c && !head; c = c->next)
    if (Is(c, "channel")) head = c;
  std::string feed_author;
  for (xmlNode* c = head ? head->children : nullptr; c; c = c->next) {
    if (Is(c, "channel")) {
      for (xmlNode* d = c->children; d; d = d->next)
        if (Is(d, "title") && feed->title.empty()) feed->title = OneLine(PlainOf(Content(d)));
    }
    if (Is(c, "title") && feed->title.empty()) feed->title = OneLine(PlainOf(Content(c)));
    if (Is(c, "link") && feed->link.empty()) {
      std::string href = Attr(c, "href");
      feed->link = href.empty() ? Trim(Content(c)) : href;
    }
    if (Is(c, "author") && feed_author.empty()) feed_author = EscapeMarkup(PlainOf(AuthorName(c)));
  }
  std::vector<xmlNode*> nodes;
  bool atom = Is(root, "feed");
  Collect(root->children, 0, &nodes, &atom);
  for (xmlNode* n : nodes) {
    FeedItem item;
    FillItem(n, atom, &item);
    if (item.title.empty() && item.text.empty()) continue;
    if (item.author.empty() && Is(n, "entry")) item.author = feed_author;
    feed->items.push_back(std::move(item));
  }
  xmlFreeDoc(doc);
  return true;
}

}  // namespace tidelark_server
