#include "share/services/FacebookGraphProtocol.h"

#include "platform/SystemLog.h"
#include "share/services/CookieJar.h"
#include "share/services/CredentialStore.h"
#include "share/services/ServiceConfig.h"

#include "tests/support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>
#include <initializer_list>
#include <map>

namespace {

using namespace services;
using testsupport::LocalHttpServer;
using testsupport::RecordedRequest;
using testsupport::Reply;

constexpr char kToken[] = "AAQ1|tok en+9";
// kToken through the Facebook form encoder.
constexpr char kEncodedToken[] = "AAQ1%7Ctok+en%2B9";
constexpr char kBoundary[] = "Larch_Wise_Boundary";

std::string cat(std::initializer_list<std::string_view> pieces)
{
    std::string out;
    for (const std::string_view piece : pieces)
        out += piece;
    return out;
}

Reply json(int status, std::string body) { return Reply(status, std::move(body), "application/json"); }

platform::Image testPhoto()
{
    QImage pixels(16, 12, QImage::Format_ARGB32);
    pixels.fill(QColor(40, 120, 200));
    return platform::Image(pixels);
}

// Both Facebook hosts point at one local server: the Graph host as
// 127.0.0.1, the web host as localhost, so their cookies stay apart.
class FacebookGraphTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::bypassProxies();
    }

    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        server.setHandler([this](const RecordedRequest& request) { return answer(request); });
        ASSERT_TRUE(server.start());
        QSettings settings(folder.filePath("Nimbalight.ini"), QSettings::IniFormat);
        settings.setValue("ServiceHosts/FacebookGraph", QString::fromStdString(server.baseUrl()));
        settings.setValue("ServiceHosts/FacebookWeb", QString("http://localhost:%1").arg(server.port()));
        settings.setValue("ServiceHosts/NetworkCheck", "http://127.0.0.1:9/");
        config = std::make_unique<ServiceConfig>(settings);
        m_previousSink = platform::setSystemLogSink([this](const std::string& line) { logLines.push_back(line); });
    }

    void TearDown() override
    {
        platform::setSystemLogSink(std::move(m_previousSink));
        for (const std::string& line : logLines) {
            EXPECT_EQ(line.find("AAQ1"), std::string::npos) << line;
            EXPECT_EQ(line.find("STORED"), std::string::npos) << line;
        }
    }

    // Answers from the table of paths; anything else is a 404.
    Reply answer(const RecordedRequest& request)
    {
        const auto it = replies.find(request.path);
        return it == replies.end() ? json(404, R"({"error":{"message":"unknown path"}})") : it->second;
    }

    std::string storePath() const { return folder.filePath("upload.sqlite").toStdString(); }
    std::string storedToken() { return store.getFacebookDataFromDatabase(kAuthTokenKey).toStdString(); }
    std::string redirectPage() const { return facebookRedirectUri(*config); }

    // A port nobody listens on.
    static std::string refusedBase()
    {
        LocalHttpServer closed;
        EXPECT_TRUE(closed.start());
        const std::string base = closed.baseUrl();
        closed.stop();
        return base;
    }

    QTemporaryDir folder;
    LocalHttpServer server;
    std::map<std::string, Reply> replies;
    std::unique_ptr<ServiceConfig> config;
    CredentialStore store{folder.filePath("upload.sqlite")};
    std::shared_ptr<CookieJar> jar = std::make_shared<CookieJar>();
    CurlHttpClient client{CurlHttpClient::Options{{}, jar, "Nimbalight"}};
    std::vector<std::string> logLines;
    std::function<bool()> online = [] { return true; };
    std::function<bool()> offline = [] { return false; };

private:
    platform::SystemLogSink m_previousSink;
};

