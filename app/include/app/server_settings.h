// Where the device syncs: the store object "ServerSettings" of "_sysSettings"
// with the texts "ServerIP" and "ServerPort", which the sync engine reads.
#pragma once

#include <cstdint>
#include <string>

// Writes them into the volume (made when missing); the store's code.
std::int32_t WriteServerSettings(const std::string& volume, const std::string& host, std::uint32_t port);
