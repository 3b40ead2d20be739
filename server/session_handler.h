// What a connection hands its requests to: one object per connection, for
// the news side or any other service that speaks the device's protocol.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "http_framing.h"

namespace tidelark_server {

class SessionHandler {
 public:
  virtual ~SessionHandler() = default;
  // Answers one request. *response gets the bytes to send; false means the
  // connection closes after them (an error ends this device's session only).
  virtual bool Handle(const HttpRequest& request, std::string* response) = 0;
  // The last answer of a complete session went out.
  virtual bool finished() const = 0;
  // One line per finished phase, for the log.
  virtual const std::vector<std::string>& log() const = 0;
};

using SessionFactory = std::function<std::unique_ptr<SessionHandler>()>;

}  // namespace tidelark_server
