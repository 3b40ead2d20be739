// One device connection: reads requests with the framing limits, hands them
// to its session and writes the answers, until the session ends, the peer
// closes, or nothing moves in either direction for the idle time. A slow
// link that keeps sending or reading is never cut. Errors end this
// connection only. The caller closes the socket.
#pragma once

#include <string>

#include "phased_session.h"

namespace tidelark_server {

void ServeConnection(int fd, PhasedSession* session, int idle_seconds, const std::string& peer);

}  // namespace tidelark_server
