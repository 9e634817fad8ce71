#include "share/services/NetworkCheck.h"

#include "share/services/HttpClient.h"
#include "share/services/ServiceConfig.h"

namespace services {

bool isHostReachable(HttpClient& client, const std::string& url, std::chrono::milliseconds timeout)
{
    HttpRequest request;
    request.method = "HEAD";
    request.url = url;
    request.timeout = timeout;
    request.ignoreLocalCache = true;
    request.sendNoCookies = true;
    const HttpResponse response = client.send(request);
    return !response.error.failed() && response.statusCode > 0;
}

bool isNetworkReachable(HttpClient& client, const ServiceConfig& config, std::chrono::milliseconds timeout)
{
    return isHostReachable(client, config.url(ServiceHost::NetworkCheck, "/"), timeout);
}

} // namespace services
