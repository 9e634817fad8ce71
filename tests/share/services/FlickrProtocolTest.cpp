#include "share/services/FlickrProtocol.h"

#include "platform/SystemLog.h"
#include "share/services/CookieJar.h"
#include "share/services/CredentialStore.h"
#include "share/services/Crypto.h"
#include "share/services/ServiceConfig.h"

#include "tests/support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <mutex>

namespace {

using namespace services;
using testsupport::LocalHttpServer;
using testsupport::RecordedRequest;
using testsupport::Reply;

const std::string S = kFlickrSharedSecret;
const std::string K = kFlickrApiKey;
constexpr char kToken[] = "72157600000000001-0a1b2c3d4e5f6071";
constexpr char kFrob[] = "72157600000000002-1f2e3d4c5b6a7988-111";
constexpr char kBoundaryLine[] = "--Larch_Wise_Boundary\r\n";

std::string cat(std::initializer_list<std::string_view> pieces)
{
    std::string out;
    for (const std::string_view piece : pieces)
        out += piece;
    return out;
}

std::string md5Of(const std::string& text) { return md5HexDigest(QString::fromStdString(text)).toStdString(); }

Reply xml(std::string body) { return Reply(200, std::move(body), "text/xml"); }
Reply ok(std::string inner = {})
{
    return xml("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<rsp stat=\"ok\">" + inner + "</rsp>");
}
Reply fail(const std::string& code, const std::string& message)
{
    return xml("<rsp stat=\"fail\"><err code=\"" + code + "\" msg=\"" + message + "\" /></rsp>");
}

int hexDigit(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

std::string percentDecode(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += char(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i] == '+' ? ' ' : text[i];
        }
    }
    return out;
}

using Params = std::vector<std::pair<std::string, std::string>>;

Params parseQuery(std::string_view query)
{
    Params params;
    std::size_t start = 0;
    while (start < query.size()) {
        const std::size_t amp = std::min(query.find('&', start), query.size());
        const std::string_view pair = query.substr(start, amp - start);
        const std::size_t eq = pair.find('=');
        params.emplace_back(std::string(pair.substr(0, eq)),
                            eq == std::string_view::npos ? std::string() : percentDecode(pair.substr(eq + 1)));
        start = amp + 1;
    }
    return params;
}

// The text parts of a multipart body (the photo part is left out).
Params parseTextParts(const std::string& body)
{
    Params params;
    const std::string mark = "Content-Disposition: form-data; name=\"";
    for (std::size_t at = body.find(mark); at != std::string::npos; at = body.find(mark, at + 1)) {
        const std::size_t nameEnd = body.find('"', at + mark.size());
        const std::string name = body.substr(at + mark.size(), nameEnd - at - mark.size());
        if (body.compare(nameEnd, 5, "\"\r\n\r\n") != 0)
            continue;  // a file part
        const std::size_t valueStart = nameEnd + 5;
        const std::size_t valueEnd = body.find("\r\n--Larch_Wise_Boundary", valueStart);
        params.emplace_back(name, body.substr(valueStart, valueEnd - valueStart));
    }
    return params;
}

std::string value(const Params& params, const std::string& name)
{
    for (const auto& [n, v] : params)
        if (n == name)
            return v;
    return "<absent>";
}

// The service's own check: secret, then the sorted names and values.
bool signatureHolds(const Params& params)
{
    Params signedParams;
    std::string signature;
    for (const auto& pair : params) {
        if (pair.first == "api_sig")
            signature = pair.second;
        else
            signedParams.push_back(pair);
    }
    std::sort(signedParams.begin(), signedParams.end());
    std::string text = S;
    for (const auto& [name, v] : signedParams)
        text += name + v;
    return !signature.empty() && md5Of(text) == signature;
}

platform::Image testPhoto()
{
    QImage pixels(10, 8, QImage::Format_ARGB32);
    pixels.fill(QColor(200, 90, 30));
    return platform::Image(pixels);
}

