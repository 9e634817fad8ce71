// Synchronous HTTP for the service views' worker threads.
//
// Every protocol unit talks to its service through the HttpClient interface,
// so tests can hand it a fake (CallbackHttpClient) or the real client on
// libcurl (CurlHttpClient). One call sends one request and blocks until the
// answer has arrived or the request has failed; nothing is cached locally.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace services {

class CookieJar;

// Transport error codes, modelled on the platform's URL loading error codes
// so that the service views can keep testing for the same numbers.
namespace url_error {
inline constexpr int kNone = 0;
// Anything libcurl reports that none of the codes below describes.
inline constexpr int kUnknown = -1;
// The URL is empty or cannot be parsed.
inline constexpr int kBadUrl = -1000;
// No connection within the time-out, or no byte moved for that long.
inline constexpr int kTimedOut = -1001;
// A scheme other than http or https (also on a redirect).
inline constexpr int kUnsupportedUrl = -1002;
// The connection broke while sending or receiving.
inline constexpr int kNetworkConnectionLost = -1005;
// More than ten redirects.
inline constexpr int kTooManyRedirects = -1007;
// The host's name did not resolve, or nobody accepted the connection
// (refused, unreachable). The services show their "offline" message for it.
inline constexpr int kNotConnectedToInternet = -1009;
// The server's answer is not HTTP, or its encoding is broken.
inline constexpr int kBadServerResponse = -1011;
// The answer's body is longer than the request's maxResponseBytes.
inline constexpr int kDataLengthExceedsMaximum = -1103;
// The TLS handshake failed, or the configured CA bundle cannot be read.
inline constexpr int kSecureConnectionFailed = -1200;
// The server's certificate does not verify against the trusted CAs, or
// does not name the host.
inline constexpr int kServerCertificateUntrusted = -1202;
} // namespace url_error

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string method = "GET";   // "GET", "POST", "HEAD", or any other verb
    std::string url;              // absolute http or https URL
    HttpHeaders headers;          // sent as given, in this order
    std::string body;             // bytes; sent for every method but GET and HEAD
    // Longest wait for the connection, and longest time without a byte moving
    // in either direction once connected. The whole request is also cut off
    // after twenty times this, so a trickling server cannot hold a worker.
    std::chrono::milliseconds timeout{std::chrono::seconds(30)};
    // Make sure no cache answers: adds "Cache-Control: no-cache" and
    // "Pragma: no-cache" unless the headers already name them. (The client
    // itself never caches.) Set, with sendNoCookies, by the OAuth requests.
    bool ignoreLocalCache = false;
    // Neither send stored cookies nor keep the ones the answer sets.
    bool sendNoCookies = false;
    // Bodies longer than this end in kDataLengthExceedsMaximum.
    std::size_t maxResponseBytes = 16u << 20;
};

struct TransportError {
    int code = url_error::kNone;
    std::string description;  // for the log; never holds the URL or the body

    bool failed() const { return code != url_error::kNone; }
};

struct HttpResponse {
    long statusCode = 0;   // 0 when no HTTP answer arrived
    HttpHeaders headers;   // of the final answer (after redirects), as received
    std::string body;
    TransportError error;

    // Value of the last header of that name (case-insensitive), if any.
    std::optional<std::string> header(std::string_view name) const;
};

class HttpClient {
public:
    virtual ~HttpClient() = default;
    // Blocks until the answer is complete or the request failed. Safe to call
    // from several threads at once.
    virtual HttpResponse send(const HttpRequest& request) = 0;
};

// The real client: one libcurl easy handle per request, TLS peer and host
// verification always on, redirects followed (http and https only, at most
// ten), no proxy settings of its own (libcurl reads the usual environment).
class CurlHttpClient final : public HttpClient {
public:
    struct Options {
        // PEM bundle of trusted CAs that replaces the system's store; empty
        // means the system's store.
        std::string caBundlePath;
        // Where cookies are kept between requests; null means the
        // process-wide sharedCookieJar().
        std::shared_ptr<CookieJar> cookies;
        std::string userAgent = "Nimbalight";
    };

    CurlHttpClient();
    explicit CurlHttpClient(Options options);

    HttpResponse send(const HttpRequest& request) override;

    CookieJar& cookies() const { return *m_options.cookies; }

private:
    Options m_options;
};

// Answers every request with a function: for tests and for service units
// that want to script the other side.
class CallbackHttpClient final : public HttpClient {
public:
    using Callback = std::function<HttpResponse(const HttpRequest&)>;
    explicit CallbackHttpClient(Callback callback) : m_callback(std::move(callback)) {}
    HttpResponse send(const HttpRequest& request) override { return m_callback(request); }

private:
    Callback m_callback;
};

// Maps a libcurl result code to one of the url_error codes (kNone for
// CURLE_OK). Exposed for tests.
int urlErrorFromCurlCode(int curlCode);

} // namespace services
