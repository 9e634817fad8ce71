#include "share/services/CookieJar.h"
#include "share/services/HttpClient.h"
#include "share/services/NetworkCheck.h"
#include "share/services/ServiceConfig.h"

#include "tests/support/LocalHttpServer.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using namespace services;
using namespace std::chrono_literals;
using testsupport::LocalHttpServer;
using testsupport::RecordedRequest;
using testsupport::Reply;

HttpRequest makeRequest(std::string method, std::string url, std::chrono::milliseconds timeout = 5s)
{
    HttpRequest request;
    request.method = std::move(method);
    request.url = std::move(url);
    request.timeout = timeout;
    return request;
}

class HttpClientTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::bypassProxies();
    }

    void SetUp() override { ASSERT_TRUE(server.start()); }

    HttpRequest get(std::string_view pathAndQuery) const
    {
        HttpRequest request;
        request.url = server.url(pathAndQuery);
        request.timeout = 5s;
        return request;
    }

    std::shared_ptr<CookieJar> jar = std::make_shared<CookieJar>();
    CurlHttpClient client{CurlHttpClient::Options{{}, jar, "Nimbalight"}};
    LocalHttpServer server;
};

TEST_F(HttpClientTest, GetSendsHeadersAndQueryAndReturnsStatusHeadersAndBody)
{
    server.setHandler([](const RecordedRequest&) {
        return Reply{201, "<rsp stat=\"ok\"/>", "text/xml; charset=utf-8", {{"X-Answer", "42"}}};
    });
    HttpRequest request = get("/services/rest/?method=flickr.auth.getFrob&api_key=k%2B1&x=a+b");
    request.headers = {{"Authorization", "GoogleLogin auth=abc"}, {"GData-Version", "2"}};
    const HttpResponse response = client.send(request);

    EXPECT_FALSE(response.error.failed()) << response.error.description;
    EXPECT_EQ(response.statusCode, 201);
    EXPECT_EQ(response.body, "<rsp stat=\"ok\"/>");
    EXPECT_EQ(response.header("x-answer"), "42");
    EXPECT_EQ(response.header("Content-Type"), "text/xml; charset=utf-8");
    EXPECT_EQ(response.header("X-Missing"), std::nullopt);

    const RecordedRequest sent = server.lastRequest();
    EXPECT_EQ(sent.method, "GET");
    EXPECT_EQ(sent.path, "/services/rest/");
    EXPECT_EQ(sent.query, "method=flickr.auth.getFrob&api_key=k%2B1&x=a+b");
    EXPECT_EQ(sent.header("Authorization"), "GoogleLogin auth=abc");
    EXPECT_EQ(sent.header("GData-Version"), "2");
    EXPECT_EQ(sent.header("User-Agent"), "Nimbalight");
    EXPECT_TRUE(sent.body.empty());
}

TEST_F(HttpClientTest, PostSendsTheBodyByteForByteWithItsOwnContentLength)
{
    std::string body = "--Larch_Wise_Boundary\r\nContent-Disposition: form-data; name=\"photo\"\r\n\r\n";
    body += std::string("\xFF\xD8\x00\x01\r\n\xFF\xD9", 8);
    body += std::string(300000, 'j');  // beyond one socket write
    body += "\r\n--Larch_Wise_Boundary--\r\n";
    HttpRequest request = get("/services/upload");
    request.method = "POST";
    request.body = body;
    request.headers = {{"Content-Type", "multipart/form-data; boundary=Larch_Wise_Boundary"},
                       {"Content-Length", "12"},  // wrong on purpose: the client counts itself
                       {"MIME-version", "1.0"}};
    const HttpResponse response = client.send(request);

    EXPECT_FALSE(response.error.failed()) << response.error.description;
    EXPECT_EQ(response.statusCode, 200);
    const RecordedRequest sent = server.lastRequest();
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.body, body);
    EXPECT_EQ(sent.header("Content-Type"), "multipart/form-data; boundary=Larch_Wise_Boundary");
    EXPECT_EQ(sent.header("Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(sent.headerCount("Content-Length"), 1u);
    EXPECT_EQ(sent.header("MIME-version"), "1.0");
    EXPECT_FALSE(sent.hasHeader("Expect"));
}

TEST_F(HttpClientTest, PostWithoutBodyOrTypeSendsNeitherAMadeUpTypeNorABody)
{
    HttpRequest request = get("/oauth/access_token?x_auth_mode=client_auth");
    request.method = "POST";
    const HttpResponse response = client.send(request);
    EXPECT_FALSE(response.error.failed()) << response.error.description;
    const RecordedRequest sent = server.lastRequest();
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.header("Content-Length"), "0");
    EXPECT_FALSE(sent.hasHeader("Content-Type"));
}