// One local server stands for the API, upload and approval hosts (the upload
// host as localhost, so its cookies are its own). REST answers come from a
// table by method; every request's signature is checked as the service does.
class FlickrTest : public testing::Test {
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
        settings.setValue("ServiceHosts/FlickrApi", QString::fromStdString(server.baseUrl()));
        settings.setValue("ServiceHosts/FlickrUpload", QString("http://localhost:%1").arg(server.port()));
        settings.setValue("ServiceHosts/FlickrAuth", QString::fromStdString(server.baseUrl()));
        config = std::make_unique<ServiceConfig>(settings);
        ASSERT_EQ(store.checkDatabaseIsExist(CredentialTable::Flickr), TableCheck::Created);
        m_previousSink = platform::setSystemLogSink([this](const std::string& line) { logLines.push_back(line); });
    }

    void TearDown() override
    {
        platform::setSystemLogSink(std::move(m_previousSink));
        for (const std::string& line : logLines)
            EXPECT_EQ(line.find("72157600000000001"), std::string::npos) << line;
        EXPECT_EQ(badRequests, 0) << "requests of the wrong shape or with a wrong signature";
    }

    Reply answer(const RecordedRequest& request)
    {
        std::lock_guard lock(m_mutex);
        if (request.method != "POST" ||
            request.header("Content-Type") != "multipart/form-data; boundary=Larch_Wise_Boundary") {
            ++badRequests;
            return fail("0", "bad request");
        }
        if (request.path == "/services/rest/") {
            const Params params = parseQuery(request.query);
            if (request.body != kBoundaryLine || !signatureHolds(params)) {
                ++badRequests;
                return fail("96", "Invalid signature");
            }
            const auto it = rest.find(value(params, "method"));
            return it == rest.end() ? fail("112", "Method not found") : it->second;
        }
        if (request.path == "/services/upload") {
            if (!signatureHolds(parseTextParts(request.body))) {
                ++badRequests;
                return fail("96", "Invalid signature");
            }
            return upload;
        }
        return Reply(404, "");
    }

    std::optional<std::string> stored(const char* key)
    {
        const std::optional<QString> text = store.getFlickrStringFromDatabase(key);
        return text ? std::optional<std::string>(text->toStdString()) : std::nullopt;
    }

    std::vector<std::string> restMethods() const
    {
        std::vector<std::string> methods;
        for (const RecordedRequest& request : server.requests())
            methods.push_back(request.path == "/services/upload" ? "upload"
                                                                 : value(parseQuery(request.query), "method"));
        return methods;
    }

    ServiceConfig refusedConfig()
    {
        LocalHttpServer closed;
        EXPECT_TRUE(closed.start());
        const QString base = QString::fromStdString(closed.baseUrl());
        closed.stop();
        QSettings settings(folder.filePath("refused.ini"), QSettings::IniFormat);
        settings.setValue("ServiceHosts/FlickrApi", base);
        settings.setValue("ServiceHosts/FlickrUpload", base);
        return ServiceConfig(settings);
    }

    FlickrUploadRequest uploadRequest() const
    {
        FlickrUploadRequest request;
        request.authToken = kToken;
        request.photo = testPhoto();
        return request;
    }

    QTemporaryDir folder;
    LocalHttpServer server;
    std::map<std::string, Reply> rest;
    Reply upload = ok("<photoid>9001</photoid>");
    int badRequests = 0;
    std::unique_ptr<ServiceConfig> config;
    CredentialStore store{folder.filePath("upload.sqlite")};
    std::shared_ptr<CookieJar> jar = std::make_shared<CookieJar>();
    CurlHttpClient client{CurlHttpClient::Options{{}, jar, "Nimbalight"}};
    std::vector<std::string> logLines;
    std::function<bool()> online = [] { return true; };

private:
    std::mutex m_mutex;
    platform::SystemLogSink m_previousSink;
};