TEST_F(FacebookGraphTest, AddressesAreTheFixedPathsOnTheConfiguredHosts)
{
    const std::string graph = server.baseUrl();
    const std::string web = "http://localhost:" + std::to_string(server.port());
    EXPECT_EQ(facebookRedirectUri(*config), web + "/connect/login_success.html");
    EXPECT_EQ(facebookLoginPageUrl(*config),
              graph + "/oauth/authorize?client_id=104857326191457&redirect_uri=" + web +
                  "/connect/login_success.html&type=user_agent&display=touch"
                  "&scope=publish_stream,user_about_me,user_groups,read_stream");
    EXPECT_EQ(facebookLoginPageUrl(*config, true, "123456789012345"),
              graph + "/oauth/authorize?client_id=123456789012345&redirect_uri=" + web +
                  "/connect/login_success.html&type=user_agent&display=touch"
                  "&scope=publish_stream,user_about_me,user_groups,read_stream,user_photos");
    EXPECT_EQ(facebookTokenCheckUrl(*config, kToken), graph + "/me?access_token=" + kEncodedToken);
    EXPECT_EQ(facebookGroupListUrl(*config, kToken), graph + "/me/groups?access_token=" + kEncodedToken);
    EXPECT_EQ(facebookGroupUrl(*config, "1234", kToken), graph + "/1234?access_token=" + kEncodedToken);
    // An id from an answer stays inside its path segment.
    EXPECT_EQ(facebookGroupUrl(*config, "../me?x=1#", "t"), graph + "/..%2Fme%3Fx%3D1%23?access_token=t");
}

TEST_F(FacebookGraphTest, RedirectAddressesOfTheLoginDialog)
{
    using Kind = FacebookRedirect::Kind;
    const std::string page = redirectPage();
    const struct {
        std::string address;
        Kind kind;
        std::string token;
    } cases[] = {
        {page + "#access_token=AAQ1%7Cabc&expires_in=0", Kind::Token, "AAQ1|abc"},
        {page + "#access_token=AAQ1xyz", Kind::Token, "AAQ1xyz"},  // no "&": the whole rest
        {page + "#access_token=%C3%A9t%C3%A9&x=1", Kind::Token, "\xC3\xA9t\xC3\xA9"},
        {page + "?error_reason=user_denied&error=access_denied", Kind::Cancelled, ""},
        {page, Kind::Cancelled, ""},                                // the redirect without a token
        {page + "#expires_in=3600", Kind::Cancelled, ""},
        {page + "#access_token=&expires_in=0", Kind::Cancelled, ""},  // empty token
        {page + "#access_token=ab%0Acd", Kind::Cancelled, ""},      // control character
        {page + "#access_token=%FF%FE", Kind::Cancelled, ""},       // not UTF-8
        {facebookLoginPageUrl(*config), Kind::Pending, ""},
        {"https://m.facebook.com/login.php?next=x", Kind::Pending, ""},
        {page + ".example.org/", Kind::Pending, ""},
    };
    for (const auto& c : cases) {
        const FacebookRedirect redirect = parseFacebookRedirect(c.address, *config);
        EXPECT_EQ(redirect.kind, c.kind) << c.address;
        EXPECT_EQ(redirect.token, c.token) << c.address;
    }
}

