#include "share/services/PicasaProtocol.h"

#include "share/services/CookieJar.h"
#include "share/services/CredentialStore.h"
#include "share/services/ServiceConfig.h"
#include "share/services/XmlEventReader.h"

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

namespace {

using namespace services;
using namespace std::chrono_literals;
using testsupport::LocalHttpServer;
using testsupport::RecordingClient;
using testsupport::RecordedRequest;
using testsupport::Reply;

constexpr char kLoginAnswer[] = "SID=DQAAAGgA7Zg8CTN\nLSID=DQAAAGsAlk8BBbG\nAuth=DQAAAGgAdk3fA5N\n";
constexpr char kAuth[] = "DQAAAGgAdk3fA5N";

const std::string kFeed =
    "<?xml version='1.0' encoding='UTF-8'?>"
    "<feed xmlns='http://www.w3.org/2005/Atom' xmlns:gphoto='http://schemas.google.com/photos/2007'"
    " xmlns:media='http://search.yahoo.com/mrss/'>"
    "<title>someone</title><gphoto:id>feed-level</gphoto:id>"
    "<entry><title type='text'>Holidays &amp; more</title><gphoto:id>5070</gphoto:id>"
    "<gphoto:numphotos>12</gphoto:numphotos><media:group><media:title>ignored</media:title>"
    "<media:content url='http://lh3.example/holidays.jpg' type='image/jpeg'/>"
    "<media:thumbnail url='http://lh3.example/shared.jpg' height='160' width='160'/></media:group></entry>"
    "<entry><title>Drop Box</title><gphoto:id>5071</gphoto:id><gphoto:numphotos>0</gphoto:numphotos>"
    "<media:group><media:content url='http://lh3.example/drop.jpg'/>"
    "<media:thumbnail url='http://lh3.example/shared.jpg'/></media:group></entry>"
    "<entry><title>No id here</title><media:group><media:thumbnail url='http://lh3.example/x.jpg'/>"
    "</media:group></entry>"
    "<entry><title>\n  Cats\n</title><gphoto:numphotos>3</gphoto:numphotos><gphoto:id>5072</gphoto:id>"
    "<media:group><media:thumbnail url='http://lh3.example/cats.jpg'/></media:group></entry>"
    "</feed>";

const std::vector<PicasaAlbum> kFeedAlbums{
    {"Holidays & more", "12", "5070", "http://lh3.example/holidays.jpg", "http://lh3.example/shared.jpg"},
    {"Drop Box", "0", "5071", "http://lh3.example/drop.jpg", "http://lh3.example/shared.jpg"},
    {"Cats", "3", "5072", "", "http://lh3.example/cats.jpg"},
};

constexpr char kPublishedAnswer[] =
    "<?xml version='1.0' encoding='UTF-8'?><entry xmlns='http://www.w3.org/2005/Atom'>"
    "<id>http://picasaweb.example/data/entry/api/user/default/albumid/5070/photoid/1</id>"
    "<published>2011-03-15T12:00:00.000Z</published><title>Wendlemark</title></entry>";

std::string billionLaughs(const std::string& body)
{
    std::string doc = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
    doc += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">";
    for (int i = 2; i <= 9; ++i) {
        doc += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            doc += "&lol" + std::to_string(i - 1) + ";";
        doc += "\">";
    }
    return doc + "]>" + body;
}

// ---- Pieces --------------------------------------------------------------------------

TEST(PicasaLoginRequest, FormEncoding)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"", ""},
        {"AZaz09-._*", "AZaz09-._*"},
        {"a b", "a+b"},
        {"user+tag@example.com", "user%2Btag%40example.com"},
        {"~!'()", "%7E%21%27%28%29"},
        {"&=%", "%26%3D%25"},
        {"\xc3\xa9\r\n", "%C3%A9%0D%0A"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(picasaFormEncode(in), out) << in;
}