TEST_F(FlickrTest, ApplicationCredentialsHaveTheServicesFormat)
{
    const auto lowerHex = [](const std::string& text) {
        return std::all_of(text.begin(), text.end(),
                           [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
    };
    EXPECT_EQ(K.size(), 32u);
    EXPECT_TRUE(lowerHex(K));
    EXPECT_EQ(S.size(), 16u);
    EXPECT_TRUE(lowerHex(S));
}

TEST_F(FlickrTest, QueriesCarryTheSignatureOfTheirSignedText)
{
    const FlickrApp app;
    const std::string T = kToken;
    const std::string F = kFrob;
    const struct {
        const char* call;
        std::string query;
        std::string expectedWithoutSig;  // "<sig>" marks where api_sig goes
        std::string signedText;
    } cases[] = {
        {"getFrob", flickrGetFrobQuery(app), "method=flickr.auth.getFrob&api_key=" + K + "&api_sig=<sig>",
         S + "api_key" + K + "methodflickr.auth.getFrob"},
        {"getToken", flickrGetTokenQuery(app, F),
         "method=flickr.auth.getToken&api_key=" + K + "&frob=" + F + "&api_sig=<sig>",
         S + "api_key" + K + "frob" + F + "methodflickr.auth.getToken"},
        {"checkToken", flickrCheckTokenQuery(app, T),
         "method=flickr.auth.checkToken&api_key=" + K + "&auth_token=" + T + "&api_sig=<sig>",
         S + "api_key" + K + "auth_token" + T + "methodflickr.auth.checkToken"},
        {"addPhoto", flickrAddToSetQuery(app, T, "72157601", "9001"),
         "method=flickr.photosets.addPhoto&api_key=" + K + "&auth_token=" + T +
             "&api_sig=<sig>&photoset_id=72157601&photo_id=9001",
         S + "api_key" + K + "auth_token" + T + "methodflickr.photosets.addPhotophoto_id9001photoset_id72157601"},
        {"pools.add", flickrAddToGroupQuery(app, T, "34427469792@N01", "9001"),
         "method=flickr.groups.pools.add&api_key=" + K + "&auth_token=" + T +
             "&api_sig=<sig>&group_id=34427469792%40N01&photo_id=9001",
         S + "api_key" + K + "auth_token" + T + "group_id34427469792@N01methodflickr.groups.pools.addphoto_id9001"},
    };
    for (const auto& c : cases) {
        std::string expected = c.expectedWithoutSig;
        expected.replace(expected.find("<sig>"), 5, md5Of(c.signedText));
        EXPECT_EQ(c.query, expected) << c.call;
    }

    EXPECT_EQ(flickrApprovalUrl(*config, app, F),
              server.baseUrl() + "/services/auth/?api_key=" + K + "&perms=write&frob=" + F +
                  "&api_sig=" + md5Of(S + "api_key" + K + "frob" + F + "permswrite"));

    // Values that are not Flickr's usual digits and dashes are encoded in the
    // query but signed as they are.
    const std::string odd = flickrCheckTokenQuery(app, "a&b=c d");
    EXPECT_EQ(odd, "method=flickr.auth.checkToken&api_key=" + K + "&auth_token=a%26b%3Dc%20d&api_sig=" +
                       md5Of(S + "api_key" + K + "auth_tokena&b=c dmethodflickr.auth.checkToken"));
}

TEST_F(FlickrTest, PrivacyLevelsAndTheirFields)
{
    const struct {
        int level;
        const char* fields;  // is_friend, is_family, is_public
        const char* fragment;
    } cases[] = {
        {1, "111", "is_family1is_friend1is_public1"}, {2, "100", "is_family0is_friend1is_public0"},
        {3, "010", "is_family1is_friend0is_public0"}, {4, "110", "is_family1is_friend1is_public0"},
        {5, "000", "is_family0is_friend0is_public0"}, {0, "000", "is_family0is_friend0is_public0"},
        {6, "000", "is_family0is_friend0is_public0"},
    };
    for (const auto& c : cases) {
        const FlickrPrivacyFields fields = flickrPrivacyFields(c.level);
        EXPECT_EQ(std::string({fields.isFriend, fields.isFamily, fields.isPublic}), c.fields) << c.level;
        EXPECT_EQ(flickrPrivacyFragment(c.level), c.fragment) << c.level;
    }
}

TEST_F(FlickrTest, StoredPrivacyChoice)
{
    const struct {
        std::optional<std::string> stored;
        FlickrPrivacyChoice choice;
        const char* storedBack;
    } cases[] = {
        {std::nullopt, {1, true}, "0"}, {"0", {1, true}, "0"},   {"3", {4, true}, "3"},
        {"4", {5, true}, "4"},          {"-1", {1, false}, "-1"}, {"5", {1, false}, "-1"},
        {"junk", {1, true}, "0"},       {"2x", {3, true}, "2"},   {"99999999999999999999", {1, false}, "-1"},
    };
    for (const auto& c : cases) {
        const FlickrPrivacyChoice choice = flickrPrivacyFromStored(c.stored);
        EXPECT_EQ(choice, c.choice) << c.stored.value_or("(none)");
        EXPECT_EQ(flickrPrivacyToStored(choice), c.storedBack) << c.stored.value_or("(none)");
    }
}

TEST_F(FlickrTest, LoginGetsAFrobThenATokenAndStoresIt)
{
    rest["flickr.auth.getFrob"] = ok(std::string("<frob>") + kFrob + "</frob>");
    const FlickrLoginStart start = startFlickrLogin(client, *config);
    ASSERT_TRUE(start.outcome.completed);
    EXPECT_EQ(start.frob, kFrob);
    EXPECT_EQ(start.approvalUrl, flickrApprovalUrl(*config, FlickrApp{}, kFrob));

    // The user has not approved yet: the service refuses the frob.
    rest["flickr.auth.getToken"] = fail("108", "Invalid frob");
    FlickrLoginFinish finish = finishFlickrLogin(start.frob, store, client, *config);
    EXPECT_EQ(finish.outcome.titleKey, "ERROR_LOGIN_ERROR_TITLE");
    EXPECT_EQ(finish.outcome.messageKey, "ERROR_LOGIN_ACCEPT_MSG");
    EXPECT_FALSE(stored(kAuthTokenKey));

    rest["flickr.auth.getToken"] = ok("<auth><perms>write</perms></auth>");
    finish = finishFlickrLogin(start.frob, store, client, *config);
    EXPECT_EQ(finish.outcome.messageKey, "ERROR_LOGIN_ERROR_MSG");
    EXPECT_FALSE(stored(kAuthTokenKey));

    rest["flickr.auth.getToken"] =
        ok(std::string("<auth><token>") + kToken + "</token><perms>write</perms><user nsid=\"12037949754@N01\" "
                                                   "username=\"someone\" fullname=\"\" /></auth>");
    finish = finishFlickrLogin(start.frob, store, client, *config);
    EXPECT_TRUE(finish.outcome.completed);
    EXPECT_EQ(finish.session.authToken, kToken);
    EXPECT_EQ(finish.session.userId, "12037949754@N01");
    EXPECT_EQ(finish.session.frob, kFrob);
    EXPECT_EQ(stored(kAuthTokenKey), kToken);

    const std::vector<RecordedRequest> sent = server.requests();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[0].query, flickrGetFrobQuery(FlickrApp{}));
    for (std::size_t i = 1; i < sent.size(); ++i)
        EXPECT_EQ(sent[i].query, flickrGetTokenQuery(FlickrApp{}, kFrob));
}

TEST_F(FlickrTest, FrobFailures)
{
    const struct {
        const char* name;
        Reply reply;
        const char* title;
    } cases[] = {
        {"refused", fail("100", "Invalid API Key"), "ERROR_INTERNET_CONNECTION_CHECK_TITLE"},
        {"no frob", ok(), "ERROR_INTERNET_CONNECTION_CHECK_TITLE"},
        {"empty", xml(""), "ERROR_INTERNET_CONNECTION_CHECK_TITLE"},
        {"truncated", xml("<rsp stat=\"ok\"><frob>1-2"), "ERROR_INTERNET_CONNECTION_CHECK_TITLE"},
        {"stat on a child", xml("<x><rsp stat=\"ok\"><frob>1</frob></rsp></x>"),
         "ERROR_INTERNET_CONNECTION_CHECK_TITLE"},
    };
    for (const auto& c : cases) {
        rest["flickr.auth.getFrob"] = c.reply;
        const FlickrLoginStart start = startFlickrLogin(client, *config);
        EXPECT_FALSE(start.outcome.completed) << c.name;
        EXPECT_EQ(start.outcome.titleKey, c.title) << c.name;
        EXPECT_EQ(start.frob, "") << c.name;
        EXPECT_EQ(start.approvalUrl, "") << c.name;
    }

    const FlickrLoginStart offline = startFlickrLogin(client, refusedConfig());
    EXPECT_EQ(offline.outcome.titleKey, "ERROR");
    EXPECT_EQ(offline.outcome.messageKey, "ERROR_INTERNET_CONNECTION_OFFLINE_MSG");
    EXPECT_EQ(server.requestCount(), std::size(cases));
}

TEST_F(FlickrTest, OpeningTheViewChecksTheStoredToken)
{
    const std::string billionLaughs =
        "<?xml version=\"1.0\"?><!DOCTYPE rsp [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;\">]>"
        "<rsp stat=\"fail\"><err code=\"98\" msg=\"&d;&d;&d;&d;\"/></rsp>";
    const struct {
        const char* name;
        Reply reply;
        FlickrTokenStatus status;
        bool tokenKept;
        const char* alertTitle;
    } cases[] = {
        {"valid", ok("<auth><token>72157600000000009-aaaa</token><perms>write</perms><user nsid=\"1@N01\" /></auth>"),
         FlickrTokenStatus::Valid, true, ""},
        {"invalid token", fail("98", "Invalid auth token"), FlickrTokenStatus::Rejected, false, ""},
        // A hostile answer is no refusal: the token stays.
        {"entity bomb", xml(billionLaughs), FlickrTokenStatus::Unverified, true,
         "ERROR_INTERNET_CONNECTION_CHECK_TITLE"},
        {"truncated refusal", xml("<rsp stat=\"fail\"><err code=\"98\""), FlickrTokenStatus::Unverified, true,
         "ERROR_INTERNET_CONNECTION_CHECK_TITLE"},
        {"service unavailable", fail("105", "Service currently unavailable"), FlickrTokenStatus::Unverified, true,
         "ERROR_INTERNET_CONNECTION_CHECK_TITLE"},
        {"ok without token", ok("<auth/>"), FlickrTokenStatus::Unverified, true,
         "ERROR_INTERNET_CONNECTION_CHECK_TITLE"},
        {"empty", xml(""), FlickrTokenStatus::Unverified, true, "ERROR_INTERNET_CONNECTION_CHECK_TITLE"},
        {"html", Reply(502, "<html><body>Bad gateway</body></html>", "text/html"), FlickrTokenStatus::Unverified,
         true, "ERROR_INTERNET_CONNECTION_CHECK_TITLE"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(store.createOrUpdateFlickrDatabase(kAuthTokenKey, kToken));
        Cookie uploadCookie;
        uploadCookie.domain = "localhost";
        uploadCookie.name = "cookie_session";
        uploadCookie.value = "1";
        Cookie apiCookie = uploadCookie;
        apiCookie.domain = "127.0.0.1";
        jar->setCookie(uploadCookie);
        jar->setCookie(apiCookie);
        rest["flickr.auth.checkToken"] = c.reply;
        server.clearRequests();

        const FlickrLoginRestore restore = restoreFlickrLogin(store, client, *config, jar.get());
        EXPECT_EQ(restore.status, c.status) << c.name;
        EXPECT_EQ(stored(kAuthTokenKey).has_value(), c.tokenKept) << c.name;
        EXPECT_EQ(jar->cookiesForHost("localhost").empty(), !c.tokenKept) << c.name;
        EXPECT_EQ(jar->cookiesForHost("127.0.0.1").size(), 1u) << c.name;
        EXPECT_EQ(restore.alert ? restore.alert->titleKey : "", c.alertTitle) << c.name;
        ASSERT_EQ(server.requestCount(), 1u) << c.name;
        EXPECT_EQ(server.lastRequest().query, flickrCheckTokenQuery(FlickrApp{}, kToken)) << c.name;
        if (c.status == FlickrTokenStatus::Valid) {
            EXPECT_EQ(restore.session.authToken, "72157600000000009-aaaa");
            EXPECT_EQ(restore.session.userId, "1@N01");
        } else {
            EXPECT_FALSE(restore.session.loggedIn()) << c.name;
        }
    }

    // Unreachable: the token waits for the next opening.
    ASSERT_TRUE(store.createOrUpdateFlickrDatabase(kAuthTokenKey, kToken));
    const FlickrLoginRestore offline = restoreFlickrLogin(store, client, refusedConfig(), jar.get());
    EXPECT_EQ(offline.status, FlickrTokenStatus::Unverified);
    EXPECT_EQ(offline.alert->messageKey, "ERROR_INTERNET_CONNECTION_OFFLINE_MSG");
    EXPECT_EQ(stored(kAuthTokenKey), kToken);

    // Nothing stored: no request.
    ASSERT_TRUE(store.logOutFlickr());
    server.clearRequests();
    EXPECT_EQ(restoreFlickrLogin(store, client, *config, jar.get()).status, FlickrTokenStatus::NoToken);
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(FlickrTest, LogOutDropsTheTokenAndTheUploadCookiesOnly)
{
    ASSERT_TRUE(store.createOrUpdateFlickrDatabase(kAuthTokenKey, kToken));
    ASSERT_TRUE(store.createOrUpdateFlickrDatabase(kFlickrPrivacyKey, "2"));
    Cookie uploadCookie;
    uploadCookie.domain = "localhost";
    uploadCookie.name = "s";
    uploadCookie.value = "1";
    jar->setCookie(uploadCookie);
    logOutFlickr(store, jar.get(), *config);
    EXPECT_FALSE(stored(kAuthTokenKey));
    EXPECT_EQ(stored(kFlickrPrivacyKey), "2");
    EXPECT_TRUE(jar->cookiesForHost("localhost").empty());
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(FlickrTest, UploadSendsTheSignedBodyThenFillsSetsAndGroups)
{
    rest["flickr.photosets.addPhoto"] = ok();
    rest["flickr.groups.pools.add"] = ok();
    FlickrUploadRequest request = uploadRequest();
    request.title = "Über";
    request.description = "Created with Nimbalight for iPhone";
    request.tags = "street/night";
    request.privacy = {5, true};
    request.setIds = {"72157601", "72157602"};
    request.groupIds = {"34427469792@N01"};

    const FlickrUploadReport report = uploadToFlickr(request, client, store, *config, online);
    EXPECT_TRUE(report.outcome.completed);
    EXPECT_EQ(report.photoId, "9001");
    EXPECT_EQ(report.setsAdded, request.setIds);
    EXPECT_FALSE(report.setAlert);
    EXPECT_EQ(report.groupsAdded, request.groupIds);
    EXPECT_TRUE(report.groupsRefused.empty());
    EXPECT_EQ(stored(kAuthTokenKey), kToken);
    EXPECT_EQ(stored(kFlickrPrivacyKey), "4");

    const std::vector<RecordedRequest> sent = server.requests();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(restMethods(), (std::vector<std::string>{"upload", "flickr.photosets.addPhoto",
                                                       "flickr.photosets.addPhoto", "flickr.groups.pools.add"}));

    const std::string signature =
        md5Of(S + "api_key" + K + "auth_token" + kToken + "description" + "Created with Nimbalight for iPhone" +
              "is_family0is_friend0is_public0" + "tags" + "street/night" + "title" + "\xC3\x9C" "ber");
    const QByteArray jpeg = request.photo.jpegData(0.95);
    const auto part = [](const std::string& name, const std::string& v) {
        return cat({kBoundaryLine, "Content-Disposition: form-data; name=\"", name, "\"\r\n\r\n", v, "\r\n"});
    };
    const std::string expected = cat({
        part("api_key", K), part("auth_token", kToken), part("api_sig", signature),
        part("description", "Created with Nimbalight for iPhone"), part("tags", "street/night"),
        part("title", "\xC3\x9C" "ber"), part("is_friend", "0"), part("is_family", "0"), part("is_public", "0"),
        kBoundaryLine, "Content-Disposition: form-data; name=\"photo\"; filename=\"Nimbalight.jpg\"\r\n",
        "Content-Type: image/jpeg\r\n", "Content-Transfer-Encoding: binary\r\n\r\n",
        std::string_view(jpeg.constData(), std::size_t(jpeg.size())), "\r\n", "--Larch_Wise_Boundary--\r\n",
    });
    EXPECT_EQ(sent[0].path, "/services/upload");
    EXPECT_EQ(sent[0].query, "");
    EXPECT_EQ(sent[0].header("Host"), "localhost:" + std::to_string(server.port()));
    EXPECT_TRUE(sent[0].body == expected) << "upload body differs";
    EXPECT_EQ(sent[1].query, flickrAddToSetQuery(FlickrApp{}, kToken, "72157601", "9001"));
    EXPECT_EQ(sent[2].query, flickrAddToSetQuery(FlickrApp{}, kToken, "72157602", "9001"));
    EXPECT_EQ(sent[3].query, flickrAddToGroupQuery(FlickrApp{}, kToken, "34427469792@N01", "9001"));
}

TEST_F(FlickrTest, EmptyFieldsAreSignedAsEmptyValues)
{
    FlickrUploadRequest request = uploadRequest();
    request.title = "";
    request.description = "";
    request.tags = "";
    request.privacy = {1, false};
    const FlickrUploadReport report = uploadToFlickr(request, client, store, *config, online);
    EXPECT_TRUE(report.outcome.completed);
    EXPECT_EQ(stored(kFlickrPrivacyKey), "-1");
    const Params parts = parseTextParts(server.lastRequest().body);
    EXPECT_EQ(value(parts, "api_sig"), md5Of(S + "api_key" + K + "auth_token" + kToken + "description" +
                                             "is_family1is_friend1is_public1" + "tags" + "title"));
    EXPECT_EQ(value(parts, "title"), "");
}

TEST_F(FlickrTest, ARefusedSetStopsTheSetsButNotTheGroups)
{
    rest["flickr.photosets.addPhoto"] = fail("3", "Photo already in set");
    rest["flickr.groups.pools.add"] = fail("5", "Photo limit reached");
    FlickrUploadRequest request = uploadRequest();
    request.setIds = {"1", "2"};
    request.groupIds = {"g1", "g2"};
    const FlickrUploadReport report = uploadToFlickr(request, client, store, *config, online);
    EXPECT_TRUE(report.outcome.completed);
    ASSERT_TRUE(report.setAlert);
    EXPECT_EQ(report.setAlert->titleKey, "ERROR");
    EXPECT_EQ(report.setAlert->messageKey, "ERROR_UPLOAD_PHOTOSET_MSG");
    EXPECT_TRUE(report.setsAdded.empty());
    EXPECT_EQ(report.groupsRefused, request.groupIds);
    EXPECT_EQ(restMethods(), (std::vector<std::string>{"upload", "flickr.photosets.addPhoto",
                                                       "flickr.groups.pools.add", "flickr.groups.pools.add"}));
}

TEST_F(FlickrTest, AnOkAnswerWithoutPhotoIdEndsTheUpload)
{
    upload = ok();
    FlickrUploadRequest request = uploadRequest();
    request.setIds = {"1"};
    request.groupIds = {"g1"};
    const FlickrUploadReport report = uploadToFlickr(request, client, store, *config, online);
    EXPECT_TRUE(report.outcome.completed);
    EXPECT_EQ(report.photoId, "");
    EXPECT_EQ(server.requestCount(), 1u);
}

TEST_F(FlickrTest, FailedUploadsStoreNothingAndTouchNoSet)
{
    const std::pair<const char*, Reply> cases[] = {
        {"refused", fail("5", "Filetype was not recognised")},
        {"empty", xml("")},
        {"not xml", Reply(200, "Internal error", "text/plain")},
        {"truncated", xml("<rsp stat=\"ok")},
        {"other stat", xml("<rsp stat=\"okay\"><photoid>1</photoid></rsp>")},
    };
    FlickrUploadRequest request = uploadRequest();
    request.setIds = {"1"};
    request.groupIds = {"g1"};
    for (const auto& [name, reply] : cases) {
        upload = reply;
        server.clearRequests();
        const FlickrUploadReport report = uploadToFlickr(request, client, store, *config, online);
        EXPECT_FALSE(report.outcome.completed) << name;
        EXPECT_EQ(report.outcome.titleKey, "ERROR_FAIL") << name;
        EXPECT_EQ(report.outcome.messageKey, "ERROR_UPLOAD_FAIL_MSG") << name;
        EXPECT_EQ(server.requestCount(), 1u) << name;
    }
    EXPECT_FALSE(stored(kAuthTokenKey));
    EXPECT_FALSE(stored(kFlickrPrivacyKey));

    FlickrUploadReport report = uploadToFlickr(request, client, store, refusedConfig(), online);
    EXPECT_EQ(report.outcome.titleKey, "ERROR");
    EXPECT_EQ(report.outcome.messageKey, "ERROR_INTERNET_CONNECTION_OFFLINE_MSG");

    CallbackHttpClient timingOut([](const HttpRequest&) {
        HttpResponse response;
        response.error = {url_error::kTimedOut, "Operation timed out"};
        return response;
    });
    report = uploadToFlickr(request, timingOut, store, *config, online);
    EXPECT_EQ(report.outcome.titleKey, "ERROR_FAIL");
    EXPECT_EQ(report.outcome.messageKey, "ERROR_UPLOAD_FAIL_MSG");
    EXPECT_FALSE(stored(kFlickrPrivacyKey));
}

TEST_F(FlickrTest, UploadPreconditionsSendNothing)
{
    const struct {
        const char* name;
        std::string token;
        bool network;
        platform::Image photo;
        const char* title;
        const char* message;
    } cases[] = {
        {"logged out", "", true, testPhoto(), "WARNING", "WARNING_LOGIN_MSG"},
        {"no network", kToken, false, testPhoto(), "ERROR_INTERNET_CONNECTION_CHECK_TITLE",
         "ERROR_INTERNET_CONNECTION_CHECK_MSG"},
        {"no photo", kToken, true, platform::Image(), "ERROR", "NO_PHOTO_MSG"},
    };
    for (const auto& c : cases) {
        FlickrUploadRequest request = uploadRequest();
        request.authToken = c.token;
        request.photo = c.photo;
        const bool network = c.network;
        const FlickrUploadReport report =
            uploadToFlickr(request, client, store, *config, [network] { return network; });
        EXPECT_EQ(report.outcome.titleKey, c.title) << c.name;
        EXPECT_EQ(report.outcome.messageKey, c.message) << c.name;
    }
    EXPECT_EQ(server.requestCount(), 0u);
}

} // namespace
