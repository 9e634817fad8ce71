#include "share/services/TwitterProtocol.h"

#include "share/services/CookieJar.h"
#include "share/services/CredentialStore.h"
#include "share/services/OAuth.h"
#include "share/services/ServiceConfig.h"

#include "platform/SystemLog.h"
#include "tests/support/LocalHttpServer.h"
#include "tests/support/RecordingHttpClient.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QSettings>
#include <QTemporaryDir>

#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>

namespace {

using namespace services;
using namespace std::chrono_literals;
using testsupport::LocalHttpServer;
using testsupport::RecordingClient;
using testsupport::RecordedRequest;
using testsupport::Reply;

constexpr char kNonce[] = "7D2F4C1A-9B3E-4F60-8A15-C2D9E0B7F341";
constexpr char kTimestamp[] = "1300000000";
constexpr char kToken[] = "819797-Jxq8aYUDRmykzVKrgoLhXSq67TEa5ruc4GJC2rWimw";
constexpr char kTokenSecret[] = "J6zix3FfA9LofH0awS24M3HcBYXO5nI1iYe8EfBA";
const std::string kAccessTokenAnswer =
    std::string("oauth_token=") + kToken + "&oauth_token_secret=" + kTokenSecret + "&user_id=819797&screen_name=episod";
constexpr char kPostedAnswer[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<status>\n  <created_at>Tue Mar 15 12:00:00 +0000 2011</created_at>\n"
    "  <id>47633476853682176</id>\n  <text>hello</text>\n</status>\n";

OAuthClock fixedClock()
{
    return OAuthClock{[] { return std::string(kNonce); },
                      [] { return std::chrono::system_clock::time_point{std::chrono::seconds(1300000000)}; }};
}

// ---- Pieces ------------------------------------------------------------------

TEST(TwitterAccessTokenAnswer, PairsAndWhatCountsAsALogin)
{
    struct Case {
        std::string answer;
        std::size_t pairs;
        bool valid;
    };
    const std::vector<Case> cases{
        {kAccessTokenAnswer, 4, true},
        {"oauth_token=t&oauth_token_secret=s", 2, true},
        {"error=Invalid user name or password", 1, false},  // one "=": one pair
        {"Failed to validate oauth signature and token", 0, false},
        {"", 0, false},
        {"a=b=c&oauth_token=t", 1, false},                 // a piece with two "=" is skipped
        {"user_id=1&screen_name=x", 2, false},             // two pairs but no token
        {"oauth_token=&oauth_token_secret=s", 2, false},   // an empty token is no token
        {"<html><body>Service unavailable</body></html>", 0, false},
        {"&&&=&oauth_token=t&&oauth_token_secret=s&", 3, true},
    };
    for (const Case& c : cases) {
        TwitterAccessToken token;
        token.values = parseTwitterAccessToken(c.answer);
        EXPECT_EQ(token.values.size(), c.pairs) << c.answer;
        EXPECT_EQ(token.valid(), c.valid) << c.answer;
    }
    TwitterAccessToken token;
    token.values = parseTwitterAccessToken(kAccessTokenAnswer);
    EXPECT_EQ(token.token(), kToken);
    EXPECT_EQ(token.tokenSecret(), kTokenSecret);
    EXPECT_EQ(token.values.at("screen_name"), "episod");
}

TEST(TwitterStatusAnswer, OutcomeCodes)
{
    const std::vector<std::pair<std::string, TweetOutcome>> cases{
        {kPostedAnswer, TweetOutcome::Posted},
        {"<status><id>1</id><error>Status is a duplicate.</error></status>", TweetOutcome::Duplicate},
        {"<status><id>1</id><error>Status is a duplicate.</error><error>Other</error></status>",
         TweetOutcome::Duplicate},
        {"<status><id>1</id><error>Other</error><error>Status is a duplicate.</error></status>",
         TweetOutcome::Failed},
        {"<status><id>1</id><error>Could not authenticate you.</error></status>", TweetOutcome::Failed},
        {"<hash><request>/statuses/update.xml</request><error>Status is a duplicate.</error></hash>",
         TweetOutcome::Failed},
        {"<hash><error>Could not authenticate you.</error></hash>", TweetOutcome::Failed},
        {"", TweetOutcome::Failed},
        {"Status is a duplicate.", TweetOutcome::Failed},
        {"<html><body><h1>502 Bad Gateway</h1></body></html>", TweetOutcome::Failed},
        // Entities are never expanded: the error reads as empty, not as the duplicate text.
        {"<!DOCTYPE s [<!ENTITY d \"Status is a duplicate.\">]><status><id>1</id><error>&d;</error></status>",
         TweetOutcome::Failed},
    };
    for (const auto& [answer, outcome] : cases)
        EXPECT_EQ(tweetOutcomeFromAnswer(answer), outcome) << answer;
}

TEST(TwitterStatusAnswer, HostileEntityExpansionIsNotExpanded)
{
    std::string doc = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
    doc += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">";
    for (int i = 2; i <= 9; ++i) {
        const std::string prev = "&lol" + std::to_string(i - 1) + ";";
        doc += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            doc += prev;
        doc += "\">";
    }
    doc += "]><status><error>&lol9;</error><id>&lol9;</id></status>";
    EXPECT_EQ(tweetOutcomeFromAnswer(doc), TweetOutcome::Failed);
}

TEST(TwitterOutcome, AlertsOfTheOutcomeCodes)
{
    struct Case {
        TweetOutcome outcome;
        bool completed;
        const char* title;
        const char* message;
    };
    const std::vector<Case> cases{
        {TweetOutcome::LoginFailed, false, "ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ERROR_MSG"},
        {TweetOutcome::Posted, true, "", ""},
        {TweetOutcome::Failed, false, "ERROR_FAIL", "ERROR_UPLOAD_FAIL_MSG"},
        {TweetOutcome::Offline, false, "ERROR", "ERROR_INTERNET_CONNECTION_OFFLINE_MSG"},
        {TweetOutcome::Duplicate, false, "ERROR", "ERROR_SHORT_TIME_MSG"},
    };
    for (const Case& c : cases) {
        const ShareOutcome outcome = shareOutcomeForTweet(c.outcome);
        EXPECT_EQ(outcome.completed, c.completed) << int(c.outcome);
        EXPECT_EQ(outcome.titleKey, c.title) << int(c.outcome);
        EXPECT_EQ(outcome.messageKey, c.message) << int(c.outcome);
    }
}

TEST(TwitterCounter, RemainingCharactersPerHost)
{
    using Colour = TweetCounter::Colour;
    struct Case {
        std::string caption;
        std::string host;
        int remaining;
        Colour colour;
        bool sendEnabled;
    };
    const std::string e = "\xc3\xa9";                 // one UTF-16 unit
    const std::string emoji = "\xf0\x9f\x98\x80";     // two UTF-16 units
    const std::vector<Case> cases{
        {"", "twitpic", 114, Colour::LightGrey, true},
        {std::string(117, 'a'), "yfrog", -1, Colour::Red, false},
        {std::string(117, 'a'), "twitpic", -3, Colour::Red, false},
        {std::string(118, 'a'), "mobypicture", 0, Colour::Red, true},
        {std::string(119, 'a'), "mobypicture", -1, Colour::Red, false},
        {std::string(94, 'a'), "twitpic", 20, Colour::LightGrey, true},
        {std::string(95, 'a'), "twitpic", 19, Colour::Orange, true},
        {std::string(104, 'a'), "twitpic", 10, Colour::Orange, true},
        {std::string(105, 'a'), "twitpic", 9, Colour::Red, true},
        {std::string(140, 'a'), "img.ly", 0, Colour::Red, true},  // not a host of the table: no reserve
        {e + e + e, "yfrog", 113, Colour::LightGrey, true},
        {emoji, "yfrog", 114, Colour::LightGrey, true},
    };
    for (const Case& c : cases) {
        const TweetCounter counter = tweetCounter(c.caption, c.host);
        EXPECT_EQ(counter.remaining, c.remaining) << c.caption.size() << " " << c.host;
        EXPECT_EQ(counter.colour, c.colour) << c.caption.size() << " " << c.host;
        EXPECT_EQ(counter.sendEnabled, c.sendEnabled) << c.caption.size() << " " << c.host;
    }
}

// ---- The whole tweet against a local server ----------------------------------

// Forwards to libcurl and remembers what was asked for; can shorten the
// time-out to make a silent server fail quickly.
class TwitterFlowTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::bypassProxies();
    }

    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        m_previousSink = platform::setSystemLogSink([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(m_mutex);
            logLines.push_back(line);
        });
        server.setHandler([this](const RecordedRequest& request) { return answer(request); });
        ASSERT_TRUE(server.start());
        useBase(server.baseUrl());

