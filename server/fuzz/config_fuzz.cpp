// The operator's files: the server's config file, the channel catalogue and
// the ad catalogue, each parsed and, when accepted, taken into service as the
// server takes it (the catalogue installed into storage, the ads prepared for
// devices).
//
// Input: one byte choosing the file, then its text up to the first zero
// byte; what follows is the one file the text may name beside it ("f"), as
// a channel's icon or an ad's picture.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ad_catalogue.h"
#include "ad_service.h"
#include "config.h"
#include "platform/os.h"
#include "sqlite_storage.h"
#include "sync_service.h"

using namespace tidelark_server;
namespace os = platform::os;

namespace {

std::string g_dir;

void WriteBeside(const std::string& bytes) {
  if (os::WriteWholeFile(os::JoinPath(g_dir, "f"), bytes) != os::kOk) std::abort();
}

void Config(const std::string& text) {
  ServerConfig config;
  std::string error;
  if (!ParseConfigText(text, &config, &error) && error.empty()) std::abort();
}

void ChannelCatalogue(const std::string& text) {
  Catalogue catalogue;
  std::string error;
  if (!ParseCatalogueText(text, g_dir, &catalogue, &error)) {
    if (error.empty()) std::abort();
    return;
  }
  SqliteStorage storage;
  if (!storage.Open(":memory:", &error)) std::abort();
  SyncService service(&storage, ServerConfig());
  if (!service.InstallCatalogue(catalogue)) std::abort();
  if (service.ActiveChannels()->size() != catalogue.channels.size()) std::abort();
}

void AdCatalogueFile(const std::string& text, const std::string& beside) {
  int width = 0, height = 0;
  if (ImageSize(beside, &width, &height) && (width <= 0 || height <= 0)) std::abort();
  AdCatalogue catalogue;
  std::string error;
  if (!ParseAdCatalogueText(text, g_dir, &catalogue, &error)) {
    if (error.empty()) std::abort();
    return;
  }
  AdService service(nullptr, catalogue);
  for (const Ad& ad : catalogue.ads)
    if (service.Prepared(ad.id).empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (os::MakeTempDirectory("tidelark-config-fuzz", &g_dir) != os::kOk) std::abort();
  std::atexit([] { os::RemoveTree(g_dir); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const char* begin = reinterpret_cast<const char*>(data + 1);
  const char* zero = static_cast<const char*>(std::memchr(begin, 0, size - 1));
  std::string text(begin, zero ? zero : begin + size - 1);
  std::string beside = zero ? std::string(zero + 1, begin + size - 1) : std::string();
  WriteBeside(beside);
  switch (data[0] % 3) {
    case 0: Config(text); break;
    case 1: ChannelCatalogue(text); break;
    default: AdCatalogueFile(text, beside); break;
  }
  return 0;
}
