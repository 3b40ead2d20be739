// Any bytes as a fetched feed, end to end: the server's own refresh of a
// channel reads them (as a file address of the operator's catalogue, so the
// real fetch hands them over), parses, stores and prepares the articles for
// devices of several code pages, news and alerts. Pictures are not fetched
// (a fuzz run must not reach out): the bytes after the first "--picture--"
// are one as a fetch hands it over, sliced for devices as the server slices
// every picture, and must arrive whole.
//
// Each input gets a fresh in-memory storage, so that a finding reproduces
// from its input alone.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "feed_fetch.h"
#include "feed_parser.h"
#include "platform/os.h"
#include "sqlite_storage.h"
#include "sync/wire_object.h"
#include "sync_service.h"

using namespace tidelark_server;
namespace os = platform::os;

namespace {

std::string g_dir;

const std::string& FeedPath() {
  static const std::string path = os::JoinPath(g_dir, "feed.xml");
  return path;
}

constexpr char kPictureMark[] = "--picture--";

// Every object the server prepares must arrive whole at a device, whose
// parser refuses any item larger than its work buffer allows; returns them
// as the device reads them, by name.
std::map<std::string, sync_engine::WireObject> CheckDeviceCanParse(const PreparedList& list) {
  std::map<std::string, sync_engine::WireObject> objects;
  for (const PreparedObject& p : list) {
    sync_engine::ObjectParser parser(sync_engine::kPieceBytes - 400);
    sync_engine::WireObject o;
    std::size_t consumed = 0;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(p.full.data());
    if (parser.Next(bytes, p.full.size(), &consumed, &o) != sync_engine::ObjectParser::kObject ||
        consumed != p.full.size() || o.name != p.name) {
      std::fprintf(stderr, "prepared object \"%s\" (%zu bytes) does not parse whole\n", p.name.c_str(), p.full.size());
      std::abort();
    }
    objects[o.name] = std::move(o);
  }
  return objects;
}

[[noreturn]] void PictureFails(const char* what) {
  std::fprintf(stderr, "picture: %s\n", what);
  std::abort();
}

// The device gets the picture back: whole in "Image", or from the parts
// its "ImageMap" names (name, property, offset and size, each ending in a
// zero; a zero more ends the map), in order and without gaps.
void CheckPicture(const std::string& image) {
  if (image.empty()) return;  // no picture: the server keeps none
  const std::string key = ItemKey("picture");
  PreparedList list;
  for (const sync_engine::WireObject& o : PictureObjects(key, image)) list.push_back(Prepare(o, {}));
  std::map<std::string, sync_engine::WireObject> objects = CheckDeviceCanParse(list);
  auto pic = objects.find("Pic " + key);
  if (pic == objects.end()) PictureFails("no picture object");
  if (const sync_engine::WireProperty* whole = pic->second.Find("Image")) {
    if (whole->value != image) PictureFails("\"Image\" is not the picture");
    return;
  }
  const sync_engine::WireProperty* map = pic->second.Find("ImageMap");
  if (!map) PictureFails("neither \"Image\" nor \"ImageMap\"");
  std::vector<std::string> fields;
  for (std::size_t at = 0; at < map->value.size() && map->value[at] != 0;) {
    std::size_t zero = map->value.find('\0', at);
    if (zero == std::string::npos) PictureFails("the map's last field has no end");
    fields.push_back(map->value.substr(at, zero - at));
    at = zero + 1;
  }
  if (fields.size() % 4 != 0) PictureFails("the map's entries are not four fields each");
  std::string joined;
  for (std::size_t i = 0; i < fields.size(); i += 4) {
    auto part = objects.find(fields[i]);
    const sync_engine::WireProperty* data = part == objects.end() ? nullptr : part->second.Find(fields[i + 1]);
    if (!data) PictureFails("the map names a part that did not come");
    if (fields[i + 2] != std::to_string(joined.size()) || fields[i + 3] != std::to_string(data->value.size()))
      PictureFails("a part's offset or size is not where it lies");
    joined += data->value;
  }
  if (joined != image) PictureFails("the parts do not join to the picture");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (os::MakeTempDirectory("tidelark-feed-fuzz", &g_dir) != os::kOk) std::abort();
  std::atexit([] { os::RemoveTree(g_dir); });
  FetchInit(FetchPolicy());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* begin = reinterpret_cast<const char*>(data);
  const char* mark = static_cast<const char*>(memmem(begin, size, kPictureMark, sizeof kPictureMark - 1));
  if (mark) CheckPicture(std::string(mark + sizeof kPictureMark - 1, begin + size));
  std::string feed(begin, mark ? mark : begin + size);
  if (os::WriteWholeFile(FeedPath(), feed) != os::kOk) std::abort();
  SqliteStorage storage;
  std::string error;
  if (!storage.Open(":memory:", &error)) std::abort();
  ServerConfig config;
  config.fetch_pictures = false;
  SyncService service(&storage, config);
  Channel channel;
  channel.id = 4931;
  channel.name = "fuzz";
  channel.url = "file://" + FeedPath();
  Catalogue catalogue;
  catalogue.channels.push_back(channel);
  if (!service.InstallCatalogue(catalogue)) std::abort();

  std::string log;
  if (!service.RefreshChannel(channel, 1700000000, &log)) return 0;
  for (int code_page : {1252, 1251, 1253, 1250, 874})
    CheckDeviceCanParse(*service.PreparedItems(channel.id, false, code_page));
  CheckDeviceCanParse(*service.PreparedItems(channel.id, true, 1256));
  return 0;
}
