#include "share/services/CookieJar.h"

#include <curl/curl.h>

#include <algorithm>
#include <charconv>
#include <chrono>

namespace services {

namespace {

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

std::string lowerCase(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return result;
}

bool expired(const Cookie& cookie, std::int64_t now)
{
    return cookie.expires != 0 && cookie.expires <= now;
}

std::int64_t secondsNow()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool sameCookie(const Cookie& a, const Cookie& b)
{
    return a.domain == b.domain && a.path == b.path && a.name == b.name;
}

} // namespace

std::optional<Cookie> Cookie::fromCurlLine(std::string_view line)
{
    Cookie cookie;
    if (line.substr(0, kHttpOnlyPrefix.size()) == kHttpOnlyPrefix) {
        cookie.httpOnly = true;
        line.remove_prefix(kHttpOnlyPrefix.size());
    } else if (line.empty() || line.front() == '#') {
        return std::nullopt;
    }
    std::vector<std::string_view> fields;
    while (fields.size() < 6) {
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            return std::nullopt;
        fields.push_back(line.substr(0, tab));
        line.remove_prefix(tab + 1);
    }
    if (line.find('\t') != std::string_view::npos)
        return std::nullopt;
    fields.push_back(line);

    std::string_view domain = fields[0];
    if (!domain.empty() && domain.front() == '.')
        domain.remove_prefix(1);
    if (domain.empty() || fields[5].empty())
        return std::nullopt;
    cookie.domain = lowerCase(domain);
    cookie.includeSubdomains = fields[1] == "TRUE";
    cookie.path = fields[2].empty() ? "/" : std::string(fields[2]);
    cookie.secure = fields[3] == "TRUE";
    const auto [end, ec] = std::from_chars(fields[4].data(), fields[4].data() + fields[4].size(), cookie.expires);
    if (ec != std::errc() || end != fields[4].data() + fields[4].size())
        return std::nullopt;
    cookie.name = fields[5];
    cookie.value = fields[6];
    return cookie;
}

std::string Cookie::toCurlLine() const
{
    std::string line;
    if (httpOnly)
        line += kHttpOnlyPrefix;
    if (includeSubdomains)
        line += '.';
    line += domain;
    line += includeSubdomains ? "\tTRUE\t" : "\tFALSE\t";
    line += path;
    line += secure ? "\tTRUE\t" : "\tFALSE\t";
    line += std::to_string(expires);
    line += '\t';
    line += name;
    line += '\t';
    line += value;
    return line;
}

bool Cookie::matchesHost(std::string_view host) const
{
    const std::string lower = lowerCase(host);
    if (lower == domain)
        return true;
    if (!includeSubdomains || lower.size() <= domain.size())
        return false;
    const size_t start = lower.size() - domain.size();
    return lower[start - 1] == '.' && lower.compare(start, domain.size(), domain) == 0;
}

std::vector<Cookie> CookieJar::cookiesForHost(std::string_view host) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<Cookie> result;
    for (const Cookie& cookie : m_cookies)
        if (cookie.matchesHost(host))
            result.push_back(cookie);
    return result;
}

std::size_t CookieJar::deleteCookiesForHost(std::string_view host)
{
    if (host.empty())
        return 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    const size_t before = m_cookies.size();
    std::erase_if(m_cookies, [&](const Cookie& cookie) { return cookie.matchesHost(host); });
    return before - m_cookies.size();
}

std::size_t CookieJar::deleteCookiesForUrl(std::string_view url)
{
    return deleteCookiesForHost(hostOfUrl(url));
}

void CookieJar::setCookie(const Cookie& cookie)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = std::find_if(m_cookies.begin(), m_cookies.end(),
                              [&](const Cookie& other) { return sameCookie(other, cookie); });
    if (found != m_cookies.end())
        *found = cookie;
    else
        m_cookies.push_back(cookie);
}

void CookieJar::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cookies.clear();
}

std::vector<Cookie> CookieJar::all() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_cookies;
}

std::vector<std::string> CookieJar::curlLines() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> lines;
    lines.reserve(m_cookies.size());
    for (const Cookie& cookie : m_cookies)
        lines.push_back(cookie.toCurlLine());
    return lines;
}

void CookieJar::update(const std::vector<std::string>& before, const std::vector<std::string>& after)
{
    // libcurl lists a cookie that the server has just expired until it
    // cleans up; an expired cookie counts as one that did not come back.
    const std::int64_t now = secondsNow();
    std::vector<Cookie> kept;
    for (const std::string& line : after)
        if (auto cookie = Cookie::fromCurlLine(line); cookie && !expired(*cookie, now))
            kept.push_back(std::move(*cookie));

    std::lock_guard<std::mutex> lock(m_mutex);
    for (const std::string& line : before) {
        auto cookie = Cookie::fromCurlLine(line);
        if (!cookie)
            continue;
        const bool cameBack = std::any_of(kept.begin(), kept.end(),
                                          [&](const Cookie& other) { return sameCookie(other, *cookie); });
        if (!cameBack)
            std::erase_if(m_cookies, [&](const Cookie& other) { return sameCookie(other, *cookie); });
    }
    std::erase_if(m_cookies, [&](const Cookie& cookie) { return expired(cookie, now); });
    for (Cookie& cookie : kept) {
        auto found = std::find_if(m_cookies.begin(), m_cookies.end(),
                                  [&](const Cookie& other) { return sameCookie(other, cookie); });
        if (found != m_cookies.end())
            *found = std::move(cookie);
        else
            m_cookies.push_back(std::move(cookie));
    }
}

std::shared_ptr<CookieJar> sharedCookieJar()
{
    static const std::shared_ptr<CookieJar> jar = std::make_shared<CookieJar>();
    return jar;
}

std::string hostOfUrl(std::string_view url)
{
    CURLU* handle = curl_url();
    if (!handle)
        return {};
    std::string result;
    const std::string text(url);
    if (curl_url_set(handle, CURLUPART_URL, text.c_str(), 0) == CURLUE_OK) {
        char* host = nullptr;
        if (curl_url_get(handle, CURLUPART_HOST, &host, 0) == CURLUE_OK && host) {
            result = lowerCase(host);
            curl_free(host);
        }
    }
    curl_url_cleanup(handle);
    // IPv6 literals come back in brackets; cookies name them without.
    if (result.size() > 2 && result.front() == '[' && result.back() == ']')
        result = result.substr(1, result.size() - 2);
    return result;
}

} // namespace services