TEST_F(FacebookGraphTest, LoginStoresTheTokenAndLogOutRemovesItWithTheWebCookies)
{
    ASSERT_EQ(store.checkDatabaseIsExist(CredentialTable::FacebookGraph), TableCheck::Created);
    ASSERT_TRUE(store.storeFacebookData(kAuthTokenKey, "STORED-OLD"));

    // A page on the way changes nothing; a refusal keeps the stored row.
    EXPECT_FALSE(finishFacebookLogin(facebookLoginPageUrl(*config), store, *config).has_value());
    const auto refused = finishFacebookLogin(redirectPage() + "?error_reason=user_denied", store, *config);
    ASSERT_TRUE(refused.has_value());
    EXPECT_FALSE(refused->haveAccessToken);
    EXPECT_EQ(storedToken(), "STORED-OLD");

    const auto loggedIn = finishFacebookLogin(redirectPage() + "#access_token=AAQ1new&expires_in=0", store, *config);
    ASSERT_TRUE(loggedIn.has_value());
    EXPECT_TRUE(loggedIn->haveAccessToken);
    EXPECT_EQ(loggedIn->accessToken, "AAQ1new");
    EXPECT_EQ(storedToken(), "AAQ1new");

    Cookie web;
    web.domain = "localhost";
    web.name = "c_user";
    web.value = "1";
    Cookie graph = web;
    graph.domain = "127.0.0.1";
    jar->setCookie(web);
    jar->setCookie(graph);

    logOutFacebook(store, jar.get(), *config);
    EXPECT_EQ(storedToken(), "");
    EXPECT_TRUE(jar->cookiesForHost("localhost").empty());
    EXPECT_EQ(jar->cookiesForHost("127.0.0.1").size(), 1u);
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(FacebookGraphTest, BeginningALoginNeedsTheNetworkAndDropsTheWebCookies)
{
    Cookie web;
    web.domain = "localhost";
    web.name = "datr";
    web.value = "x";
    jar->setCookie(web);

    const std::optional<ShareOutcome> alert = beginFacebookLogin(offline, jar.get(), *config);
    ASSERT_TRUE(alert.has_value());
    EXPECT_EQ(alert->titleKey, "ERROR_INTERNET_CONNECTION_CHECK_TITLE");
    EXPECT_EQ(alert->messageKey, "ERROR_INTERNET_CONNECTION_CHECK_MSG");
    EXPECT_EQ(jar->cookiesForHost("localhost").size(), 1u);

    EXPECT_FALSE(beginFacebookLogin(online, jar.get(), *config).has_value());
    EXPECT_TRUE(jar->cookiesForHost("localhost").empty());
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(FacebookGraphTest, TokenCheckTakesOnlyAJsonObjectWithoutError)
{
    const struct {
        const char* name;
        Reply reply;
        bool valid;
    } cases[] = {
        {"profile", json(200, R"({"id":"100001","name":"Someone"})"), true},
        {"oauth error", json(400, R"({"error":{"message":"Invalid OAuth access token.","type":"OAuthException"}})"),
         false},
        {"error with 200", json(200, R"({"error":"expired"})"), false},
        {"empty", json(200, ""), false},
        {"list", json(200, "[1,2]"), false},
        {"string", json(200, "\"ok\""), false},
        {"truncated", json(200, R"({"id":"1)"), false},
        {"server error page", Reply(500, "<html>down</html>", "text/html"), false},
        {"object with 503", json(503, R"({"id":"1"})"), false},
        {"deep nesting", json(200, std::string(100000, '[') + std::string(100000, ']')), false},
    };
    for (const auto& c : cases) {
        replies["/me"] = c.reply;
        server.clearRequests();
        EXPECT_EQ(checkFacebookAccessToken(client, *config, kToken), c.valid) << c.name;
        ASSERT_EQ(server.requestCount(), 1u) << c.name;
        const RecordedRequest request = server.lastRequest();
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.path, "/me");
        EXPECT_EQ(request.query, std::string("access_token=") + kEncodedToken);
    }
}

TEST_F(FacebookGraphTest, OpeningTheViewChecksTheStoredTokenAndNeverDeletesIt)
{
    // Nothing stored: logged out without a request, and the table now exists.
    FacebookLoginState state = restoreFacebookLogin(store, client, *config);
    EXPECT_FALSE(state.haveAccessToken);
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_EQ(store.checkDatabaseIsExist(CredentialTable::FacebookGraph), TableCheck::Existed);

    ASSERT_TRUE(store.storeFacebookData(kAuthTokenKey, kToken));
    replies["/me"] = json(200, R"({"id":"100001"})");
    state = restoreFacebookLogin(store, client, *config);
    EXPECT_TRUE(state.haveAccessToken);
    EXPECT_EQ(state.accessToken, kToken);
    EXPECT_EQ(server.lastRequest().query, std::string("access_token=") + kEncodedToken);

    replies["/me"] = json(400, R"({"error":{"type":"OAuthException"}})");
    state = restoreFacebookLogin(store, client, *config);
    EXPECT_FALSE(state.haveAccessToken);
    EXPECT_EQ(state.accessToken, "");
    EXPECT_EQ(storedToken(), kToken);

    // Unreachable service: logged out for now, the row stays.
    QSettings settings(folder.filePath("refused.ini"), QSettings::IniFormat);
    settings.setValue("ServiceHosts/FacebookGraph", QString::fromStdString(refusedBase()));
    const ServiceConfig refused(settings);
    state = restoreFacebookLogin(store, client, refused);
    EXPECT_FALSE(state.haveAccessToken);
    EXPECT_EQ(storedToken(), kToken);
}

TEST_F(FacebookGraphTest, TargetListIsTheOwnWallThenEveryGroupThatCouldBeFetched)
{
    replies["/me/groups"] = json(200, R"({"data":[{"id":"11","name":"A"},{"id":"22"},{"name":"no id"},7,
                                        {"id":33,"name":"C"}],"paging":{"next":"http://x/"}})");
    replies["/11"] = json(200, R"({"id":"11","name":"Group A","privacy":"OPEN"})");
    replies["/22"] = json(400, R"({"error":{"message":"gone"}})");
    replies["/33"] = json(200, R"({"id":"33","name":"Group C","privacy":"CLOSED"})");

    const FacebookTargetList list = fetchFacebookTargets(client, *config, kToken, online);
    EXPECT_TRUE(list.showPicker());
    const std::vector<FacebookTarget> expected{{"UPLOAD_MY_WALL", "UPLOAD_MY_WALL", "SECRET"},
                                               {"11", "Group A", "OPEN"},
                                               {"33", "Group C", "CLOSED"}};
    EXPECT_EQ(list.targets, expected);

    const std::vector<RecordedRequest> sent = server.requests();
    ASSERT_EQ(sent.size(), 4u);
    const char* paths[] = {"/me/groups", "/11", "/22", "/33"};
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].method, "GET");
        EXPECT_EQ(sent[i].path, paths[i]);
        EXPECT_EQ(sent[i].query, std::string("access_token=") + kEncodedToken);
    }
}