TEST_F(HttpClientTest, HeadAndOtherMethods)
{
    server.setHandler([](const RecordedRequest&) { return Reply{200, "a body"}; });
    for (const char* method : {"HEAD", "PUT", "DELETE"}) {
        HttpRequest request = get("/x");
        request.method = method;
        request.body = std::string(method) == "PUT" ? "put body" : "";
        const HttpResponse response = client.send(request);
        EXPECT_FALSE(response.error.failed()) << method << ": " << response.error.description;
        EXPECT_EQ(response.statusCode, 200) << method;
        EXPECT_EQ(response.body, std::string(method) == "HEAD" ? "" : "a body") << method;
        EXPECT_EQ(server.lastRequest().method, method);
        EXPECT_EQ(server.lastRequest().body, request.body) << method;
    }
}

TEST_F(HttpClientTest, ErrorStatusIsAnAnswerNotATransportError)
{
    server.setHandler([](const RecordedRequest&) { return Reply{403, "Error=BadAuthentication\n"}; });
    const HttpResponse response = client.send(get("/accounts/ClientLogin"));
    EXPECT_FALSE(response.error.failed());
    EXPECT_EQ(response.statusCode, 403);
    EXPECT_EQ(response.body, "Error=BadAuthentication\n");
}

TEST_F(HttpClientTest, RedirectsAreFollowedAndTheLastAnswerCounts)
{
    server.setHandler([](const RecordedRequest& request) {
        if (request.path == "/old")
            return Reply{302, "", "text/plain", {{"Location", "/new?b=2"}, {"X-Hop", "first"}}};
        return Reply{200, "arrived", "text/plain", {{"X-Hop", "last"}}};
    });
    const HttpResponse response = client.send(get("/old"));
    EXPECT_EQ(response.statusCode, 200);
    EXPECT_EQ(response.body, "arrived");
    EXPECT_EQ(response.header("X-Hop"), "last");
    EXPECT_EQ(server.requestCount(), 2u);
    EXPECT_EQ(server.lastRequest().query, "b=2");
}

TEST_F(HttpClientTest, EndlessRedirectsStop)
{
    server.setHandler([](const RecordedRequest&) { return Reply{302, "", "text/plain", {{"Location", "/again"}}}; });
    EXPECT_EQ(client.send(get("/again")).error.code, url_error::kTooManyRedirects);
    EXPECT_LE(server.requestCount(), 11u);
}

TEST_F(HttpClientTest, SilentServerTimesOut)
{
    // Under load the server may take up the request only after the client
    // has given up and this body has returned, so the handler's state must
    // outlive the body.
    struct Gate {
        std::mutex mutex;
        std::condition_variable released;
        bool release = false;
    };
    auto gate = std::make_shared<Gate>();
    server.setHandler([gate](const RecordedRequest&) {
        std::unique_lock<std::mutex> lock(gate->mutex);
        gate->released.wait_for(lock, 10s, [&] { return gate->release; });
        return Reply{200, "too late"};
    });
    HttpRequest request = get("/slow");
    request.timeout = 300ms;
    const HttpResponse response = client.send(request);
    {
        std::lock_guard<std::mutex> lock(gate->mutex);
        gate->release = true;
    }
    gate->released.notify_all();

    EXPECT_EQ(response.error.code, url_error::kTimedOut);
    EXPECT_FALSE(response.error.description.empty());
    EXPECT_EQ(response.statusCode, 0);
}

