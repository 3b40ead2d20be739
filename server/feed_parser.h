// RSS 0.9x/2.0, RSS 1.0 (RDF) and Atom 1.0 to feed items. libxml2 reads in its
// recovering mode, so a truncated or ill-formed feed still gives the items
// before the damage; HTML's entities are made safe for it first, so that one
// undeclared name loses nothing after it. Texts come out as UTF-8 with every
// entity decoded and C1 controls repaired; titles, authors and bodies are
// markup for the device's own decoder ("<", ">" and "&" escaped where they
// are text), links and dates plain.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tidelark_server {

struct FeedItem {
  std::string key;     // stable per item: from the guid, id, link or title
  std::string title;
  std::string author;  // the entry's, else the feed's (Atom)
  std::string date;    // as shown: "yyyy-mm-dd hh:mm" UTC, or the feed's text
  std::string link;
  std::string text;    // the article body (HTML kept)
  std::string image_url;  // the item's picture: enclosure, media element or first <img>
  std::string image;      // its bytes, when fetched (GIF or JPEG)
  std::int64_t time = 0;  // seconds since 1970 UTC, 0 when the date is unknown
};

struct Feed {
  std::string title;
  std::string link;
  std::vector<FeedItem> items;  // in document order
};

// Parses a feed document given as raw bytes. False when no feed element was
// found at all (not a feed, or nothing recoverable).
bool ParseFeed(const std::string& bytes, Feed* feed);

// Dates as feeds write them (see feed_date.cpp). Seconds since 1970 UTC, 0
// when the text is not understood.
std::int64_t ParseFeedDate(const std::string& text);

// 8 hex digits naming an item within its channel.
std::string ItemKey(const std::string& identity);

}  // namespace tidelark_server
