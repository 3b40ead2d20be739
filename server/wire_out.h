// The server's own encoding of the objects it sends. The device's encoder
// never sends binary values (it has none to send); the server must, because
// channel icons are binary. Same framing as sync/wire_object.h.
#pragma once

#include <string>

#include "sync/wire_object.h"

namespace tidelark_server {

// Integer, text and binary properties with their values; other types as one
// zero byte.
std::string EncodeForDevice(const sync_engine::WireObject& object);

}  // namespace tidelark_server
