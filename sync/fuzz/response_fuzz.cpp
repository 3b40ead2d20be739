// Response headers and ReadResponse fed from a socket whose peer sends the
// fuzz input and closes. Reads go into a small buffer so that oversized
// bodies are exercised.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/os.h"
#include "platform/services.h"
#include "sync/http_client.h"

namespace os = platform::os;

namespace {
int NoBox(void*, const std::u16string&, const std::u16string&, std::uint32_t) { return platform::kIdOk; }
const platform::Services kQuiet = {NoBox, nullptr, nullptr};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static os::Socket listener = os::kInvalidSocket;
  static std::uint16_t port = 0;
  if (listener == os::kInvalidSocket) {
    platform::SetServices(&kQuiet);
    if (os::TcpListen("127.0.0.1", 0, 4, &listener, &port) != os::kOk) std::abort();
  }
  if (size > 60000) return 0;  // stays within the socket buffers, so the send never blocks

  // Header lines one by one, straight.
  sync_engine::HttpClient h;
  sync_engine::ApplyResponseHeaderLine(&h, reinterpret_cast<const char*>(data), size);

  sync_engine::HttpClient client;
  client.host = "127.0.0.1";
  client.port = port;
  client.io_timeout_ms = 2000;
  if (sync_engine::Connect(&client) != 0) std::abort();
  os::Socket peer;
  if (os::TcpAccept(listener, &peer) != os::kOk) std::abort();
  os::SocketSendAll(peer, data, size);
  os::SocketShutdown(peer);
  char buffer[512];
  for (int i = 0; i < 64; ++i) {
    std::uint32_t length = 0;
    int cancel = 0;
    sync_engine::ReadResult r = sync_engine::ReadResponse(&client, buffer, sizeof buffer, &length, nullptr, &cancel);
    if (length > sizeof buffer) std::abort();
    if (r == sync_engine::ReadResult::kFailed || r == sync_engine::ReadResult::kClosing) break;
  }
  sync_engine::Disconnect(&client);
  os::CloseSocket(peer);
  return 0;
}