TEST(PicasaLoginRequest, BodyAndHeaders)
{
    QTemporaryDir folder;
    QSettings settings{folder.filePath("Nimbalight.ini"), QSettings::IniFormat};
    settings.setValue(ServiceConfig::settingsKey(ServiceHost::PicasaLogin), "https://accounts.example.test");
    const ServiceConfig config(settings);
    const HttpRequest request = clientLoginRequest(config, "a+b@example.com", "p w&d");
    const std::string body = "accountType=GOOGLE&Email=a%2Bb%40example.com&Passwd=p+w%26d&service=lh2&source="
                             "Larchwise-Wendlemark-1.0";
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.url, "https://accounts.example.test/accounts/ClientLogin");
    EXPECT_EQ(request.body, body);
    EXPECT_EQ(request.headers, (HttpHeaders{{"Content-Type", "application/x-www-form-urlencoded"},
                                            {"Content-Length", std::to_string(body.size())}}));
    EXPECT_EQ(request.timeout, 30s);
}

TEST(PicasaLoginAnswer, ErrorCodesInTheirOrder)
{
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases{
        {"Error=BadAuthentication\n", "ERROR_LOGIN_ERROR_MSG"},
        {"Error=NotVerified\n", "ERROR_NOT_VERIFIED"},
        {"Error=TermsNotAgreed\n", "ERROR_TERMS_NOT_AGREED"},
        {"Error=CaptchaRequired\nUrl=http://x/ErrorMsg\nCaptchaToken=abc\nCaptchaUrl=Captcha?ctoken=abc\n",
         "ERROR_LOGIN_ERROR_MSG"},
        {"Error=Unknown\n", "ERROR_UNKNOWN"},
        {"Error=AccountDeleted\n", "ERROR_ACCOUNT_DELETED"},
        {"Error=AccountDisabled\n", "ERROR_ACCOUNT_DISABLED"},
        {"Error=ServiceDisabled\n", "ERROR_SERVICE_DISABLED"},
        {"Error=ServiceUnavailable\n", "ERROR_SERVICE_UNAVAILABLE"},
        {"Error=AccountDeleted\nInfo=Unknown\n", "ERROR_UNKNOWN"},  // the table's order decides
        {"Error=SomethingNew\n", std::nullopt},
        {"BadAuthentication\n", std::nullopt},  // no "Error="
        {kLoginAnswer, std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [answer, key] : cases)
        EXPECT_EQ(clientLoginErrorMessageKey(answer), key) << answer;
}

TEST(PicasaLoginAnswer, TokenAndTheOtherValues)
{
    const std::optional<PicasaLogin> login = parseClientLoginAnswer(kLoginAnswer);
    ASSERT_TRUE(login.has_value());
    EXPECT_EQ(login->auth, kAuth);
    EXPECT_EQ(login->sid, "DQAAAGgA7Zg8CTN");
    EXPECT_EQ(login->lsid, "DQAAAGsAlk8BBbG");

    const std::vector<std::pair<std::string, std::optional<std::string>>> cases{
        {"SID=s\nLSID=l\nAuth=token", "token"},  // no final line break: nothing is cut off
        {"SID=s\r\nLSID=l\r\nAuth=token\r\n", "token"},
        {"Auth=token\nLSID=l\nSID=s\n", "token"},
        {"LSID=l\nAuth=token\n", std::nullopt},  // "SID=" only inside "LSID="
        {"SID=s\nLSID=l\n", std::nullopt},
        {"SID=s\nLSID=l\nAuth=\n", std::nullopt},
        {"Error=BadAuthentication\n", std::nullopt},
        {"", std::nullopt},
        {"<html>SID=LSID=Auth=</html>", std::nullopt},
    };
    for (const auto& [answer, token] : cases) {
        const std::optional<PicasaLogin> parsed = parseClientLoginAnswer(answer);
        EXPECT_EQ(parsed ? std::optional<std::string>(parsed->auth) : std::nullopt, token) << answer;
    }
}

TEST(PicasaAlbumFeed, AlbumsWithTheirOwnAddresses)
{
    EXPECT_EQ(parsePicasaAlbumFeed(kFeed), kFeedAlbums);
    // Reading twice gives the same list: nothing is carried over.
    EXPECT_EQ(parsePicasaAlbumFeed(kFeed), kFeedAlbums);
}

TEST(PicasaAlbumFeed, BrokenAndHostileFeeds)
{
    const std::string truncated = kFeed.substr(0, kFeed.find("<entry><title>Drop Box") + 30);
    EXPECT_EQ(parsePicasaAlbumFeed(truncated), std::vector<PicasaAlbum>(kFeedAlbums.begin(), kFeedAlbums.begin() + 1));
    EXPECT_TRUE(parsePicasaAlbumFeed("").empty());
    EXPECT_TRUE(parsePicasaAlbumFeed("not xml").empty());
    EXPECT_TRUE(parsePicasaAlbumFeed("<html><body>502</body></html>").empty());
    const std::vector<PicasaAlbum> hostile =
        parsePicasaAlbumFeed(billionLaughs("<feed><entry><title>&lol9;</title><gphoto:id>1</gphoto:id></entry></feed>"));
    for (const PicasaAlbum& album : hostile)
        EXPECT_LT(album.title.size(), 100u);
}

TEST(PicasaUpload, AlbumChoice)
{
    const std::vector<std::tuple<std::string, std::string, std::string>> cases{
        {"", "", "default"},
        {"", "5070", "default"},
        {"Drop Box", "5071", "default"},
        {"Holidays", "5070", "5070"},
        {"Holidays", "", "default"},
        {"drop box", "5071", "5071"},
    };
    for (const auto& [title, id, chosen] : cases)
        EXPECT_EQ(picasaUploadAlbumId(title, id), chosen) << title << "/" << id;
}

TEST(PicasaUpload, AtomEntryIsOneWellFormedLine)
{
    EXPECT_EQ(picasaAtomEntry("Fish & chips <3 >_<"),
              "<entry xmlns='http://www.w3.org/2005/Atom'><title>Wendlemark</title>"
              "<summary>Fish &amp; chips &lt;3 &gt;_&lt;</summary>"
              "<category scheme=\"http://schemas.google.com/g/2005#kind\"\t"
              "term=\"http://schemas.google.com/photos/2007#photo\"/></entry>");

    for (const std::string& description :
         {std::string("A & B"), std::string("<b>bold</b> \"q\" 'a'"), std::string("&amp; already"),
          std::string("Caf\xc3\xa9 \xe2\x82\xac"), std::string()}) {
        std::string summary;
        bool inSummary = false;
        XmlEventHandlers handlers;
        handlers.startElement = [&](const XmlEventName& name, const std::vector<XmlEventAttribute>&) {
            inSummary = name.localName == "summary";
        };
        handlers.characters = [&](std::string_view text) {
            if (inSummary)
                summary += text;
        };
        handlers.endElement = [&](const XmlEventName&) { inSummary = false; };
        EXPECT_TRUE(readXmlEvents(picasaAtomEntry(description), handlers)) << description;
        EXPECT_EQ(summary, description);
    }
}

TEST(PicasaUpload, BodyByteForByte)
{
    const std::string jpeg("\xff\xd8\x00--B\r\n\xff\xd9", 9);
    EXPECT_EQ(picasaUploadBody("B", "d", jpeg),
              "--B\r\nContent-Type:application/atom+xml\r\n\r\n" + picasaAtomEntry("d") +
                  "\r\n--B\r\nContent-Type:image/jpeg\r\n\r\n" + jpeg + "\r\n--B--");
}

TEST(PicasaUpload, PublishedAnswer)
{
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases{
        {kPublishedAnswer, "2011-03-15T12:00:00.000Z"},
        {"<entry><published>2011</published>", "2011"},  // broken off after the date
        {"<entry><published></published></entry>", std::nullopt},
        {"<entry><title>no date</title></entry>", std::nullopt},
        {"Invalid album id <published>", std::nullopt},
        {"", std::nullopt},
        {"<published>x</published>", "x"},
        {billionLaughs("<entry><published>&lol9;</published></entry>"), std::nullopt},
    };
    for (const auto& [answer, date] : cases)
        EXPECT_EQ(picasaPublishedDate(answer), date) << answer.substr(0, 80);
}

// ---- Whole operations against a local server ---------------------------------------

class PicasaFlowTest : public testing::Test {
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

        QImage pixels(20, 12, QImage::Format_RGB32);
        pixels.fill(qRgb(30, 160, 90));
        photo = platform::Image(pixels);
        jpeg = photo.jpegData(0.95).toStdString();
        ASSERT_FALSE(jpeg.empty());
        resetReplies();
    }

    void TearDown() override { platform::setSystemLogSink(std::move(m_previousSink)); }

    void resetReplies()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        replies = {
            {"/accounts/ClientLogin", Reply{200, kLoginAnswer}},
            {"/data/feed/api/user/default", Reply{200, kFeed, "application/atom+xml"}},
        };
        uploadReply = Reply{201, kPublishedAnswer, "application/atom+xml"};
    }

    void useBase(const std::string& base)
    {
        for (ServiceHost host : {ServiceHost::PicasaLogin, ServiceHost::PicasaFeeds, ServiceHost::NetworkCheck})
            settings.setValue(ServiceConfig::settingsKey(host), QString::fromStdString(base));
        config = std::make_unique<ServiceConfig>(settings);
    }

    Reply answer(const RecordedRequest& request)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (request.path.rfind("/data/feed/api/user/default/albumid/", 0) == 0)
            return uploadReply;
        const auto it = replies.find(request.path);
        return it == replies.end() ? Reply{404, "no such path"} : it->second;
    }

    void reply(const std::string& path, Reply r)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (path == "upload")
            uploadReply = std::move(r);
        else
            replies[path] = std::move(r);
    }

    PicasaAccount account() const
    {
        PicasaAccount a;
        a.userName = "jane+photos@example.com";
        a.password = "p@ss word&1";
        a.networkCheck = [] { return true; };
        return a;
    }

    PicasaUploadRequest upload(std::string albumTitle = "Holidays", std::string albumId = "5070") const
    {
        PicasaUploadRequest request;
        request.account = account();
        request.albumTitle = std::move(albumTitle);
        request.albumId = std::move(albumId);
        request.description = "Fish & chips";
        request.photo = photo;
        return request;
    }

    std::vector<std::string> paths() const
    {
        std::vector<std::string> out;
        for (const RecordedRequest& r : server.requests())
            out.push_back(r.path);
        return out;
    }

    void expectLoginRequest(const RecordedRequest& r)
    {
        const std::string body = "accountType=GOOGLE&Email=jane%2Bphotos%40example.com&Passwd=p%40ss+word%261"
                                 "&service=lh2&source=Larchwise-Wendlemark-1.0";
        EXPECT_EQ(r.method, "POST");
        EXPECT_EQ(r.path, "/accounts/ClientLogin");
        EXPECT_EQ(r.body, body);
        EXPECT_EQ(r.header("Content-Type"), "application/x-www-form-urlencoded");
        EXPECT_EQ(r.header("Content-Length"), std::to_string(body.size()));
        EXPECT_EQ(r.headerCount("Content-Length"), 1u);
    }

    void storeOldAccount()
    {
        ASSERT_NE(store.checkDatabaseIsExist(CredentialTable::Picasa), TableCheck::Failed);
        ASSERT_TRUE(store.createOrUpdatePicasaDatabase(kPicasaIdKey, "old@example.com", false));
        ASSERT_TRUE(store.createOrUpdatePicasaDatabase(kPicasaPassKey, "old password", true));
    }

    void expectStoredAccount(const QString& id, const QString& password)
    {
        EXPECT_EQ(store.getPicasaDataFromDatabase(kPicasaIdKey, false), id);
        EXPECT_EQ(store.getPicasaDataFromDatabase(kPicasaPassKey, true), password);
        // The stored form is not the password itself.
        EXPECT_NE(store.getPicasaDataFromDatabase(kPicasaPassKey, false), password);
    }

    void expectNoSecretsLogged()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const std::string& line : logLines) {
            EXPECT_EQ(line.find("p@ss"), std::string::npos) << line;
            EXPECT_EQ(line.find("p%40ss"), std::string::npos) << line;
            EXPECT_EQ(line.find(kAuth), std::string::npos) << line;
        }
    }

    std::mutex m_mutex;  // guards replies and logLines, which the server's threads use
    std::map<std::string, Reply> replies;
    Reply uploadReply;
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

