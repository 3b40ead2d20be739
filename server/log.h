// The server's log: one line per event on standard error, each with its UTC
// time to the millisecond; lines from different threads never interleave.
#pragma once

#include <string>

namespace tidelark_server {

void LogLine(const std::string& text);

// "2026-02-01T10:00:00.123Z" for the given time, or now.
std::string LogTime();

}  // namespace tidelark_server
