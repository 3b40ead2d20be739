// Request parsing as a device's bytes reach it: the HTTP framing, then each
// request through a session (Base64 segments, the object stream, the range
// arithmetic). Phase 3 needs storage, so the session here never gets past
// phase 2; the object stream parser is the same for both phases.
#include <cstddef>
#include <cstdint>
#include <string>

#include "http_framing.h"
#include "server_session.h"
#include "sqlite_storage.h"

using namespace tidelark_server;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static SqliteStorage* storage = [] {
    SqliteStorage* s = new SqliteStorage();
    std::string error;
    s->Open(":memory:", &error);
    return s;
  }();
  static SyncService service(storage, ServerConfig());
  BufferSource source(std::string(reinterpret_cast<const char*>(data), size));
  RequestReader reader(&source);
  ServerSession session(&service);
  for (int i = 0; i < 8; ++i) {
    HttpRequest request;
    std::string error;
    if (reader.Read(&request, &error) != ReadStatus::kOk) break;
    if (request.chunked && i > 0) break;  // keep to phases 1 and 2
    std::string response;
    if (!session.Handle(request, &response)) break;
  }
  return 0;
}