TEST_F(HttpClientTest, RefusedConnectionIsNotConnected)
{
    const std::string url = server.url("/me?access_token=t");
    server.stop();
    const HttpResponse response = client.send(makeRequest("GET", url, 2s));
    EXPECT_EQ(response.error.code, url_error::kNotConnectedToInternet);
    EXPECT_EQ(response.statusCode, 0);
    // The description is for the log: it must not carry the query (tokens, passwords).
    EXPECT_EQ(response.error.description.find("access_token"), std::string::npos);
}

TEST_F(HttpClientTest, RequestsThatCannotBeSentFailBeforeTheWire)
{
    struct Case {
        HttpRequest request;
        int code;
    };
    HttpRequest injected = get("/x");
    injected.headers = {{"X-Evil", "a\r\nHost: elsewhere"}};
    const std::vector<Case> cases{
        {HttpRequest{}, url_error::kBadUrl},
        {makeRequest("GET", "ftp://127.0.0.1/file"), url_error::kUnsupportedUrl},
        {makeRequest("GET", "file:///etc/passwd"), url_error::kUnsupportedUrl},
        {makeRequest("GET", "http://[::1"), url_error::kBadUrl},
        {injected, url_error::kUnknown},
    };
    for (const Case& c : cases)
        EXPECT_EQ(client.send(c.request).error.code, c.code) << c.request.url;
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(HttpClientTest, AnswerLargerThanTheLimitFails)
{
    server.setHandler([](const RecordedRequest&) { return Reply{200, std::string(100000, 'x')}; });
    HttpRequest request = get("/big");
    request.maxResponseBytes = 1000;
    const HttpResponse tooLarge = client.send(request);
    EXPECT_EQ(tooLarge.error.code, url_error::kDataLengthExceedsMaximum);
    EXPECT_TRUE(tooLarge.body.empty());
    request.maxResponseBytes = 100000;
    EXPECT_EQ(client.send(request).body.size(), 100000u);
}

TEST_F(HttpClientTest, CookiesAreKeptPerHostAndDeletedPerHost)
{
    server.setHandler([](const RecordedRequest& request) {
        if (request.path == "/login")
            return Reply{200, "", "text/plain", {{"Set-Cookie", "session=" + request.query + "; Path=/"}}};
        return Reply{200, request.header("Cookie")};
    });
    const std::string ip = server.baseUrl();
    const std::string named = "http://localhost:" + std::to_string(server.port());
    ASSERT_FALSE(client.send(makeRequest("GET", ip + "/login?ip", 5s)).error.failed());
    ASSERT_FALSE(client.send(makeRequest("GET", named + "/login?named", 5s)).error.failed());

    EXPECT_EQ(client.send(makeRequest("GET", ip + "/echo", 5s)).body, "session=ip");
    EXPECT_EQ(client.send(makeRequest("GET", named + "/echo", 5s)).body, "session=named");
    ASSERT_EQ(jar->cookiesForHost("127.0.0.1").size(), 1u);
    EXPECT_EQ(jar->cookiesForHost("127.0.0.1")[0].value, "ip");

    EXPECT_EQ(jar->deleteCookiesForUrl(ip + "/services/upload"), 1u);
    EXPECT_EQ(client.send(makeRequest("GET", ip + "/echo", 5s)).body, "");
    EXPECT_EQ(client.send(makeRequest("GET", named + "/echo", 5s)).body, "session=named");
}

TEST_F(HttpClientTest, CookieTheServerExpiresLeavesTheJar)
{
    server.setHandler([](const RecordedRequest& request) {
        if (request.path == "/logout")
            return Reply{200, "", "text/plain", {{"Set-Cookie", "session=; Path=/; Max-Age=0"}}};
        return Reply{200, "", "text/plain", {{"Set-Cookie", "session=1; Path=/"}}};
    });
    client.send(get("/login"));
    EXPECT_EQ(jar->all().size(), 1u);
    client.send(get("/logout"));
    EXPECT_TRUE(jar->all().empty());
}

TEST_F(HttpClientTest, NoCookieRequestNeitherSendsNorKeepsCookies)
{
    server.setHandler([](const RecordedRequest&) {
        return Reply{200, "", "text/plain", {{"Set-Cookie", "fresh=1; Path=/"}}};
    });
    jar->setCookie(Cookie{"127.0.0.1", false, "/", false, false, 0, "stored", "s"});

    HttpRequest request = get("/oauth/access_token");
    request.method = "POST";
    request.sendNoCookies = true;
    ASSERT_FALSE(client.send(request).error.failed());
    EXPECT_FALSE(server.lastRequest().hasHeader("Cookie"));
    ASSERT_EQ(jar->all().size(), 1u);
    EXPECT_EQ(jar->all()[0].name, "stored");

    // The same request with cookies on sends the stored one and keeps the new one.
    request.sendNoCookies = false;
    ASSERT_FALSE(client.send(request).error.failed());
    EXPECT_EQ(server.lastRequest().header("Cookie"), "stored=s");
    EXPECT_EQ(jar->all().size(), 2u);
}

TEST_F(HttpClientTest, IgnoreLocalCacheAsksEveryCacheToStandAside)
{
    HttpRequest request = get("/statuses/update.xml");
    client.send(request);
    EXPECT_FALSE(server.lastRequest().hasHeader("Cache-Control"));
    EXPECT_FALSE(server.lastRequest().hasHeader("Pragma"));

    request.ignoreLocalCache = true;
    client.send(request);
    EXPECT_EQ(server.lastRequest().header("Cache-Control"), "no-cache");
    EXPECT_EQ(server.lastRequest().header("Pragma"), "no-cache");

    // A caller's own value wins and is not doubled.
    request.headers = {{"Cache-Control", "max-age=0"}};
    client.send(request);
    EXPECT_EQ(server.lastRequest().header("Cache-Control"), "max-age=0");
    EXPECT_EQ(server.lastRequest().headerCount("Cache-Control"), 1u);
}

TEST_F(HttpClientTest, SeveralThreadsAtOnce)
{
    server.setHandler([](const RecordedRequest& request) {
        return Reply{200, request.query, "text/plain", {{"Set-Cookie", "t" + request.query + "=1; Path=/"}}};
    });
    std::vector<std::thread> threads;
    std::atomic<int> good{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 5; ++i) {
                const std::string query = std::to_string(t * 10 + i);
                if (client.send(get("/q?" + query)).body == query)
                    ++good;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(good.load(), 20);
    EXPECT_EQ(server.requestCount(), 20u);
}

TEST(UrlErrorCodes, LibcurlFailuresMapToThePlatformCodes)
{
    const std::vector<std::pair<CURLcode, int>> table{
        {CURLE_OK, url_error::kNone},
        {CURLE_COULDNT_RESOLVE_HOST, url_error::kNotConnectedToInternet},
        {CURLE_COULDNT_CONNECT, url_error::kNotConnectedToInternet},
        {CURLE_COULDNT_RESOLVE_PROXY, url_error::kNotConnectedToInternet},
        {CURLE_OPERATION_TIMEDOUT, url_error::kTimedOut},
        {CURLE_URL_MALFORMAT, url_error::kBadUrl},
        {CURLE_UNSUPPORTED_PROTOCOL, url_error::kUnsupportedUrl},
        {CURLE_TOO_MANY_REDIRECTS, url_error::kTooManyRedirects},
        {CURLE_RECV_ERROR, url_error::kNetworkConnectionLost},
        {CURLE_GOT_NOTHING, url_error::kNetworkConnectionLost},
        {CURLE_WEIRD_SERVER_REPLY, url_error::kBadServerResponse},
        {CURLE_FILESIZE_EXCEEDED, url_error::kDataLengthExceedsMaximum},
        {CURLE_PEER_FAILED_VERIFICATION, url_error::kServerCertificateUntrusted},
        {CURLE_SSL_CONNECT_ERROR, url_error::kSecureConnectionFailed},
        {CURLE_SSL_CACERT_BADFILE, url_error::kSecureConnectionFailed},
        {CURLE_OUT_OF_MEMORY, url_error::kUnknown},
    };
    for (const auto& [curlCode, code] : table)
        EXPECT_EQ(urlErrorFromCurlCode(curlCode), code) << curl_easy_strerror(curlCode);
    EXPECT_EQ(url_error::kNotConnectedToInternet, -1009);
    EXPECT_EQ(url_error::kTimedOut, -1001);
}

// --- HTTPS -------------------------------------------------------------------

class HttpsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(authority.valid());
        ASSERT_TRUE(server.start());
    }

    testsupport::TestCertificateAuthority authority;
    LocalHttpServer server{authority, [](const RecordedRequest&) { return Reply{200, "secret"}; }};
};