TEST_F(FacebookGraphTest, TargetListFailures)
{
    const struct {
        const char* name;
        std::function<bool()> network;
        std::string token;
        Reply groups;
        std::size_t requests;
        bool picker;
        std::string alertTitle;
        std::size_t targets;
    } cases[] = {
        {"no network", offline, kToken, json(200, "{}"), 0, false, "ERROR_INTERNET_CONNECTION_CHECK_TITLE", 0},
        {"logged out", online, "", json(200, "{}"), 0, false, "WARNING", 0},
        {"refused", online, kToken, json(400, R"({"error":{}})"), 1, false, "", 0},
        {"malformed", online, kToken, json(200, "{\"data\":[{\"id\""), 1, false, "", 0},
        {"no groups", online, kToken, json(200, R"({"data":[]})"), 1, true, "", 1},
        {"data not a list", online, kToken, json(200, R"({"data":{"id":"5"}})"), 1, true, "", 1},
    };
    for (const auto& c : cases) {
        replies["/me/groups"] = c.groups;
        server.clearRequests();
        const FacebookTargetList list = fetchFacebookTargets(client, *config, c.token, c.network);
        EXPECT_EQ(server.requestCount(), c.requests) << c.name;
        EXPECT_EQ(list.showPicker(), c.picker) << c.name;
        EXPECT_EQ(list.alert ? list.alert->titleKey : "", c.alertTitle) << c.name;
        EXPECT_EQ(list.targets.size(), c.targets) << c.name;
    }
}

TEST_F(FacebookGraphTest, AHugeGroupListIsCut)
{
    std::string listed = R"({"data":[)";
    for (std::size_t i = 0; i < kFacebookMaxGroups + 100; ++i)
        listed += (i ? ",{\"id\":\"" : "{\"id\":\"") + std::to_string(i + 1) + "\"}";
    listed += "]}";
    std::size_t sent = 0;
    CallbackHttpClient fake([&](const HttpRequest& request) {
        ++sent;
        HttpResponse response;
        response.statusCode = 200;
        response.body = request.url.find("/me/groups?") != std::string::npos ? listed : R"({"id":"1","name":"G"})";
        return response;
    });
    const FacebookTargetList list = fetchFacebookTargets(fake, *config, kToken, online);
    EXPECT_TRUE(list.showPicker());
    EXPECT_EQ(list.targets.size(), kFacebookMaxGroups + 1);
    EXPECT_EQ(sent, kFacebookMaxGroups + 1);
}

