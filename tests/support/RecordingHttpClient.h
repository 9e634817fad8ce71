// A real client on its own cookie jar that remembers every request it sends
// and can cap the time-outs, so that tests of slow answers stay short.
#pragma once

#include "share/services/CookieJar.h"
#include "share/services/HttpClient.h"

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

namespace testsupport {

class RecordingClient final : public services::HttpClient {
public:
    services::HttpResponse send(const services::HttpRequest& request) override
    {
        sent.push_back(request);
        services::HttpRequest copy = request;
        if (timeoutCap)
            copy.timeout = *timeoutCap;
        return m_inner.send(copy);
    }

    std::vector<services::HttpRequest> sent;
    std::optional<std::chrono::milliseconds> timeoutCap;

private:
    services::CurlHttpClient m_inner{
        services::CurlHttpClient::Options{{}, std::make_shared<services::CookieJar>(), "Nimbalight"}};
};

} // namespace testsupport