TEST_F(HttpsTest, TrustsTheTestAuthorityOnlyWhenItsBundleIsConfigured)
{
    CurlHttpClient trusting(CurlHttpClient::Options{authority.caBundlePath(), std::make_shared<CookieJar>()});
    for (const std::string& url : {server.url("/a"), "https://localhost:" + std::to_string(server.port()) + "/a"}) {
        const HttpResponse response = trusting.send(makeRequest("GET", url, 5s));
        EXPECT_FALSE(response.error.failed()) << url << ": " << response.error.description;
        EXPECT_EQ(response.body, "secret");
    }

    CurlHttpClient systemStore(CurlHttpClient::Options{{}, std::make_shared<CookieJar>()});
    const HttpResponse refused = systemStore.send(makeRequest("GET", server.url("/a"), 5s));
    EXPECT_EQ(refused.error.code, url_error::kServerCertificateUntrusted) << refused.error.description;
    EXPECT_TRUE(refused.body.empty());
    EXPECT_EQ(server.requestCount(), 2u);  // the refused request never reached a handler
}

TEST_F(HttpsTest, AnotherAuthorityIsNotTrusted)
{
    testsupport::TestCertificateAuthority other;
    ASSERT_TRUE(other.valid());
    CurlHttpClient client(CurlHttpClient::Options{other.caBundlePath(), std::make_shared<CookieJar>()});
    EXPECT_EQ(client.send(makeRequest("GET", server.url("/a"), 5s)).error.code,
              url_error::kServerCertificateUntrusted);
}

