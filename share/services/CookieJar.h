// Cookies kept between the service requests, grouped by the host (domain)
// they belong to, so that a service can forget its own cookies at log-out
// without touching another service's.
//
// The jar holds the cookies in libcurl's cookie-file line format; the HTTP
// client hands them to libcurl's cookie engine before a request (which picks
// what to send by domain, path, secure flag and expiry) and takes the engine's
// list back afterwards. Thread-safe; two requests that change the same cookie
// at the same time: the last one to finish wins.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace services {

struct Cookie {
    std::string domain;              // lower case, without a leading dot
    bool includeSubdomains = false;  // a Domain= cookie; false for host-only
    std::string path = "/";
    bool secure = false;
    bool httpOnly = false;
    std::int64_t expires = 0;        // seconds since 1970; 0 for a session cookie
    std::string name;
    std::string value;

    // Parses one line of libcurl's cookie-file format (seven tab-separated
    // fields, "#HttpOnly_" prefix allowed); nothing for comments and junk.
    static std::optional<Cookie> fromCurlLine(std::string_view line);
    std::string toCurlLine() const;
    // Whether the cookie would go to a request for that host.
    bool matchesHost(std::string_view host) const;
};

class CookieJar {
public:
    // Every cookie that would go to the host (host-only cookies of exactly
    // that host and domain cookies of it or a parent domain).
    std::vector<Cookie> cookiesForHost(std::string_view host) const;
    // Deletes exactly those cookies; returns how many went.
    std::size_t deleteCookiesForHost(std::string_view host);
    // The same for the host of a URL; a URL without a host deletes nothing.
    std::size_t deleteCookiesForUrl(std::string_view url);
    // Adds or replaces (same domain, path and name).
    void setCookie(const Cookie& cookie);
    void clear();
    std::vector<Cookie> all() const;

    // For the HTTP client: the jar's cookies as libcurl lines, and the
    // engine's list after a request. Cookies that went in but did not come
    // back (expired, or deleted by the server) are removed; the others are
    // added or replaced.
    std::vector<std::string> curlLines() const;
    void update(const std::vector<std::string>& before, const std::vector<std::string>& after);

private:
    mutable std::mutex m_mutex;
    std::vector<Cookie> m_cookies;
};

// The process-wide jar that CurlHttpClient uses unless told otherwise.
std::shared_ptr<CookieJar> sharedCookieJar();

// Lower-case host of an http(s) URL ("" when there is none); for the cookie
// rules and the services' "delete the cookies of this address".
std::string hostOfUrl(std::string_view url);

} // namespace services
