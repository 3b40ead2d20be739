// A sync session exchanges whole store databases with the sync server in four
// phases over one HTTP connection: send the requests, receive what the server
// wants, send it, receive the new objects, deletions and anchors.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sync/http_client.h"
#include "sync/sync_store.h"
#include "sync/wire_object.h"

namespace sync_engine {

enum SyncCode : int {
  kSyncOk = 0,
  kSyncBadSession = 1002,
  kSyncAllocFailed = 1011,
  kSyncBusy = 15001,
  kSyncTransferFailed = 15002,
  // Never returned by this engine; screens still have a message for it.
  kSyncServerRefused = 15003,
  kSyncConnectFailed = 15004,
  kSyncCancelled = 15005,
  kSyncDataLimit = 15006,
  kSyncHeadersFailed = 300,
};

enum SessionState : std::int32_t {
  kStateConnecting = 0,
  kStateSending = 1,
  kStateReceiving = 2,
  kStateIdle = 100,
  kStateFinished = 200,
  kStateFailed = 201,
  kStateTransferError = 300,
};

enum DataMode : std::uint32_t { kNoLimit = 0, kLimitReceive = 1, kLimitSend = 2, kLimitBoth = 3 };

constexpr std::uint32_t kDefaultServerPort = 8001;
extern const char kDefaultServerHost[];
constexpr std::size_t kMaxAnchor = 99;
constexpr std::size_t kMaxServerHost = 99;
constexpr std::uint32_t kPhaseCacheBytes = 64000;

struct SyncSession {
  char tag[4] = {'S', 'E', 'S', 'S'};
  std::vector<WireObject> requests;  // newest first
  std::vector<WireObject> received;  // the server's requests, in arrival order
  std::int32_t request_count = 0;
  std::int32_t state = kStateIdle;
  std::uint32_t data_mode = kNoLimit;
  std::uint32_t data_limit = 0;
  std::uint32_t data_used = 0;
  std::unique_ptr<HttpClient> client;
  SyncCallback callback = nullptr;
  std::string user_agent;  // complete header line; empty when not set
  SyncStore* store = DefaultSyncStore();
  int io_timeout_ms = kSocketTimeoutMs;
  // The server when the store's "ServerSettings" name none (another
  // program's engine talks to another service).
  std::string default_host = kDefaultServerHost;
  std::uint32_t default_port = kDefaultServerPort;
  // The anchor store, open from the first AddDatabase to the end of the
  // session: opened once rather than once per database, and it keeps the
  // volume in use while the phases open and close the other databases.
  SyncStore::Database anchors = nullptr;
  SyncStore* anchors_store = nullptr;  // the store `anchors` belongs to
};

int CreateSession(SyncSession** out);
int AddDatabase(SyncSession* session, const char* name);
int SetUserAgent(SyncSession* session, const char* product, const char* version);
int Synchronize(SyncSession* session, SyncCallback callback);
int EndSession(SyncSession* session, int force);

// The server the store's "ServerSettings" name, else the defaults given.
void ServerOf(SyncStore* store, const std::string& default_host, std::uint32_t default_port, std::string* host,
              std::uint32_t* port);

// The date-time anchor stored when the server sends an empty one:
// yyyyMMdd followed by HH'mm (24-hour).
std::string DateTimeAnchor(const platform::os::DateTime& now);

}  // namespace sync_engine