TEST_F(FacebookGraphTest, UploadPathFollowsTheTargetLabel)
{
    const std::vector<FacebookTarget> targets{facebookOwnWallTarget(), {"11", "Group A", "OPEN"},
                                              {"12", "Twin", "OPEN"}, {"13", "Twin", "OPEN"}};
    const std::pair<const char*, const char*> cases[] = {
        {"", "/me/photos"},      {"UPLOAD_MY_WALL", "/me/photos"}, {"Group A", "/11/photos"},
        {"Twin", "/12/photos"},  {"Left the group", "//photos"},
    };
    for (const auto& [label, path] : cases)
        EXPECT_EQ(facebookUploadPath(label, targets), path) << label;
}

TEST_F(FacebookGraphTest, UploadSendsTheFixedBodyToTheChosenGroup)
{
    replies["/33/photos"] = json(200, R"({"id":"555","post_id":"33_555"})");
    FacebookUploadRequest request;
    request.accessToken = kToken;
    request.message = "Évening \"light\"";
    request.targetName = "Group C";
    request.targets = {facebookOwnWallTarget(), {"33", "Group C", "CLOSED"}};
    request.photo = testPhoto();
    request.jpegQuality = 0.8;

    const ShareOutcome outcome = uploadToFacebook(request, client, *config, online);
    EXPECT_TRUE(outcome.completed);
    EXPECT_EQ(outcome.titleKey, "");

    ASSERT_EQ(server.requestCount(), 1u);
    const RecordedRequest sent = server.lastRequest();
    const QByteArray jpeg = request.photo.jpegData(0.8);
    ASSERT_FALSE(jpeg.isEmpty());
    const std::string expected = cat({
        "--Larch_Wise_Boundary\r\n",
        "Content-Disposition: form-data; name=\"caption\"\r\n\r\nNimbalight",
        "\r\n--Larch_Wise_Boundary\r\n",
        "Content-Disposition: form-data; name=\"description\"\r\n\r\nNimbalight",
        "\r\n--Larch_Wise_Boundary\r\n",
        "Content-Disposition: form-data; name=\"message\"\r\n\r\n\xC3\x89vening \"light\"",
        "\r\n--Larch_Wise_Boundary\r\n",
        "Content-Disposition: form-data; name=\"media\"; filename=\"media.png\"\r\n\r\n",
        std::string_view(jpeg.constData(), std::size_t(jpeg.size())),
        "\r\n--Larch_Wise_Boundary\r\n",
        "Content-Disposition: form-data; name=\"access_token\"\r\n\r\n",
        kToken,
        "\r\n--Larch_Wise_Boundary--\r\n",
    });
    EXPECT_EQ(sent.method, "POST");
    EXPECT_EQ(sent.path, "/33/photos");
    EXPECT_EQ(sent.query, "");
    EXPECT_EQ(sent.header("Content-Type"), "multipart/form-data; boundary=Larch_Wise_Boundary");
    EXPECT_EQ(sent.headerCount("Content-Length"), 1u);
    EXPECT_EQ(sent.header("Content-Length"), std::to_string(expected.size()));
    EXPECT_TRUE(sent.body == expected) << "body differs";
    EXPECT_EQ(facebookUploadBody(kBoundary, request.message, std::string_view(jpeg.constData(), jpeg.size()), kToken),
              expected);
}

TEST_F(FacebookGraphTest, UploadToTheOwnWallWithAnEmptyMessage)
{
    replies["/me/photos"] = json(200, R"({"id":"1"})");
    FacebookUploadRequest request;
    request.accessToken = kToken;
    request.message = "";
    request.targetName = "UPLOAD_MY_WALL";
    request.photo = testPhoto();
    EXPECT_TRUE(uploadToFacebook(request, client, *config, online).completed);
    ASSERT_EQ(server.requestCount(), 1u);
    const RecordedRequest sent = server.lastRequest();
    EXPECT_EQ(sent.path, "/me/photos");
    EXPECT_NE(sent.body.find("name=\"message\"\r\n\r\n\r\n--Larch_Wise_Boundary\r\n"), std::string::npos);
}

