#include "sync_service.h"

#include <algorithm>
#include <cstdio>

#include "device_text.h"
#include "feed_parser.h"
#include "wire_out.h"

namespace tidelark_server {

using sync_engine::WireObject;
using sync_engine::WireProperty;

namespace {

// Values stay well under the device's 10000-byte work buffer with their header.
constexpr std::size_t kMaxText = 8000;
constexpr std::size_t kMaxShort = 1000;
// Pictures larger than this go in parts; a map of 256 KB stays far below the buffer.
constexpr std::size_t kMaxPicturePart = 8000;
constexpr std::size_t kMaxPicture = 256 * 1024;
constexpr int kPicturesPerRefresh = 20;
constexpr std::int64_t kMaxBackOff = 24 * 3600;

const unsigned char kDefaultIcon[] = {
    'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0x1f, 0x5f, 0xb4, 0xff, 0xff, 0xff,
    0x2c, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3b};

// A link the device hands to its browser: non-ASCII bytes percent-encoded.
std::string AsciiLink(const std::string& utf8) {
  std::string out;
  for (unsigned char c : utf8) {
    if (c < 0x80 && c > 0x20) {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    }
  }
  return out;
}

std::shared_ptr<const PreparedList> BuildItems(Storage* storage, std::int64_t channel, bool alert, int code_page) {
  auto items = std::make_shared<PreparedList>();
  for (const StoredItem& item : storage->Items(channel)) {
    items->push_back(Prepare(ArticleObject(item, alert, true, code_page), {"READ", "NEW_ALERT", "New"}));
    for (const WireObject& p : PictureObjects(item.key, item.image)) items->push_back(Prepare(p, {}));
  }
  return items;
}

std::shared_ptr<const PreparedList> BuildArticles(Storage* s, std::int64_t channel, int code_page) {
  return BuildItems(s, channel, false, code_page);
}
std::shared_ptr<const PreparedList> BuildAlerts(Storage* s, std::int64_t channel, int code_page) {
  return BuildItems(s, channel, true, code_page);
}

bool LocalAddress(const std::string& url) { return url.compare(0, 7, "file://") == 0; }

}  // namespace

std::string DefaultIcon() { return std::string(reinterpret_cast<const char*>(kDefaultIcon), sizeof kDefaultIcon); }

PreparedObject Prepare(const WireObject& object, const std::set<std::string>& volatile_props, const std::string& mark) {
  PreparedObject p;
  p.name = object.name;
  p.mark = mark;
  for (const WireProperty& q : object.properties) p.properties.insert(q.name);
  p.full = EncodeForDevice(object);
  WireObject stable = object;
  stable.properties.erase(std::remove_if(stable.properties.begin(), stable.properties.end(),
                                         [&](const WireProperty& q) { return volatile_props.count(q.name) > 0; }),
                          stable.properties.end());
  p.stable = volatile_props.empty() ? p.full : EncodeForDevice(stable);
  p.hash = ContentHash(stable);
  return p;
}

std::vector<WireObject> PictureObjects(const std::string& key, const std::string& image) {
  std::vector<WireObject> out;
  if (image.empty()) return out;
  WireObject pic;
  pic.name = "Pic " + key;
  pic.properties.push_back(WireProperty::Text("Feed", key));
  if (image.size() <= kMaxPicturePart) {
    pic.properties.push_back(WireProperty::Binary("Image", image));
    out.push_back(std::move(pic));
    return out;
  }
  // Larger pictures travel in parts that the "ImageMap" joins again: per
  // part its object, its property and two texts (offset and size).
  std::string map;
  for (std::size_t off = 0, i = 0; off < image.size(); off += kMaxPicturePart, ++i) {
    std::string bytes = image.substr(off, kMaxPicturePart);
    WireObject part;
    part.name = "Part " + key + " " + std::to_string(i);
    part.properties.push_back(WireProperty::Binary("Data", bytes));
    for (const std::string& t : {part.name, std::string("Data"), std::to_string(off), std::to_string(bytes.size())}) {
      map += t;
      map.push_back('\0');
    }
    out.push_back(std::move(part));
  }
  map.push_back('\0');
  pic.properties.push_back(WireProperty::Binary("ImageMap", map));
  out.push_back(std::move(pic));
  return out;
}

std::uint64_t ContentHash(const WireObject& object) {
  std::string bytes = EncodeForDevice(object);
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
  h &= 0x7FFFFFFFFFFFFFFFull;  // fits SQLite's signed integer
  return h ? h : 1;            // 0 means "unknown" in a snapshot
}

WireObject ArticleObject(const StoredItem& item, bool alert, bool with_read, int code_page) {
  auto text = [&](const std::string& utf8, std::size_t max) { return CutText(ToDeviceText(utf8, code_page, true), max); };
  WireObject o;
  o.name = (alert ? "Alert " : "Item ") + item.key;
  // Title, Author, Date and Link first: the article view finds the link by position.
  o.properties.push_back(WireProperty::Text("Title", text(item.title, kMaxShort)));
  o.properties.push_back(WireProperty::Text("Author", text(item.author, 200)));
  WireProperty date = WireProperty::Text("Date", text(item.date, 100));
  std::string link = AsciiLink(item.link);
  WireProperty link_property = WireProperty::Text("Link", link.size() <= kMaxShort ? link : "");
  // The article view places a picture right behind the title; the link
  // stays its fifth element when it moves before the date.
  if (item.image.empty()) {
    o.properties.push_back(date);
    o.properties.push_back(link_property);
  } else {
    o.properties.push_back(link_property);
    o.properties.push_back(date);
  }
  o.properties.push_back(WireProperty::Text("Text", text(item.text, kMaxText)));
  o.properties.push_back(WireProperty::Text("Sort", item.sort));
  if (with_read) {
    o.properties.push_back(WireProperty::Int("READ", 0));
    if (alert) {
      o.properties.push_back(WireProperty::Int("NEW_ALERT", 1));
      o.properties.push_back(WireProperty::Int("New", 1));
    }
  }
  return o;
}

std::shared_ptr<const PreparedList> PreparedCache::Get(Storage* storage, std::int64_t channel, int code_page,
                                                        Build build) {
  // Built under the lock: many devices asking at once for a channel that
  // just changed build it once, not once each.
  std::lock_guard<std::mutex> lock(mu_);
  auto it = entries_.find({channel, code_page});
  if (it != entries_.end()) return it->second;
  std::shared_ptr<const PreparedList> list = build(storage, channel, code_page);
  entries_[{channel, code_page}] = list;
  return list;
}

void PreparedCache::Invalidate(std::int64_t channel) {
  std::lock_guard<std::mutex> lock(mu_);
  for (auto it = entries_.begin(); it != entries_.end();)
    it = it->first.first == channel ? entries_.erase(it) : std::next(it);
}

std::shared_ptr<const PreparedList> SyncService::PreparedItems(std::int64_t channel, bool alert, int code_page) {
  return cache_.Get(storage_, channel, code_page, alert ? BuildAlerts : BuildArticles);
}

std::shared_ptr<const std::vector<Channel>> SyncService::ActiveChannels() {
  std::lock_guard<std::mutex> lock(catalogue_mu_);
  if (!catalogue_) catalogue_ = std::make_shared<const std::vector<Channel>>(storage_->Channels(false));
  return catalogue_;
}

void SyncService::CatalogueChanged() {
  std::lock_guard<std::mutex> lock(catalogue_mu_);
  catalogue_.reset();
}

std::string SyncService::alerts_url() const {
  std::lock_guard<std::mutex> lock(alerts_mu_);
  return alerts_url_;
}

bool SyncService::InstallCatalogue(const Catalogue& catalogue) {
  std::vector<Channel> channels = catalogue.channels;
  for (Channel& c : channels)
    if (c.icon.empty()) c.icon = DefaultIcon();
  if (!storage_->InstallCatalogue(channels)) return false;
  CatalogueChanged();
  std::lock_guard<std::mutex> lock(alerts_mu_);
  alerts_url_ = catalogue.alerts_url;
  return true;
}

std::int64_t NextFetchTime(std::int64_t now, int interval, int failures, std::int64_t retry_after) {
  std::int64_t delay = std::max(interval, 1);
  for (int i = 0; i < failures && delay < kMaxBackOff; ++i) delay *= 2;
  delay = std::min(delay, kMaxBackOff);
  return now + std::max(delay, std::min(retry_after, 7 * kMaxBackOff));
}

bool SyncService::RefreshChannel(const Channel& channel, std::int64_t now, std::string* log) {
  std::string who = "channel " + std::to_string(channel.id) + " \"" + channel.name + "\"";
  FetchState state;
  bool tracked = storage_->GetFetchState(channel.id, &state);
  FetchRequest request;
  request.url = channel.url;
  // The catalogue's feeds are the operator's; added ones come from devices.
  request.untrusted = channel.user_added;
  request.allow_file = !channel.user_added || config_.allow_file_addresses;
  request.etag = state.etag;
  request.last_modified = state.last_modified;
  FetchResult r = Fetch(request);
  Feed feed;
  bool parsed = r.ok && (r.not_modified || ParseFeed(r.body, &feed));
  if (r.stopped) {
    *log = who + ": " + r.error;
    return false;
  }
  if (!parsed) {
    ++state.failures;
    state.next_fetch = NextFetchTime(now, config_.fetch_interval, state.failures, r.retry_after);
    if (tracked) storage_->SetFetchState(channel.id, state);
    *log = who + ": " + (r.ok ? "not a feed (" + std::to_string(r.body.size()) + " bytes)" : "fetch failed: " + r.error) +
           "; next try in " + std::to_string(state.next_fetch - now) + " s";
    return false;
  }
  state.failures = 0;
  state.next_fetch = NextFetchTime(now, config_.fetch_interval, 0, r.retry_after);
  if (r.not_modified) {
    if (tracked) storage_->SetFetchState(channel.id, state);
    *log = who + ": not modified";
    return true;
  }
  state.etag = r.etag;
  state.last_modified = r.last_modified;
  if (config_.fetch_pictures) FetchPictures(channel, &feed);
  int added = storage_->StoreFeed(channel.id, feed, config_.retention, now);
  Invalidate(channel.id);
  if (added < 0) {
    *log = who + ": store failed";
    return false;
  }
  if (tracked) storage_->SetFetchState(channel.id, state);
  *log = who + ": " + std::to_string(feed.items.size()) + " items, " + std::to_string(added) + " new";
  return true;
}

void SyncService::FetchPictures(const Channel& channel, Feed* feed) {
  std::set<std::string> have;
  for (const std::string& k : storage_->KeysWithImage(channel.id)) have.insert(k);
  // A local picture only for a local feed of the operator's: a feed from
  // elsewhere must not make the server read its own files.
  bool local_ok = !channel.user_added && LocalAddress(channel.url);
  int fetched = 0;
  for (std::size_t i = 0; i < feed->items.size() && static_cast<int>(i) < config_.retention; ++i) {
    FeedItem& it = feed->items[i];
    const std::string& u = it.image_url;
    bool scheme = u.compare(0, 7, "http://") == 0 || u.compare(0, 8, "https://") == 0 || (local_ok && LocalAddress(u));
    if (u.empty() || !scheme || have.count(it.key) || fetched >= kPicturesPerRefresh) continue;
    ++fetched;
    FetchRequest request;
    request.url = u;
    request.timeout_seconds = 10;
    request.max_bytes = kMaxPicture;
    request.untrusted = !LocalAddress(u);
    request.allow_file = local_ok;
    FetchResult r = Fetch(request);
    bool gif = r.body.compare(0, 4, "GIF8") == 0;
    bool jpeg = r.body.size() > 3 && static_cast<unsigned char>(r.body[0]) == 0xFF &&
                static_cast<unsigned char>(r.body[1]) == 0xD8;
    if (r.ok && (gif || jpeg)) it.image = r.body;
  }
}

void SyncService::RefreshDue(std::int64_t now, bool all, const Report& report) {
  std::vector<Channel> channels = storage_->Channels(false);
  std::string alerts = alerts_url();
  if (!alerts.empty()) {
    Channel a;
    a.id = kAlertChannel;
    a.name = "alerts";
    a.url = alerts;
    channels.push_back(a);
  }
  for (const Channel& c : channels) {
    FetchState state;
    if (c.id == kAlertChannel) {
      std::lock_guard<std::mutex> lock(alerts_mu_);
      if (!all && alerts_next_ > now) continue;
      alerts_next_ = NextFetchTime(now, config_.fetch_interval, 0, 0);
    } else if (!all && storage_->GetFetchState(c.id, &state) && state.next_fetch > now) {
      continue;
    }
    std::string line;
    RefreshChannel(c, now, &line);
    report(line);
  }
}

void SyncService::Maintain(std::int64_t now, const Report& report) {
  int retired = storage_->RetireIdleChannels(now - std::int64_t(config_.retire_added_after) * 86400, now);
  if (retired) CatalogueChanged();
  if (retired) report("retired " + std::to_string(retired) + " channel(s) added by address that nobody subscribes");
  int expired = storage_->ExpireAnchors(now - std::int64_t(config_.anchor_days) * 86400, config_.anchors_per_database);
  if (expired) report("forgot " + std::to_string(expired) + " anchor(s) of devices long gone");
}

}  // namespace tidelark_server
