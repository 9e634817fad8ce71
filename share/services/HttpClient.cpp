#include "share/services/HttpClient.h"

#include "share/services/CookieJar.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <mutex>

namespace services {

namespace {

constexpr long kMaxRedirects = 10;
constexpr int kTotalTimeFactor = 20;

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

bool hasHeader(const HttpHeaders& headers, std::string_view name)
{
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& header) { return equalsIgnoringCase(header.first, name); });
}

bool hasLineBreak(std::string_view text)
{
    return text.find_first_of("\r\n") != std::string_view::npos;
}

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyHandle {
    CURL* curl = curl_easy_init();
    curl_slist* headers = nullptr;
    ~EasyHandle()
    {
        curl_slist_free_all(headers);
        if (curl)
            curl_easy_cleanup(curl);
    }
};

std::vector<std::string> toLines(curl_slist* list)
{
    std::vector<std::string> lines;
    for (curl_slist* item = list; item; item = item->next)
        lines.emplace_back(item->data);
    curl_slist_free_all(list);
    return lines;
}

// State the libcurl callbacks share during one transfer.
struct Transfer {
    HttpResponse* response = nullptr;
    std::size_t maxBytes = 0;
    bool tooLarge = false;
    bool timedOut = false;
    std::chrono::milliseconds idleLimit{0};
    std::chrono::steady_clock::time_point lastActivity = std::chrono::steady_clock::now();
    curl_off_t lastDown = 0;
    curl_off_t lastUp = 0;
};

size_t onBody(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const size_t length = size * count;
    if (transfer->response->body.size() + length > transfer->maxBytes) {
        transfer->tooLarge = true;
        return 0;  // makes libcurl stop with CURLE_WRITE_ERROR
    }
    transfer->response->body.append(data, length);
    return length;
}

std::string_view trimmed(std::string_view text)
{
    const size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos)
        return {};
    const size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

size_t onHeader(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const size_t length = size * count;
    const std::string_view line(data, length);
    if (line.substr(0, 5) == "HTTP/") {
        // A new answer starts (after a redirect or an interim 1xx): only the
        // last one's headers count.
        transfer->response->headers.clear();
        return length;
    }
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos && colon > 0)
        transfer->response->headers.emplace_back(std::string(trimmed(line.substr(0, colon))),
                                                 std::string(trimmed(line.substr(colon + 1))));
    return length;
}

int onProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded)
{
    auto* transfer = static_cast<Transfer*>(user);
    const auto now = std::chrono::steady_clock::now();
    if (downloaded != transfer->lastDown || uploaded != transfer->lastUp) {
        transfer->lastDown = downloaded;
        transfer->lastUp = uploaded;
        transfer->lastActivity = now;
        return 0;
    }
    if (now - transfer->lastActivity > transfer->idleLimit) {
        transfer->timedOut = true;
        return 1;  // CURLE_ABORTED_BY_CALLBACK
    }
    return 0;
}

HttpResponse failure(int code, std::string description)
{
    HttpResponse response;
    response.error.code = code;
    response.error.description = std::move(description);
    return response;
}

} // namespace

std::optional<std::string> HttpResponse::header(std::string_view name) const
{
    for (auto it = headers.rbegin(); it != headers.rend(); ++it)
        if (equalsIgnoringCase(it->first, name))
            return it->second;
    return std::nullopt;
}

int urlErrorFromCurlCode(int curlCode)
{
    switch (static_cast<CURLcode>(curlCode)) {
    case CURLE_OK:
        return url_error::kNone;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
        return url_error::kNotConnectedToInternet;
    case CURLE_OPERATION_TIMEDOUT:
        return url_error::kTimedOut;
    case CURLE_URL_MALFORMAT:
        return url_error::kBadUrl;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return url_error::kUnsupportedUrl;
    case CURLE_TOO_MANY_REDIRECTS:
        return url_error::kTooManyRedirects;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
        return url_error::kNetworkConnectionLost;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
        return url_error::kBadServerResponse;
    case CURLE_FILESIZE_EXCEEDED:
        return url_error::kDataLengthExceedsMaximum;
    case CURLE_PEER_FAILED_VERIFICATION:
        return url_error::kServerCertificateUntrusted;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_USE_SSL_FAILED:
        return url_error::kSecureConnectionFailed;
    default:
        return url_error::kUnknown;
    }
}