TEST_F(PicasaFlowTest, UploadLogsInUploadsAndStoresTheAccount)
{
    storeOldAccount();
    const ShareOutcome outcome = uploadToPicasa(upload(), client, store, *config);
    EXPECT_TRUE(outcome.completed) << outcome.titleKey << " " << outcome.messageKey << " " << outcome.detail;

    const std::vector<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    expectLoginRequest(requests[0]);

    const RecordedRequest& r = requests[1];
    const std::string body = "--Larch_Wise_Boundary\r\nContent-Type:application/atom+xml\r\n\r\n"
                             "<entry xmlns='http://www.w3.org/2005/Atom'><title>Wendlemark</title>"
                             "<summary>Fish &amp; chips</summary>"
                             "<category scheme=\"http://schemas.google.com/g/2005#kind\"\t"
                             "term=\"http://schemas.google.com/photos/2007#photo\"/></entry>\r\n"
                             "--Larch_Wise_Boundary\r\nContent-Type:image/jpeg\r\n\r\n" +
                             jpeg + "\r\n--Larch_Wise_Boundary--";
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.path, "/data/feed/api/user/default/albumid/5070");
    EXPECT_EQ(r.query, "");
    EXPECT_EQ(r.body, body);
    EXPECT_EQ(r.header("Authorization"), std::string("GoogleLogin auth=") + kAuth);
    EXPECT_EQ(r.header("Content-Type"), "multipart/related; boundary=Larch_Wise_Boundary");
    EXPECT_EQ(r.header("Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(r.header("MIME-version"), "1.0");
    EXPECT_EQ(r.header("GData-Version"), "2");
    for (const HttpRequest& sent : client.sent)
        EXPECT_EQ(sent.timeout, 30s);

    expectStoredAccount("jane+photos@example.com", "p@ss word&1");
    expectNoSecretsLogged();
}

TEST_F(PicasaFlowTest, UploadGoesToTheChosenOrTheDefaultAlbum)
{
    const std::vector<std::tuple<std::string, std::string, std::string>> cases{
        {"", "", "/data/feed/api/user/default/albumid/default"},
        {"Drop Box", "5071", "/data/feed/api/user/default/albumid/default"},
        {"Cats", "5072", "/data/feed/api/user/default/albumid/5072"},
        {"Odd", "a/b?c", "/data/feed/api/user/default/albumid/a%2Fb%3Fc"},
    };
    for (const auto& [title, id, path] : cases) {
        SCOPED_TRACE(title);
        server.clearRequests();
        EXPECT_TRUE(uploadToPicasa(upload(title, id), client, store, *config).completed);
        ASSERT_EQ(server.requestCount(), 2u);
        EXPECT_EQ(server.requests()[1].target, path);
    }
}

TEST_F(PicasaFlowTest, AlbumListLogsInAndReadsTheFeed)
{
    const PicasaAlbumList list = listPicasaAlbums(account(), client, store, *config);
    EXPECT_TRUE(list.outcome.completed);
    EXPECT_EQ(list.albums, kFeedAlbums);
    const std::vector<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    expectLoginRequest(requests[0]);
    const RecordedRequest& r = requests[1];
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.target, "/data/feed/api/user/default");
    EXPECT_EQ(r.header("Authorization"), std::string("GoogleLogin auth=") + kAuth);
    EXPECT_EQ(r.header("Content-Type"), "application/atom+xml");
    EXPECT_EQ(r.header("GData-Version"), "2");
    EXPECT_TRUE(r.body.empty());
    expectStoredAccount("jane+photos@example.com", "p@ss word&1");

    // Asking again lists each album once more, not twice.
    EXPECT_EQ(listPicasaAlbums(account(), client, store, *config).albums, kFeedAlbums);
    expectNoSecretsLogged();
}