TEST_F(FacebookGraphTest, UploadPreconditionsSendNothing)
{
    const struct {
        const char* name;
        bool network;
        std::string token;
        platform::Image photo;
        const char* title;
        const char* message;
    } cases[] = {
        {"no network", false, kToken, testPhoto(), "ERROR_INTERNET_CONNECTION_CHECK_TITLE",
         "ERROR_INTERNET_CONNECTION_CHECK_MSG"},
        {"logged out", true, "", testPhoto(), "WARNING", "WARNING_LOGIN_MSG"},
        {"no photo", true, kToken, platform::Image(), "ERROR", "NO_PHOTO_MSG"},
    };
    for (const auto& c : cases) {
        FacebookUploadRequest request;
        request.accessToken = c.token;
        request.photo = c.photo;
        const ShareOutcome outcome = uploadToFacebook(request, client, *config, c.network ? online : offline);
        EXPECT_FALSE(outcome.completed) << c.name;
        EXPECT_EQ(outcome.titleKey, c.title) << c.name;
        EXPECT_EQ(outcome.messageKey, c.message) << c.name;
    }
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(FacebookGraphTest, UploadAnswersThatAreNotASuccessAreFailures)
{
    const std::pair<const char*, Reply> cases[] = {
        {"graph error", json(400, R"({"error":{"message":"(#200) Permissions error","type":"OAuthException"}})")},
        {"error with 200", json(200, R"({"error":{"message":"x"}})")},
        {"empty answer", json(200, "")},
        {"not json", Reply(200, "<html>maintenance</html>", "text/html")},
        {"json list", json(200, "[]")},
        {"server error", json(500, "{}")},
    };
    FacebookUploadRequest request;
    request.accessToken = kToken;
    request.photo = testPhoto();
    for (const auto& [name, reply] : cases) {
        replies["/me/photos"] = reply;
        const ShareOutcome outcome = uploadToFacebook(request, client, *config, online);
        EXPECT_FALSE(outcome.completed) << name;
        EXPECT_EQ(outcome.titleKey, "ERROR_FAIL") << name;
        EXPECT_EQ(outcome.messageKey, "ERROR_UPLOAD_FAIL_MSG") << name;
    }
    EXPECT_EQ(server.requestCount(), std::size(cases));
}

TEST_F(FacebookGraphTest, UploadTransportErrors)
{
    FacebookUploadRequest request;
    request.accessToken = kToken;
    request.photo = testPhoto();

    QSettings settings(folder.filePath("refused.ini"), QSettings::IniFormat);
    settings.setValue("ServiceHosts/FacebookGraph", QString::fromStdString(refusedBase()));
    const ServiceConfig refused(settings);
    ShareOutcome outcome = uploadToFacebook(request, client, refused, online);
    EXPECT_EQ(outcome.titleKey, "ERROR");
    EXPECT_EQ(outcome.messageKey, "ERROR_INTERNET_CONNECTION_OFFLINE_MSG");

    // A time-out (as the client reports it) is an upload failure.
    std::size_t calls = 0;
    CallbackHttpClient timingOut([&](const HttpRequest& sent) {
        ++calls;
        EXPECT_EQ(sent.timeout, std::chrono::seconds(30));
        HttpResponse response;
        response.error = {url_error::kTimedOut, "Operation timed out"};
        return response;
    });
    outcome = uploadToFacebook(request, timingOut, *config, online);
    EXPECT_EQ(outcome.titleKey, "ERROR_FAIL");
    EXPECT_EQ(outcome.messageKey, "ERROR_UPLOAD_FAIL_MSG");
    EXPECT_EQ(calls, 1u);
    EXPECT_EQ(server.requestCount(), 0u);
}

} // namespace