CurlHttpClient::CurlHttpClient() : CurlHttpClient(Options{}) {}

CurlHttpClient::CurlHttpClient(Options options) : m_options(std::move(options))
{
    if (!m_options.cookies)
        m_options.cookies = sharedCookieJar();
    initialiseCurlOnce();
}

HttpResponse CurlHttpClient::send(const HttpRequest& request)
{
    if (request.url.empty())
        return failure(url_error::kBadUrl, "No URL");
    if (request.method.empty() || hasLineBreak(request.method))
        return failure(url_error::kUnknown, "Bad method");
    for (const auto& [name, value] : request.headers)
        if (name.empty() || hasLineBreak(name) || hasLineBreak(value) || name.find(':') != std::string::npos)
            return failure(url_error::kUnknown, "Bad header");

    EasyHandle handle;
    if (!handle.curl)
        return failure(url_error::kUnknown, "No libcurl handle");
    CURL* curl = handle.curl;

    HttpResponse response;
    Transfer transfer;
    transfer.response = &response;
    transfer.maxBytes = request.maxResponseBytes;
    transfer.idleLimit = std::max(request.timeout, std::chrono::milliseconds(1));
    char errorText[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!m_options.caBundlePath.empty()) {
        curl_easy_setopt(curl, CURLOPT_CAINFO, m_options.caBundlePath.c_str());
        curl_easy_setopt(curl, CURLOPT_CAPATH, nullptr);
    }
    if (!m_options.userAgent.empty())
        curl_easy_setopt(curl, CURLOPT_USERAGENT, m_options.userAgent.c_str());

    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(transfer.idleLimit.count()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(transfer.idleLimit.count() * kTotalTimeFactor));
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(request.maxResponseBytes));

    const bool sendsBody = request.method != "GET" && request.method != "HEAD";
    if (request.method == "GET") {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    } else if (request.method == "HEAD") {
        curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    } else {
        if (request.method != "POST")
            curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
        if (request.method == "POST" || !request.body.empty()) {
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
        }
    }

    // The headers as given; libcurl works out Content-Length from the body
    // itself, so a caller's copy cannot disagree with what is sent.
    const auto append = [&](const std::string& line) { handle.headers = curl_slist_append(handle.headers, line.c_str()); };
    for (const auto& [name, value] : request.headers) {
        if (equalsIgnoringCase(name, "Content-Length"))
            continue;
        append(value.empty() ? name + ";" : name + ": " + value);
    }
    if (sendsBody && !hasHeader(request.headers, "Content-Type"))
        append("Content-Type:");  // no made-up form type
    if (!hasHeader(request.headers, "Expect"))
        append("Expect:");  // no 100-continue round trip before large uploads
    if (request.ignoreLocalCache) {
        if (!hasHeader(request.headers, "Cache-Control"))
            append("Cache-Control: no-cache");
        if (!hasHeader(request.headers, "Pragma"))
            append("Pragma: no-cache");
    }
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, handle.headers);

    std::vector<std::string> cookiesBefore;
    if (!request.sendNoCookies) {
        curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");  // engine on, nothing read from disk
        cookiesBefore = m_options.cookies->curlLines();
        for (const std::string& line : cookiesBefore)
            curl_easy_setopt(curl, CURLOPT_COOKIELIST, line.c_str());
    }

    const CURLcode result = curl_easy_perform(curl);

    if (!request.sendNoCookies) {
        curl_slist* list = nullptr;
        if (curl_easy_getinfo(curl, CURLINFO_COOKIELIST, &list) == CURLE_OK)
            m_options.cookies->update(cookiesBefore, toLines(list));
    }

    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    response.statusCode = status;

    if (result != CURLE_OK) {
        if (transfer.timedOut)
            response.error.code = url_error::kTimedOut;
        else if (transfer.tooLarge) {
            response.error.code = url_error::kDataLengthExceedsMaximum;
            response.body.clear();
        }
        else
            response.error.code = urlErrorFromCurlCode(result);
        response.error.description = transfer.timedOut ? "Timed out" : errorText[0] ? errorText : curl_easy_strerror(result);
    }
    return response;
}

} // namespace services