TEST_F(PicasaFlowTest, UnreadableFeedGivesAnEmptyList)
{
    for (const std::string& feed : {std::string(), std::string("<html>oops</html>"),
                                   billionLaughs("<feed><entry><gphoto:id>&lol9;</gphoto:id></entry></feed>")}) {
        reply("/data/feed/api/user/default", Reply{200, feed});
        const PicasaAlbumList list = listPicasaAlbums(account(), client, store, *config);
        EXPECT_TRUE(list.outcome.completed);
        EXPECT_TRUE(list.albums.empty());
    }
}

TEST_F(PicasaFlowTest, PreconditionsStopBeforeAnyRequest)
{
    storeOldAccount();
    struct Case {
        std::string name;
        std::function<void(PicasaUploadRequest&)> change;
        const char* title;
        const char* message;
        bool albumListToo;
    };
    const std::vector<Case> cases{
        {"no account name", [](PicasaUploadRequest& r) { r.account.userName.clear(); }, "WARNING", "ENTER_USERNAME",
         true},
        {"no password", [](PicasaUploadRequest& r) { r.account.password.clear(); }, "WARNING", "ENTER_PASSWORD", true},
        {"offline", [](PicasaUploadRequest& r) { r.account.networkCheck = [] { return false; }; },
         "ERROR_INTERNET_CONNECTION_CHECK_TITLE", "ERROR_INTERNET_CONNECTION_CHECK_MSG", true},
        {"no photo", [](PicasaUploadRequest& r) { r.photo = platform::Image(); }, "ERROR", "NO_PHOTO_MSG", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PicasaUploadRequest request = upload();
        c.change(request);
        const ShareOutcome outcome = uploadToPicasa(request, client, store, *config);
        EXPECT_FALSE(outcome.completed);
        EXPECT_EQ(outcome.titleKey, c.title);
        EXPECT_EQ(outcome.messageKey, c.message);
        if (c.albumListToo) {
            const PicasaAlbumList list = listPicasaAlbums(request.account, client, store, *config);
            EXPECT_FALSE(list.outcome.completed);
            EXPECT_EQ(list.outcome.titleKey, c.title);
            EXPECT_EQ(list.outcome.messageKey, c.message);
            EXPECT_TRUE(list.albums.empty());
        }
    }
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_TRUE(client.sent.empty());
    expectStoredAccount("old@example.com", "old password");
}

TEST_F(PicasaFlowTest, RefusedLoginShowsItsCodeAndKeepsTheStoredAccount)
{
    storeOldAccount();
    const std::vector<std::tuple<Reply, const char*, const char*>> cases{
        {Reply{403, "Error=BadAuthentication\n"}, "ERROR", "ERROR_LOGIN_ERROR_MSG"},
        {Reply{403, "Url=https://accounts.example/ErrorMsg\nError=CaptchaRequired\nCaptchaToken=x\n"
                    "CaptchaUrl=Captcha?ctoken=x\n"},
         "ERROR", "ERROR_LOGIN_ERROR_MSG"},
        {Reply{403, "Error=NotVerified\n"}, "ERROR", "ERROR_NOT_VERIFIED"},
        {Reply{403, "Error=ServiceUnavailable\n"}, "ERROR", "ERROR_SERVICE_UNAVAILABLE"},
        {Reply{403, "Error=SomethingNew\n"}, "ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ERROR_MSG"},
        {Reply{200, ""}, "ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ERROR_MSG"},
        {Reply{200, "SID=s\nLSID=l\n"}, "ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ERROR_MSG"},
        {Reply{500, "<html><body>Server Error</body></html>"}, "ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ERROR_MSG"},
    };
    for (const auto& [loginReply, title, message] : cases) {
        SCOPED_TRACE(loginReply.body);
        reply("/accounts/ClientLogin", loginReply);
        server.clearRequests();
        const ShareOutcome outcome = uploadToPicasa(upload(), client, store, *config);
        EXPECT_FALSE(outcome.completed);
        EXPECT_EQ(outcome.titleKey, title);
        EXPECT_EQ(outcome.messageKey, message);
        const PicasaAlbumList list = listPicasaAlbums(account(), client, store, *config);
        EXPECT_EQ(list.outcome.titleKey, title);
        EXPECT_EQ(list.outcome.messageKey, message);
        EXPECT_EQ(paths(), (std::vector<std::string>{"/accounts/ClientLogin", "/accounts/ClientLogin"}));
        expectStoredAccount("old@example.com", "old password");
    }
    expectNoSecretsLogged();
}

TEST_F(PicasaFlowTest, RefusedUploadShowsTheServicesWords)
{
    storeOldAccount();
    const std::string longPage = "<html>" + std::string(10000, 'x') + "</html>";
    const std::vector<std::pair<Reply, std::string>> cases{
        {Reply{400, "Invalid album id"}, "Invalid album id"},
        {Reply{200, ""}, ""},
        {Reply{403, "Token invalid - <published> never came"}, "Token invalid - <published> never came"},
        {Reply{500, longPage}, longPage.substr(0, 2000)},
    };
    for (const auto& [uploadAnswer, detail] : cases) {
        SCOPED_TRACE(uploadAnswer.body.substr(0, 40));
        reply("upload", uploadAnswer);
        const ShareOutcome outcome = uploadToPicasa(upload(), client, store, *config);
        EXPECT_FALSE(outcome.completed);
        EXPECT_EQ(outcome.titleKey, "ERROR");
        EXPECT_EQ(outcome.messageKey, "ERROR_UPLOAD_FAIL_MSG");
        EXPECT_EQ(outcome.detail, detail);
    }
    // The login itself succeeded every time, so the account was stored.
    expectStoredAccount("jane+photos@example.com", "p@ss word&1");
}

TEST_F(PicasaFlowTest, RefusedConnectionIsOffline)
{
    storeOldAccount();
    const std::string base = server.baseUrl();
    server.stop();
    useBase(base);
    const ShareOutcome outcome = uploadToPicasa(upload(), client, store, *config);
    EXPECT_EQ(outcome.titleKey, "ERROR");
    EXPECT_EQ(outcome.messageKey, "ERROR_INTERNET_CONNECTION_OFFLINE_MSG");
    const PicasaAlbumList list = listPicasaAlbums(account(), client, store, *config);
    EXPECT_EQ(list.outcome.titleKey, "ERROR");
    EXPECT_EQ(list.outcome.messageKey, "ERROR_INTERNET_CONNECTION_OFFLINE_MSG");
    EXPECT_EQ(client.sent.size(), 2u);
    expectStoredAccount("old@example.com", "old password");
    expectNoSecretsLogged();
}

TEST_F(PicasaFlowTest, TimeOutIsAFailedOperation)
{
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    server.setHandler([&](const RecordedRequest& request) {
        if (request.path != "/accounts/ClientLogin") {
            std::unique_lock<std::mutex> lock(mutex);
            released.wait_for(lock, 10s, [&] { return release; });
        }
        return answer(request);
    });
    client.timeoutCap = 300ms;
    const ShareOutcome outcome = uploadToPicasa(upload(), client, store, *config);
    EXPECT_EQ(outcome.titleKey, "ERROR_FAIL");
    EXPECT_EQ(outcome.messageKey, "ERROR_UPLOAD_FAIL_MSG");
    const PicasaAlbumList list = listPicasaAlbums(account(), client, store, *config);
    EXPECT_EQ(list.outcome.titleKey, "ERROR_FAIL");
    EXPECT_TRUE(list.albums.empty());
    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
    }
    released.notify_all();
    server.stop();
}

} // namespace
