// One device connection: reads requests with the framing limits, hands them
// to a ServerSession and writes the answers, until the session ends, the
// peer closes or stalls past the time-out. Errors end this connection only.
#pragma once

#include <string>

#include "sync_service.h"

namespace tidelark_server {

void ServeConnection(int fd, SyncService* service, int timeout_seconds, const std::string& peer);

}  // namespace tidelark_server