TEST_F(HttpsTest, UnreadableBundleFailsSecurely)
{
    CurlHttpClient client(CurlHttpClient::Options{"/nonexistent/ca.pem", std::make_shared<CookieJar>()});
    const HttpResponse response = client.send(makeRequest("GET", server.url("/a"), 5s));
    EXPECT_EQ(response.error.code, url_error::kSecureConnectionFailed) << response.error.description;
    EXPECT_EQ(server.requestCount(), 0u);
}

// --- Network check ------------------------------------------------------------

TEST_F(HttpClientTest, NetworkCheckAsksTheConfiguredHost)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QSettings settings(folder.filePath("hosts.ini"), QSettings::IniFormat);
    settings.setValue(ServiceConfig::settingsKey(ServiceHost::NetworkCheck), QString::fromStdString(server.baseUrl()));
    const ServiceConfig config(settings);

    server.setHandler([](const RecordedRequest&) { return Reply{404, ""}; });  // any answer means reachable
    jar->setCookie(Cookie{"127.0.0.1", false, "/", false, false, 0, "c", "1"});
    EXPECT_TRUE(isNetworkReachable(client, config));
    const RecordedRequest sent = server.lastRequest();
    EXPECT_EQ(sent.method, "HEAD");
    EXPECT_EQ(sent.path, "/");
    EXPECT_FALSE(sent.hasHeader("Cookie"));

    server.stop();
    EXPECT_FALSE(isNetworkReachable(client, config, 1s));
    EXPECT_FALSE(isHostReachable(client, "not a url"));
}

} // namespace
