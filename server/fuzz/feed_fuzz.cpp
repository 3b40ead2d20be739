// Any bytes as a fetched feed, end to end: the server's own refresh of a
// channel reads them (as a file address of the operator's catalogue, so the
// real fetch hands them over), parses, stores and prepares the articles for
// devices of several code pages, news and alerts. Pictures are not fetched:
// a fuzz run must not reach out.
//
// Each input gets a fresh in-memory storage, so that a finding reproduces
// from its input alone.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "feed_fetch.h"
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

// Every object the server prepares must arrive whole at a device, whose
// parser refuses any item larger than its work buffer allows.
void CheckDeviceCanParse(const PreparedList& list) {
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
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (os::MakeTempDirectory("tidelark-feed-fuzz", &g_dir) != os::kOk) std::abort();
  std::atexit([] { os::RemoveTree(g_dir); });
  FetchInit(FetchPolicy());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (os::WriteWholeFile(FeedPath(), std::string(reinterpret_cast<const char*>(data), size)) != os::kOk) std::abort();
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
