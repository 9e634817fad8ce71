// The check the service views make before they send anything: can a
// well-known host be reached at all?
#pragma once

#include <chrono>
#include <string>

namespace services {

class HttpClient;
class ServiceConfig;

inline constexpr std::chrono::milliseconds kNetworkCheckTimeout{std::chrono::seconds(5)};

// True when a HEAD request to the URL gets any HTTP answer (whatever its
// status) within the time-out; false on any transport error. No cookies, no
// cache.
bool isHostReachable(HttpClient& client, const std::string& url,
                     std::chrono::milliseconds timeout = kNetworkCheckTimeout);

// The same for the configured network-check host.
bool isNetworkReachable(HttpClient& client, const ServiceConfig& config,
                        std::chrono::milliseconds timeout = kNetworkCheckTimeout);

} // namespace services