        QImage pixels(24, 16, QImage::Format_RGB32);
        pixels.fill(qRgb(200, 120, 40));
        photo = platform::Image(pixels);
        jpeg = photo.jpegData(0.95).toStdString();
        ASSERT_FALSE(jpeg.empty());

        resetReplies();
    }

    void TearDown() override { platform::setSystemLogSink(std::move(m_previousSink)); }

    // The answers of a service that accepts everything.
    void resetReplies()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        replies = {
            {"/oauth/access_token", Reply{200, kAccessTokenAnswer, "text/plain"}},
            {"/statuses/update.xml", Reply{200, kPostedAnswer, "application/xml"}},
            {"/", Reply{200,
                        "<?xml version=\"1.0\"?><rsp><result code=\"0\"><mediaid>6hdlg</mediaid>"
                        "<url>http://moby.to/6hdlg</url><url>http://moby.to/second</url></result></rsp>",
                        "text/xml"}},
            {"/1/upload.xml", Reply{200,
                                    "<?xml version=\"1.0\"?><image><id>1lacuz</id><text>t</text>"
                                    "<url>http://twitpic.com/1lacuz</url><width>24</width></image>",
                                    "text/xml"}},
            {"/api/upload", Reply{200,
                                  "<?xml version=\"1.0\"?><rsp stat=\"ok\"><mediaid>h4ps2s</mediaid>"
                                  "<mediaurl>http://yfrog.com/h4ps2s</mediaurl></rsp>",
                                  "text/xml"}},
        };
    }

    void useBase(const std::string& base)
    {
        for (ServiceHost host : {ServiceHost::TwitterAuth, ServiceHost::TwitterApi, ServiceHost::MobyPicture,
                                 ServiceHost::Twitpic, ServiceHost::Yfrog, ServiceHost::NetworkCheck})
            settings.setValue(ServiceConfig::settingsKey(host), QString::fromStdString(base));
        config = std::make_unique<ServiceConfig>(settings);
    }

    Reply answer(const RecordedRequest& request)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = replies.find(request.path);
        return it == replies.end() ? Reply{404, "no such path"} : it->second;
    }

    void reply(const std::string& path, Reply r)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        replies[path] = std::move(r);
    }

    TwitterPostRequest tweet(std::string host) const
    {
        TwitterPostRequest request;
        request.userName = "episod";
        request.password = "s3cr&t pw";
        request.caption = "Created with Nimbalight for iPhone.";
        request.imageHost = std::move(host);
        request.photo = photo;
        request.networkCheck = [] { return true; };
        request.clock = fixedClock();
        return request;
    }

    ShareOutcome run(const TwitterPostRequest& request) { return postToTwitter(request, client, store, *config); }

    std::vector<std::string> paths() const
    {
        std::vector<std::string> out;
        for (const RecordedRequest& r : server.requests())
            out.push_back(r.path);
        return out;
    }

    std::vector<std::string> logs()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return logLines;
    }

    // Checks the OAuth header of a received request against a signature
    // recomputed from what arrived (header and query parameters), and
    // returns the base string it was computed from.
    std::string expectSigned(const RecordedRequest& request, const std::string& tokenSecret,
                             const std::string& expectedHeaderFormat)
    {
        const std::string header = request.header("Authorization");
        OAuthParameters parameters;
        std::string signature;
        for (auto& [name, value] : parseOAuthAuthorizationHeader(header)) {
            if (name == "oauth_signature")
                signature = value;
            else
                parameters.emplace_back(name, value);
        }
        for (auto& pair : parseOAuthQuery(request.query))
            parameters.push_back(pair);
        const std::string base = oauthSignatureBaseString(request.method, server.url(request.path), parameters);
        const std::string expected =
            oauthHmacSha1Signature(base, oauthSigningKey(TwitterKeys{}.consumerSecret, tokenSecret));
        EXPECT_EQ(signature, expected) << base;
        std::string format = expectedHeaderFormat;
        format.replace(format.find("SIG"), 3, oauthPercentEncode(expected));
        // The test server hands header values over percent-decoded; the raw
        // form is checked on the client's side (expectRawSignatureEncoded).
        EXPECT_EQ(header, oauthPercentDecode(format));
        return base;
    }

    void expectAccessTokenRequest(const RecordedRequest& r, const std::string& user, const std::string& password)
    {
        EXPECT_EQ(r.method, "POST");
        EXPECT_EQ(r.path, "/oauth/access_token");
        EXPECT_EQ(r.query, "x_auth_mode=client_auth&x_auth_password=" + oauthPercentEncode(password) +
                               "&x_auth_username=" + oauthPercentEncode(user));
        EXPECT_EQ(r.header("Content-Type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(r.header("Cache-Control"), "no-cache");
        EXPECT_FALSE(r.hasHeader("Cookie"));
        EXPECT_TRUE(r.body.empty());
        expectSigned(r, "",
                     std::string("OAuth oauth_nonce=\"") + kNonce +
                         "\", oauth_signature_method=\"HMAC-SHA1\", oauth_timestamp=\"" + kTimestamp +
                         "\", oauth_consumer_key=\"" + kTwitterConsumerKey +
                         "\", oauth_signature=\"SIG\", oauth_version=\"1.0\"");
    }

    std::string expectStatusRequest(const RecordedRequest& r, const std::string& status)
    {
        EXPECT_EQ(r.method, "POST");
        EXPECT_EQ(r.path, "/statuses/update.xml");
        EXPECT_EQ(r.query, "status=" + oauthPercentEncode(status));
        EXPECT_EQ(r.header("Content-Type"), "application/x-www-form-urlencoded");
        EXPECT_FALSE(r.hasHeader("Cookie"));
        EXPECT_TRUE(r.body.empty());
        return expectSigned(r, kTokenSecret,
                            std::string("OAuth oauth_nonce=\"") + kNonce +
                                "\", oauth_signature_method=\"HMAC-SHA1\", oauth_timestamp=\"" + kTimestamp +
                                "\", oauth_consumer_key=\"" + kTwitterConsumerKey + "\", oauth_token=\"" + kToken +
                                "\", oauth_signature=\"SIG\", oauth_version=\"1.0\"");
    }

    // The signature in a sent Authorization header is percent-encoded.
    static void expectRawSignatureEncoded(const HttpRequest& sent)
    {
        for (const auto& [name, value] : sent.headers) {
            if (name != "Authorization")
                continue;
            const std::size_t start = value.find("oauth_signature=\"");
            ASSERT_NE(start, std::string::npos) << value;
            const std::size_t from = start + std::string_view("oauth_signature=\"").size();
            const std::string signature = value.substr(from, value.find('"', from) - from);
            EXPECT_EQ(signature.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789%"),
                      std::string::npos)
                << signature;
            EXPECT_EQ(signature.size(), oauthPercentEncode(oauthPercentDecode(signature)).size());
            return;
        }
        ADD_FAILURE() << "no Authorization header: " << sent.url;
    }

    void storeOldCredentials()
    {
        ASSERT_TRUE(store.createOrUpdateTwitterDatabase("olduser", "oldpass"));
        ASSERT_TRUE(store.socialUpdateFromDatabase(kThirdPartyKey, "yfrog"));
    }

    void expectOldCredentials()
    {
        const std::optional<TwitterLogin> login = store.getTwitterFromDatabase();
        ASSERT_TRUE(login.has_value());
        EXPECT_EQ(login->userName, "olduser");
        EXPECT_EQ(login->password, "oldpass");
        EXPECT_EQ(store.getSocialDataFromDatabase(), std::optional<QString>("yfrog"));
    }

    std::mutex m_mutex;  // guards replies and logLines, which the server's threads use
    std::map<std::string, Reply> replies;
    std::vector<std::string> logLines;
    platform::SystemLogSink m_previousSink;
    QTemporaryDir folder;
    QSettings settings{folder.filePath("Nimbalight.ini"), QSettings::IniFormat};
    std::unique_ptr<ServiceConfig> config;
    CredentialStore store{folder.filePath("upload.sqlite")};
    RecordingClient client;
    platform::Image photo;
    std::string jpeg;
    LocalHttpServer server;  // last: stopped before anything its handler uses goes
};

TEST_F(TwitterFlowTest, TweetsThroughEachHostAndStoresTheLogin)
{
    struct Case {
        std::string host;
        std::vector<std::string> paths;
        std::string uploadPath;
        std::string address;
        std::string body;
    };
    const std::string caption = "Created with Nimbalight for iPhone.";
    const std::string tail = "Content-Transfer-Encoding: binary\r\n\r\n" + jpeg + "\r\n--Larch_Wise_Boundary--\r\n";
    const auto text = [](const std::string& name, const std::string& value) {
        return "--Larch_Wise_Boundary\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value +
               "\r\n";
    };
    const std::vector<Case> cases{
        {"mobypicture",
         {"/", "/oauth/access_token", "/statuses/update.xml"},
         "/",
         "http://moby.to/6hdlg",
         text("u", "episod") + text("p", "s3cr&t pw") + text("s", "none") + text("k", kMobyPictureDeveloperKey) +
             text("d", caption) + text("format", "xml") +
             "--Larch_Wise_Boundary\r\nContent-Disposition: form-data; name=\"i\"; filename=\"m1.jpg\"\r\n"
             "Content-Type: image/jpeg\r\n" +
             tail},
        {"twitpic",
         {"/oauth/access_token", "/1/upload.xml", "/statuses/update.xml"},
         "/1/upload.xml",
         "http://twitpic.com/1lacuz",
         text("key", kTwitpicApiKey) + text("consumer_token", kTwitterConsumerKey) +
             text("consumer_secret", kTwitterConsumerSecret) + text("oauth_token", kToken) +
             text("oauth_secret", kTokenSecret) + text("message", caption) +
             "--Larch_Wise_Boundary\r\nContent-Disposition: form-data; name=\"media\"; filename=\"m1.jpg\"\r\n"
             "Content-Type: image/png\r\n" +
             tail},
        {"yfrog",
         {"/api/upload", "/oauth/access_token", "/statuses/update.xml"},
         "/api/upload",
         "http://yfrog.com/h4ps2s",
         text("username", "episod") + text("password", "s3cr&t pw") + text("message", caption) +
             "--Larch_Wise_Boundary\r\nContent-Disposition: form-data; name=\"media\"; filename=\"m1.jpg\"\r\n"
             "Content-Type: image/png\r\n" +
             tail},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        server.clearRequests();
        client.sent.clear();

        const ShareOutcome outcome = run(tweet(c.host));
        EXPECT_TRUE(outcome.completed) << outcome.titleKey << " " << outcome.messageKey;
        ASSERT_EQ(paths(), c.paths);

        for (const RecordedRequest& r : server.requests()) {
            if (r.path == c.uploadPath) {
                EXPECT_EQ(r.method, "POST");
                EXPECT_EQ(r.header("Content-Type"), "multipart/form-data; boundary=Larch_Wise_Boundary");
                EXPECT_EQ(r.body, c.body);
            } else if (r.path == "/oauth/access_token") {
                expectAccessTokenRequest(r, "episod", "s3cr&t pw");
            } else {
                expectStatusRequest(r, caption + " " + c.address);
            }
        }
        for (const HttpRequest& sent : client.sent) {
            EXPECT_EQ(sent.timeout, 30s);
            const bool oauth = sent.url.find("/oauth/") != std::string::npos ||
                               sent.url.find("/statuses/") != std::string::npos;
            EXPECT_EQ(sent.ignoreLocalCache, oauth) << sent.url;
            EXPECT_EQ(sent.sendNoCookies, oauth) << sent.url;
            if (oauth)
                expectRawSignatureEncoded(sent);
        }

        const std::optional<TwitterLogin> login = store.getTwitterFromDatabase();
        ASSERT_TRUE(login.has_value());
        EXPECT_EQ(login->userName, "episod");
        EXPECT_EQ(login->password, "s3cr&t pw");
        EXPECT_EQ(store.getSocialDataFromDatabase(), std::optional<QString>(QString::fromStdString(c.host)));
    }
    for (const std::string& line : logs())
        EXPECT_EQ(line.find("s3cr"), std::string::npos) << line;
}

TEST_F(TwitterFlowTest, RetiredOrUnknownHostsUploadToTwitpicAndStoreIt)
{
    for (const std::string host : {"img.ly", "", "somewhere"}) {
        SCOPED_TRACE(host);
        server.clearRequests();
        EXPECT_TRUE(run(tweet(host)).completed);
        EXPECT_EQ(paths(), (std::vector<std::string>{"/oauth/access_token", "/1/upload.xml", "/statuses/update.xml"}));
        EXPECT_EQ(store.getSocialDataFromDatabase(), std::optional<QString>("twitpic"));
    }
}

TEST_F(TwitterFlowTest, PreconditionsStopBeforeAnyRequest)
{
    storeOldCredentials();
    struct Case {
        std::string name;
        std::function<void(TwitterPostRequest&)> change;
        const char* title;
        const char* message;
    };
    const std::vector<Case> cases{
        {"no user name", [](TwitterPostRequest& r) { r.userName.clear(); }, "ERROR", "ENTER_USERNAME"},
        {"no password", [](TwitterPostRequest& r) { r.password.clear(); }, "ERROR", "ENTER_PASSWORD"},
        {"neither", [](TwitterPostRequest& r) {
             r.userName.clear();
             r.password.clear();
         }, "ERROR", "ENTER_USERNAME"},
        {"offline", [](TwitterPostRequest& r) { r.networkCheck = [] { return false; }; },
         "ERROR_INTERNET_CONNECTION_CHECK_TITLE", "ERROR_INTERNET_CONNECTION_CHECK_MSG"},
        {"no photo", [](TwitterPostRequest& r) { r.photo = platform::Image(); }, "ERROR", "NO_PHOTO_MSG"},
    };
    for (const std::string host : {"mobypicture", "twitpic", "yfrog"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(host + ": " + c.name);
            TwitterPostRequest request = tweet(host);
            c.change(request);
            const ShareOutcome outcome = run(request);
            EXPECT_FALSE(outcome.completed);
            EXPECT_EQ(outcome.titleKey, c.title);
            EXPECT_EQ(outcome.messageKey, c.message);
        }
    }
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_TRUE(client.sent.empty());
    expectOldCredentials();
}

TEST_F(TwitterFlowTest, TheDefaultNetworkCheckAsksTheConfiguredHost)
{
    TwitterPostRequest request = tweet("twitpic");
    request.networkCheck = nullptr;
    EXPECT_TRUE(run(request).completed);
    ASSERT_FALSE(client.sent.empty());
    EXPECT_EQ(client.sent.front().method, "HEAD");
    EXPECT_EQ(paths().front(), "/");
}

TEST_F(TwitterFlowTest, RefusalsEndInTheirAlertAndKeepTheStoredLogin)
{
    storeOldCredentials();
    struct Case {
        std::string name;
        std::string host;
        std::map<std::string, Reply> replies;
        std::vector<std::string> paths;
        const char* title;
        const char* message;
    };
    const Reply refusedLogin{401, "Failed to validate oauth signature and token"};
    const Reply onePair{401, "error=Invalid user name or password"};
    const std::vector<Case> cases{
        {"twitpic, login refused: no photo is sent", "twitpic", {{"/oauth/access_token", refusedLogin}},
         {"/oauth/access_token"}, "ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ERROR_MSG"},
        {"twitpic, one pair", "twitpic", {{"/oauth/access_token", onePair}}, {"/oauth/access_token"},
         "ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ERROR_MSG"},
        {"twitpic, answer without address", "twitpic",
         {{"/1/upload.xml", Reply{401, "<rsp stat=\"fail\"><err code=\"401\" msg=\"Unauthorized\"/></rsp>"}}},
         {"/oauth/access_token", "/1/upload.xml"}, "ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ERROR_MSG"},
        {"twitpic, empty address", "twitpic", {{"/1/upload.xml", Reply{200, "<image><url>  </url></image>"}}},
         {"/oauth/access_token", "/1/upload.xml"}, "ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ERROR_MSG"},
        {"mobypicture, answer without address", "mobypicture",
         {{"/", Reply{200, "<rsp><result code=\"2\"><message>bad login</message></result></rsp>"}}}, {"/"},
         "ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ERROR_MSG"},
        {"mobypicture, empty answer", "mobypicture", {{"/", Reply{200, ""}}}, {"/"}, "ERROR_LOGIN_ERROR_TITLE",
         "ERROR_LOGIN_ERROR_MSG"},
        {"mobypicture, login refused after upload", "mobypicture", {{"/oauth/access_token", refusedLogin}},
         {"/", "/oauth/access_token"}, "ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ERROR_MSG"},
        {"yfrog, truncated answer", "yfrog", {{"/api/upload", Reply{200, "<rsp stat=\"ok\"><mediaurl>"}}},
         {"/api/upload"}, "ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ERROR_MSG"},
        {"yfrog, html error page", "yfrog", {{"/api/upload", Reply{500, "<html><body>oops</body></html>"}}},
         {"/api/upload"}, "ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ERROR_MSG"},
        {"yfrog, address only in an entity", "yfrog",
         {{"/api/upload", Reply{200, "<!DOCTYPE r [<!ENTITY u \"http://evil/\">]><rsp><mediaurl>&u;</mediaurl></rsp>"}}},
         {"/api/upload"}, "ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ERROR_MSG"},
        {"duplicate status", "yfrog",
         {{"/statuses/update.xml", Reply{403, "<status><id>1</id><error>Status is a duplicate.</error></status>"}}},
         {"/api/upload", "/oauth/access_token", "/statuses/update.xml"}, "ERROR", "ERROR_SHORT_TIME_MSG"},
        {"status refused without id", "twitpic",
         {{"/statuses/update.xml",
           Reply{403, "<hash><request>/statuses/update.xml</request><error>Status is a duplicate.</error></hash>"}}},
         {"/oauth/access_token", "/1/upload.xml", "/statuses/update.xml"}, "ERROR_FAIL", "ERROR_UPLOAD_FAIL_MSG"},
        {"status answer empty", "mobypicture", {{"/statuses/update.xml", Reply{200, ""}}},
         {"/", "/oauth/access_token", "/statuses/update.xml"}, "ERROR_FAIL", "ERROR_UPLOAD_FAIL_MSG"},
        {"status answer malformed", "mobypicture", {{"/statuses/update.xml", Reply{200, "<<<>>>&&&"}}},
         {"/", "/oauth/access_token", "/statuses/update.xml"}, "ERROR_FAIL", "ERROR_UPLOAD_FAIL_MSG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetReplies();
        for (const auto& [path, r] : c.replies)
            reply(path, r);
        server.clearRequests();

        const ShareOutcome outcome = run(tweet(c.host));
        EXPECT_FALSE(outcome.completed);
        EXPECT_EQ(outcome.titleKey, c.title);
        EXPECT_EQ(outcome.messageKey, c.message);
        EXPECT_EQ(paths(), c.paths);
        expectOldCredentials();
    }
}

TEST_F(TwitterFlowTest, RefusedConnectionIsOffline)
{
    storeOldCredentials();
    const std::string base = server.baseUrl();
    server.stop();
    useBase(base);
    for (const std::string host : {"mobypicture", "twitpic", "yfrog"}) {
        SCOPED_TRACE(host);
        client.sent.clear();
        const ShareOutcome outcome = run(tweet(host));
        EXPECT_FALSE(outcome.completed);
        EXPECT_EQ(outcome.titleKey, "ERROR");
        EXPECT_EQ(outcome.messageKey, "ERROR_INTERNET_CONNECTION_OFFLINE_MSG");
        EXPECT_EQ(client.sent.size(), 1u);  // the first request fails; nothing follows
    }
    expectOldCredentials();
}

TEST_F(TwitterFlowTest, RefusedStatusConnectionIsOffline)
{
    // Host upload and token from the server, the status update to a closed port.
    LocalHttpServer closed;
    ASSERT_TRUE(closed.start());
    const std::string closedBase = closed.baseUrl();
    closed.stop();
    settings.setValue(ServiceConfig::settingsKey(ServiceHost::TwitterApi), QString::fromStdString(closedBase));
    config = std::make_unique<ServiceConfig>(settings);

    const ShareOutcome outcome = run(tweet("yfrog"));
    EXPECT_EQ(outcome.titleKey, "ERROR");
    EXPECT_EQ(outcome.messageKey, "ERROR_INTERNET_CONNECTION_OFFLINE_MSG");
    EXPECT_EQ(paths(), (std::vector<std::string>{"/api/upload", "/oauth/access_token"}));
    EXPECT_FALSE(store.getTwitterFromDatabase().has_value());
    bool logged = false;
    for (const std::string& line : logs())
        logged = logged || line.rfind("Error = ", 0) == 0;
    EXPECT_TRUE(logged);
}

TEST_F(TwitterFlowTest, TimeOutIsAFailedUpload)
{
    storeOldCredentials();
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    const auto silent = [&](const std::string& path) {
        server.setHandler([&, path](const RecordedRequest& request) {
            if (request.path == path) {
                std::unique_lock<std::mutex> lock(mutex);
                released.wait_for(lock, 10s, [&] { return release; });
            }
            return answer(request);
        });
    };
    client.timeoutCap = 300ms;
    for (const auto& [host, path] : std::vector<std::pair<std::string, std::string>>{
             {"twitpic", "/oauth/access_token"}, {"yfrog", "/api/upload"}, {"mobypicture", "/statuses/update.xml"}}) {
        SCOPED_TRACE(host + " " + path);
        silent(path);
        const ShareOutcome outcome = run(tweet(host));
        EXPECT_FALSE(outcome.completed);
        EXPECT_EQ(outcome.titleKey, "ERROR_FAIL");
        EXPECT_EQ(outcome.messageKey, "ERROR_UPLOAD_FAIL_MSG");
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
    }
    released.notify_all();
    server.stop();
    expectOldCredentials();
}

TEST_F(TwitterFlowTest, OversizedHostAnswerIsAFailedUpload)
{
    storeOldCredentials();
    reply("/api/upload", Reply{200, "<rsp><mediaurl>http://yfrog.com/x</mediaurl>" + std::string(17u << 20, ' ') + "</rsp>"});
    const ShareOutcome outcome = run(tweet("yfrog"));
    EXPECT_EQ(outcome.titleKey, "ERROR_FAIL");
    EXPECT_EQ(outcome.messageKey, "ERROR_UPLOAD_FAIL_MSG");
    EXPECT_EQ(paths(), std::vector<std::string>{"/api/upload"});
    expectOldCredentials();
}

TEST_F(TwitterFlowTest, CaptionAndPasswordAreEncodedByteByByteAndSigned)
{
    TwitterPostRequest request = tweet("twitpic");
    request.userName = "user+name@example.com";
    request.password = "100% sure";
    request.caption = "Caf\xc3\xa9 & bar #tag ~ok*";
    ASSERT_TRUE(run(request).completed);
    const std::vector<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);

    EXPECT_EQ(requests[0].query, "x_auth_mode=client_auth&x_auth_password=100%25%20sure"
                                 "&x_auth_username=user%2Bname%40example.com");
    expectAccessTokenRequest(requests[0], request.userName, request.password);
    const std::string tokenBase = expectSigned(
        requests[0], "",
        std::string("OAuth oauth_nonce=\"") + kNonce + "\", oauth_signature_method=\"HMAC-SHA1\", oauth_timestamp=\"" +
            kTimestamp + "\", oauth_consumer_key=\"" + kTwitterConsumerKey +
            "\", oauth_signature=\"SIG\", oauth_version=\"1.0\"");
    EXPECT_NE(tokenBase.find("x_auth_password%3D100%2525%2520sure"), std::string::npos) << tokenBase;

    const std::string status = request.caption + " http://twitpic.com/1lacuz";
    EXPECT_EQ(requests[2].query, "status=Caf%C3%A9%20%26%20bar%20%23tag%20~ok%2A%20http%3A%2F%2Ftwitpic.com%2F1lacuz");
    const std::string statusBase = expectStatusRequest(requests[2], status);
    EXPECT_NE(statusBase.find("status%3DCaf%25C3%25A9%2520%2526%2520bar%2520%2523tag"), std::string::npos)
        << statusBase;
    // The multipart caption goes as UTF-8, unescaped.
    EXPECT_NE(requests[1].body.find("name=\"message\"\r\n\r\nCaf\xc3\xa9 & bar #tag ~ok*\r\n"), std::string::npos);

    const std::optional<TwitterLogin> login = store.getTwitterFromDatabase();
    ASSERT_TRUE(login.has_value());
    EXPECT_EQ(login->userName, "user+name@example.com");
    EXPECT_EQ(login->password, "100% sure");
}

TEST(TwitterRequests, AccessTokenRequestWithoutAServer)
{
    QTemporaryDir folder;
    QSettings settings{folder.filePath("Nimbalight.ini"), QSettings::IniFormat};
    settings.setValue(ServiceConfig::settingsKey(ServiceHost::TwitterAuth), "https://auth.example.test");
    settings.setValue(ServiceConfig::settingsKey(ServiceHost::TwitterApi), "http://api.example.test");
    const ServiceConfig config(settings);
    TwitterKeys keys;
    keys.consumerKey = "ck";
    keys.consumerSecret = "cs";

    const HttpRequest tokenRequest = twitterAccessTokenRequest(config, keys, "u", "p", "N", "1");
    EXPECT_EQ(tokenRequest.url,
              "https://auth.example.test/oauth/access_token?x_auth_mode=client_auth&x_auth_password=p&x_auth_username=u");
    // The base string, written out:
    //   POST&https%3A%2F%2Fauth.example.test%2Foauth%2Faccess_token&oauth_consumer_key%3Dck%26oauth_nonce%3DN
    //   %26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp%3D1%26oauth_version%3D1.0
    //   %26x_auth_mode%3Dclient_auth%26x_auth_password%3Dp%26x_auth_username%3Du
    const std::string signature = oauthHmacSha1Signature(
        "POST&https%3A%2F%2Fauth.example.test%2Foauth%2Faccess_token&oauth_consumer_key%3Dck%26oauth_nonce%3DN"
        "%26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp%3D1%26oauth_version%3D1.0"
        "%26x_auth_mode%3Dclient_auth%26x_auth_password%3Dp%26x_auth_username%3Du",
        "cs&");
    const HttpHeaders expectedHeaders{
        {"Content-Type", "application/x-www-form-urlencoded"},
        {"Authorization", "OAuth oauth_nonce=\"N\", oauth_signature_method=\"HMAC-SHA1\", oauth_timestamp=\"1\", "
                          "oauth_consumer_key=\"ck\", oauth_signature=\"" +
                              oauthPercentEncode(signature) + "\", oauth_version=\"1.0\""}};
    EXPECT_EQ(tokenRequest.headers, expectedHeaders);
    EXPECT_EQ(tokenRequest.method, "POST");
    EXPECT_TRUE(tokenRequest.body.empty());

    TwitterAccessToken token;
    token.values = {{"oauth_token", "t"}, {"oauth_token_secret", "ts"}};
    const HttpRequest statusRequest = twitterStatusUpdateRequest(config, keys, token, "a b", "N", "1");
    EXPECT_EQ(statusRequest.url, "http://api.example.test/statuses/update.xml?status=a%20b");
    const std::string statusSignature = oauthHmacSha1Signature(
        "POST&http%3A%2F%2Fapi.example.test%2Fstatuses%2Fupdate.xml&oauth_consumer_key%3Dck%26oauth_nonce%3DN"
        "%26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp%3D1%26oauth_token%3Dt%26oauth_version%3D1.0"
        "%26status%3Da%2520b",
        "cs&ts");
    EXPECT_EQ(statusRequest.headers.at(1).second,
              "OAuth oauth_nonce=\"N\", oauth_signature_method=\"HMAC-SHA1\", oauth_timestamp=\"1\", "
              "oauth_consumer_key=\"ck\", oauth_token=\"t\", oauth_signature=\"" +
                  oauthPercentEncode(statusSignature) + "\", oauth_version=\"1.0\"");
}

} // namespace
