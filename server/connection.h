// One device connection: reads requests with the framing limits, hands them
// to the session and writes the answers, until the session ends, the
// peer closes or stalls past the time-out. Errors end this connection only.
#pragma once

#include <string>

#include "phased_session.h"

namespace tidelark_server {

void ServeConnection(int fd, PhasedSession* session, int timeout_seconds, const std::string& peer);

}  // namespace tidelark_server
