// The host's network state the Connection Manager stand-in answers from.
#pragma once

#include <winsock2.h>

#include <string>
#include <vector>

#include "platform/cellcore.h"

namespace platform {
namespace cellcore {

// The host's addresses; false when it does not resolve.
bool ResolveHost(const std::wstring& host, std::vector<sockaddr_storage>* addresses);
// Whether one of the addresses has a route through an interface that is up.
bool AnyRouteIsUp(const std::vector<sockaddr_storage>& addresses);
// An address whose route is the route to the public internet.
std::vector<sockaddr_storage> InternetAddresses();
// The per-user HTTP proxy into *config (server and bypass list); false when none is enabled.
bool ReadHostProxy(PROXY_CONFIG* config);

}  // namespace cellcore
}  // namespace platform
