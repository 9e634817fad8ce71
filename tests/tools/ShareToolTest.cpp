// nimbalight-share, run as a user runs it: against local servers that stand
// in for the services, with a settings file of its own pointing the service
// hosts at them, and a credential store of its own.
#include "share/services/CredentialStore.h"
#include "share/services/FlickrProtocol.h"
#include "share/services/OAuth.h"
#include "share/services/ServiceConfig.h"
#include "tests/support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

using services::CredentialStore;
using services::CredentialTable;
using services::ServiceConfig;
using services::ServiceHost;
using testsupport::LocalHttpServer;
using testsupport::RecordedRequest;
using testsupport::Reply;

namespace {

constexpr char kFacebookToken[] = "EAAB-facebook-token-7731";
constexpr char kFlickrToken[] = "72157600000000001-9c2b4e6f1a3d5c70";
constexpr char kPassword[] = "s3cr&t pw+%";
constexpr char kOldToken[] = "old-token-0000";

// What the services answer when they take everything.
constexpr char kFacebookGroups[] = R"({"data":[{"id":"11","name":"Night Walks"},{"id":"22"}]})";
constexpr char kFacebookGroup11[] = R"({"id":"11","name":"Night Walks","privacy":"OPEN"})";
constexpr char kFacebookGroup22[] = R"({"id":"22","name":"Streets","privacy":"CLOSED"})";
constexpr char kFacebookPosted[] = R"({"id":"555","post_id":"11_555"})";
constexpr char kFacebookRefused[] =
    R"({"error":{"message":"Invalid OAuth access token.","type":"OAuthException"}})";

constexpr char kFlickrSets[] = R"(<?xml version="1.0" encoding="utf-8" ?>
<rsp stat="ok"><photosets total="2">
  <photoset id="72157601" primary="5001" secret="0a1b2c" server="65535" farm="66" photos="12" videos="0">
    <title>Holiday</title></photoset>
  <photoset id="72157603" primary="5003" secret="6a7b8c" server="7" farm="8" photos="3" videos="2">
    <title>Night</title></photoset>
</photosets></rsp>)";
constexpr char kFlickrGroups[] = R"(<rsp stat="ok"><groups>
  <group nsid="34427469792@N01" name="Nights" iconserver="1" iconfarm="1" photos="120" />
  <group nsid="11111111@N02" name="Streets" iconserver="0" iconfarm="0" photos="7" />
</groups></rsp>)";
constexpr char kFlickrOk[] = R"(<rsp stat="ok"></rsp>)";
constexpr char kFlickrUploaded[] = R"(<?xml version="1.0" encoding="utf-8" ?><rsp stat="ok"><photoid>9001</photoid></rsp>)";
constexpr char kFlickrBadToken[] = R"(<rsp stat="fail"><err code="98" msg="Invalid auth token" /></rsp>)";

constexpr char kPicasaLogin[] = "SID=DQAAAGgA7Zg8CTN\nLSID=DQAAAGsAlk8BBbG\nAuth=DQAAAGgAdk3fA5N\n";
constexpr char kPicasaFeed[] =
    "<?xml version='1.0' encoding='UTF-8'?>"
    "<feed xmlns='http://www.w3.org/2005/Atom' xmlns:gphoto='http://schemas.google.com/photos/2007'"
    " xmlns:media='http://search.yahoo.com/mrss/'>"
    "<entry><title type='text'>Holidays &amp; more</title><gphoto:id>5070</gphoto:id>"
    "<gphoto:numphotos>12</gphoto:numphotos><media:group>"
    "<media:content url='http://lh3.example/holidays.jpg' type='image/jpeg'/>"
    "<media:thumbnail url='http://lh3.example/shared.jpg'/></media:group></entry>"
    "<entry><title>Cats</title><gphoto:id>5072</gphoto:id><gphoto:numphotos>3</gphoto:numphotos>"
    "<media:group><media:thumbnail url='http://lh3.example/cats.jpg'/></media:group></entry>"
    "</feed>";
constexpr char kPicasaPublished[] =
    "<?xml version='1.0' encoding='UTF-8'?><entry xmlns='http://www.w3.org/2005/Atom'>"
    "<published>2011-03-15T12:00:00.000Z</published><title>Wendlemark</title></entry>";

constexpr char kTwitterAccessToken[] =
    "oauth_token=819797-Jxq8aYUDRmykzVKrgoLhXSq67TEa5ruc4GJC2rWimw&oauth_token_secret=J6zix3FfA9LofH0awS24M3Hc"
    "&user_id=819797&screen_name=episod";
constexpr char kTwitterPosted[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<status>\n"
                                  "  <id>47633476853682176</id>\n  <text>hello</text>\n</status>\n";
constexpr char kTwitterDuplicate[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><status><id>1</id>"
                                     "<error>Status is a duplicate.</error></status>";
constexpr char kMobyAnswer[] = "<?xml version=\"1.0\"?><rsp><result code=\"0\"><mediaid>6hdlg</mediaid>"
                               "<url>http://moby.to/6hdlg</url></result></rsp>";
constexpr char kTwitpicAnswer[] = "<?xml version=\"1.0\"?><image><id>1lacuz</id>"
                                  "<url>http://twitpic.com/1lacuz</url></image>";
constexpr char kYfrogAnswer[] = "<?xml version=\"1.0\"?><rsp stat=\"ok\"><mediaid>h4ps2s</mediaid>"
                                "<mediaurl>http://yfrog.com/h4ps2s</mediaurl></rsp>";

// The texts of the string table the tool prints.
constexpr char kComplete[] = "Upload complete";
constexpr char kUploadFailed[] = "Failed: The upload failed. Please try again.";
constexpr char kOffline[] = "Error: You are not connected to the Internet.";
constexpr char kNoConnection[] =
    "No Connection: The service cannot be reached. Please check your Internet connection and try again.";
constexpr char kLoginFailed[] = "Login Failed: The user name or the password is wrong.";
constexpr char kWrongPassword[] = "Error: The user name or the password is wrong.";

Reply json(std::string body, int status = 200) { return Reply(status, std::move(body), "application/json"); }
Reply xml(std::string body) { return Reply(200, std::move(body), "text/xml"); }

std::string decoded(const std::string& text, bool plusIsBlank = false)
{
    QByteArray bytes = QByteArray::fromStdString(text);
    if (plusIsBlank)
        bytes.replace('+', ' ');
    return QByteArray::fromPercentEncoding(bytes).toStdString();
}

// A value of "a=b&c=d", decoded; nullopt when the name is absent.
std::optional<std::string> param(const std::string& query, const std::string& name, bool plusIsBlank = false)
{
    for (const QString& piece : QString::fromStdString(query).split(QLatin1Char('&'))) {
        const int eq = piece.indexOf(QLatin1Char('='));
        if (eq > 0 && piece.left(eq).toStdString() == name)
            return decoded(piece.mid(eq + 1).toStdString(), plusIsBlank);
    }
    return std::nullopt;
}

// The value of a multipart text part; nullopt when there is no such part.
std::optional<std::string> part(const std::string& body, const std::string& name)
{
    const std::string marker = "name=\"" + name + "\"\r\n\r\n";
    const std::size_t at = body.find(marker);
    if (at == std::string::npos)
        return std::nullopt;
    const std::size_t start = at + marker.size();
    return body.substr(start, body.find("\r\n--", start) - start);
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct ToolRun {
    int status = -1;
    std::string out, err;
};

} // namespace

class ShareToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        server.setHandler([this](const RecordedRequest& request) { return answer(request); });
        ASSERT_TRUE(server.start());
        ASSERT_TRUE(checkServer.start());
        m_photo = m_dir.filePath("photo.png");
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(QColor(40, 120, 200));
        ASSERT_TRUE(image.save(m_photo));
        m_database = m_dir.filePath("upload.sqlite");
        writeConfig();
    }

    // Points every service host at the local server, the network check at
    // its own, then applies the overrides.
    void writeConfig(const std::map<ServiceHost, std::string>& overrides = {}, const std::string& caBundle = {})
    {
        QSettings settings(m_dir.filePath("config/Nimbalight/Nimbalight.conf"), QSettings::IniFormat);
        settings.clear();
        for (ServiceHost host : services::kAllServiceHosts) {
            const auto it = overrides.find(host);
            std::string base = host == ServiceHost::NetworkCheck ? checkServer.baseUrl() : server.baseUrl();
            if (it != overrides.end())
                base = it->second;
            settings.setValue(ServiceConfig::settingsKey(host), QString::fromStdString(base));
        }
        if (!caBundle.empty())
            settings.setValue(ServiceConfig::caBundleSettingsKey(), QString::fromStdString(caBundle));
        settings.sync();
        ASSERT_EQ(settings.status(), QSettings::NoError);
    }

    // A base URL nobody listens on.
    static std::string closedBase()
    {
        LocalHttpServer closed;
        EXPECT_TRUE(closed.start());
        const std::string base = closed.baseUrl();
        closed.stop();
        return base;
    }

    ToolRun run(QStringList arguments, const std::map<QString, QString>& environment = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                                 "NIMBALIGHT_SHARE_PASSWORD", "NIMBALIGHT_SHARE_TOKEN", "NIMBALIGHT_LOG_TO_STDERR"})
            env.remove(QString::fromLatin1(name));
        env.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        env.insert("NIMBALIGHT_DOCUMENTS", m_dir.filePath("documents"));
#if defined(__SANITIZE_ADDRESS__)
        // GCC 12's LeakSanitizer tracer crashes at exit in a child that made
        // many libcurl connections ("Tracer caught signal 11") and fails the
        // run without a leak; the protocol code is leak-checked in-process by
        // the services' own tests.
        env.insert("ASAN_OPTIONS", "detect_leaks=0");
#endif
        for (const auto& [name, value] : environment)
            env.insert(name, value);
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(NIMBALIGHT_SHARE_TOOL), arguments);
        EXPECT_TRUE(process.waitForFinished(120000));
        ToolRun result{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                       process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
        // No secret ever shows, whatever the run.
        for (const std::string& secret : {std::string(kFacebookToken), std::string(kFlickrToken),
                                          std::string(kPassword), services::oauthPercentEncode(kPassword)}) {
            EXPECT_EQ(result.out.find(secret), std::string::npos) << result.out;
            EXPECT_EQ(result.err.find(secret), std::string::npos) << result.err;
        }
        return result;
    }

    // The service and the photo around the options, quiet and on the test's own store.
    ToolRun share(const char* service, QStringList options, const std::map<QString, QString>& environment = {})
    {
        return run(QStringList{QString::fromLatin1(service)} + options +
                       QStringList{"--quiet", "--database", m_database, m_photo},
                   environment);
    }

    void reply(const std::string& key, Reply r)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_replies[key] = std::move(r);
    }

    Reply answer(const RecordedRequest& request)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::string key = request.path;
        if (request.path == "/services/rest/")
            key = "rest:" + param(request.query, "method").value_or("");
        const auto it = m_replies.find(key);
        return it == m_replies.end() ? Reply(404, "no such path") : it->second;
    }

    std::vector<std::string> paths() const
    {
        std::vector<std::string> out;
        for (const RecordedRequest& request : server.requests())
            out.push_back(request.path == "/services/rest/" ? "rest:" + param(request.query, "method").value_or("")
                                                            : request.path);
        return out;
    }

    std::optional<RecordedRequest> request(const std::string& path) const
    {
        for (const RecordedRequest& r : server.requests())
            if (r.path == path)
                return r;
        return std::nullopt;
    }

    std::vector<RecordedRequest> restCalls(const std::string& method) const
    {
        std::vector<RecordedRequest> out;
        for (const RecordedRequest& r : server.requests())
            if (r.path == "/services/rest/" && param(r.query, "method") == method)
                out.push_back(r);
        return out;
    }

    CredentialStore store() const { return CredentialStore(m_database); }

    QTemporaryDir m_dir;
    LocalHttpServer server;
    LocalHttpServer checkServer;
    QString m_photo, m_database;

private:
    std::mutex m_mutex;
    std::map<std::string, Reply> m_replies;
};

// ---- Facebook -----------------------------------------------------------------

TEST_F(ShareToolTest, FacebookUploadsToTheChosenTargetAndKeepsTheToken)
{
    // The Graph host is HTTPS, as the service's own; the tool trusts the
    // bundle the settings name.
    testsupport::TestCertificateAuthority authority;
    ASSERT_TRUE(authority.valid());
    LocalHttpServer graph(authority, [](const RecordedRequest& r) {
        if (r.path == "/me/groups")
            return json(kFacebookGroups);
        if (r.path == "/11")
            return json(kFacebookGroup11);
        if (r.path == "/22")
            return json(kFacebookGroup22);
        if (r.path == "/me/photos" || r.path == "/22/photos")
            return json(kFacebookPosted);
        return json(kFacebookRefused, 400);
    });
    ASSERT_TRUE(graph.start());
    writeConfig({{ServiceHost::FacebookGraph, graph.baseUrl()}}, authority.caBundlePath());

    struct Case {
        const char* name;
        QStringList options;
        std::vector<std::string> paths;
        std::string message;
    } cases[] = {
        {"own wall", {}, {"/me/photos"}, "Created with Nimbalight for iPhone."},
        {"own wall by name", {"--target", "My Wall", "--caption", ""}, {"/me/photos"}, ""},
        {"group", {"--target", "Streets", "--caption", "Ünter den Linden"}, {"/me/groups", "/11", "/22", "/22/photos"},
         "Ünter den Linden"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(m_database);
        graph.clearRequests();
        const ToolRun result = share("facebook", QStringList{"--token", kFacebookToken} + c.options);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, std::string(kComplete) + "\n");
        EXPECT_EQ(result.err, "");

        std::vector<std::string> seen;
        for (const RecordedRequest& r : graph.requests())
            seen.push_back(r.path);
        EXPECT_EQ(seen, c.paths);
        const RecordedRequest upload = graph.lastRequest();
        EXPECT_EQ(upload.method, "POST");
        EXPECT_EQ(upload.header("Content-Type"), "multipart/form-data; boundary=Larch_Wise_Boundary");
        EXPECT_EQ(part(upload.body, "access_token"), kFacebookToken);
        EXPECT_EQ(part(upload.body, "message"), c.message);
        EXPECT_NE(upload.body.find("name=\"media\"; filename=\"media.png\"\r\n\r\n\xff\xd8"), std::string::npos);
        EXPECT_EQ(checkServer.lastRequest().method, "HEAD");
        EXPECT_EQ(store().getFacebookDataFromDatabase("authtoken"), kFacebookToken);
    }
}

TEST_F(ShareToolTest, FacebookRefusalsShowTheAlertAndLeaveTheStore)
{
    ASSERT_TRUE(store().checkDatabaseIsExist(CredentialTable::FacebookGraph) == services::TableCheck::Created);
    ASSERT_TRUE(store().storeFacebookData("authtoken", kOldToken));
    const QByteArray before = fileBytes(m_database);
    reply("/me/groups", json(kFacebookGroups));
    reply("/11", json(kFacebookGroup11));

    struct Case {
        const char* name;
        QStringList options;
        Reply upload;
        std::map<ServiceHost, std::string> hosts;
        std::string err;
        bool uploadSent;
    } cases[] = {
        {"rejected token", {}, json(kFacebookRefused, 400), {}, std::string(kUploadFailed) + "\n", true},
        {"not an object", {}, Reply(200, "<html>maintenance</html>", "text/html"), {},
         std::string(kUploadFailed) + "\n", true},
        {"service down", {}, json(kFacebookPosted), {{ServiceHost::FacebookGraph, closedBase()}},
         std::string(kOffline) + "\n", false},
        {"no network", {}, json(kFacebookPosted), {{ServiceHost::NetworkCheck, closedBase()}},
         std::string(kNoConnection) + "\n", false},
        {"empty token", {"--token", ""}, json(kFacebookPosted), {}, "Warning: Please log in first.\n", false},
        {"unknown group", {"--target", "Lost"}, json(kFacebookPosted), {},
         "nimbalight-share: none of your Facebook groups is named 'Lost'; the targets are 'My Wall', 'Night Walks'\n",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeConfig(c.hosts);
        reply("/me/photos", c.upload);
        server.clearRequests();
        const ToolRun result = share("facebook", QStringList{"--token", kFacebookToken} + c.options);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(request("/me/photos").has_value(), c.uploadSent);
        EXPECT_EQ(fileBytes(m_database), before);
    }
}

// ---- Flickr -------------------------------------------------------------------

TEST_F(ShareToolTest, FlickrUploadsWithPrivacySetsAndGroupsAndKeepsTokenAndPrivacy)
{
    reply("rest:flickr.photosets.getList", xml(kFlickrSets));
    reply("rest:flickr.groups.pools.getGroups", xml(kFlickrGroups));
    reply("rest:flickr.photosets.addPhoto", xml(kFlickrOk));
    reply("rest:flickr.groups.pools.add", xml(kFlickrOk));
    reply("/services/upload", xml(kFlickrUploaded));

    struct Case {
        const char* name;
        QStringList options;
        std::optional<std::string> storedPrivacy;  // before the run
        std::string friendFamilyPublic;
        std::string privacyAfter;
        std::vector<std::string> paths;
    } cases[] = {
        {"defaults", {}, std::nullopt, "111", "0", {"/services/upload"}},
        {"stored level", {}, "3", "110", "3", {"/services/upload"}},
        {"stored none", {}, "-1", "111", "-1", {"/services/upload"}},
        {"level by name",
         {"--privacy", "friends", "--set", "Night", "--set", "Holiday", "--group", "Nights"},
         "3",
         "100",
         "1",
         {"rest:flickr.photosets.getList", "rest:flickr.groups.pools.getGroups", "/services/upload",
          "rest:flickr.photosets.addPhoto", "rest:flickr.photosets.addPhoto", "rest:flickr.groups.pools.add"}},
        {"level by number", {"--privacy", "5"}, std::nullopt, "000", "4", {"/services/upload"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(m_database);
        if (c.storedPrivacy) {
            ASSERT_EQ(store().checkDatabaseIsExist(CredentialTable::Flickr), services::TableCheck::Created);
            ASSERT_TRUE(store().createOrUpdateFlickrDatabase("privacy", QString::fromStdString(*c.storedPrivacy)));
        }
        server.clearRequests();
        const ToolRun result = share("flickr", QStringList{"--token", kFlickrToken, "--title", "Dusk", "--tags",
                                                           "street/night", "--description", "A & B"} +
                                                   c.options);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, std::string(kComplete) + "\n");
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(paths(), c.paths);

        const std::optional<RecordedRequest> upload = request("/services/upload");
        ASSERT_TRUE(upload);
        EXPECT_EQ(part(upload->body, "auth_token"), kFlickrToken);
        EXPECT_EQ(part(upload->body, "api_key"), services::kFlickrApiKey);
        EXPECT_EQ(part(upload->body, "title"), "Dusk");
        EXPECT_EQ(part(upload->body, "description"), "A & B");
        EXPECT_EQ(part(upload->body, "tags"), "street/night");
        EXPECT_EQ(part(upload->body, "is_friend").value_or("") + part(upload->body, "is_family").value_or("") +
                      part(upload->body, "is_public").value_or(""),
                  c.friendFamilyPublic);
        EXPECT_NE(upload->body.find("filename=\"Nimbalight.jpg\""), std::string::npos);

        // The sets in list order, the group by its id, each with the new photo.
        std::vector<std::string> sets;
        for (const RecordedRequest& r : restCalls("flickr.photosets.addPhoto")) {
            EXPECT_EQ(param(r.query, "photo_id"), "9001");
            EXPECT_EQ(param(r.query, "auth_token"), kFlickrToken);
            sets.push_back(param(r.query, "photoset_id").value_or(""));
        }
        std::vector<std::string> groups;
        for (const RecordedRequest& r : restCalls("flickr.groups.pools.add")) {
            EXPECT_EQ(param(r.query, "photo_id"), "9001");
            groups.push_back(param(r.query, "group_id").value_or(""));
        }
        if (c.options.contains("--set")) {
            EXPECT_EQ(sets, (std::vector<std::string>{"72157601", "72157603"}));
            EXPECT_EQ(groups, std::vector<std::string>{"34427469792@N01"});
        }

        EXPECT_EQ(store().findAuthToken(), QString(kFlickrToken));
        EXPECT_EQ(store().getFlickrStringFromDatabase("privacy"), QString::fromStdString(c.privacyAfter));
    }
}

TEST_F(ShareToolTest, FlickrRefusalsShowTheAlertAndLeaveTheStore)
{
    ASSERT_EQ(store().checkDatabaseIsExist(CredentialTable::Flickr), services::TableCheck::Created);
    ASSERT_TRUE(store().createOrUpdateFlickrDatabase("authtoken", kOldToken));
    ASSERT_TRUE(store().createOrUpdateFlickrDatabase("privacy", "2"));
    const QByteArray before = fileBytes(m_database);
    reply("rest:flickr.photosets.getList", xml(kFlickrSets));

    struct Case {
        const char* name;
        QStringList options;
        Reply upload;
        Reply groups;
        std::map<ServiceHost, std::string> hosts;
        std::string err;
        bool uploadSent;
    } cases[] = {
        {"rejected token", {}, xml(kFlickrBadToken), {}, {}, std::string(kUploadFailed) + "\n", true},
        {"broken answer", {}, xml("<rsp stat=\"ok\""), {}, {}, std::string(kUploadFailed) + "\n", true},
        {"service down", {}, xml(kFlickrUploaded), {}, {{ServiceHost::FlickrUpload, closedBase()}},
         std::string(kOffline) + "\n", false},
        {"no network", {"--set", "Holiday"}, xml(kFlickrUploaded), {}, {{ServiceHost::NetworkCheck, closedBase()}},
         std::string(kNoConnection) + "\n", false},
        {"unknown set", {"--set", "Holi"}, xml(kFlickrUploaded), {}, {},
         "nimbalight-share: none of your Flickr sets is titled 'Holi'; nothing was sent\n", false},
        {"no groups", {"--group", "Nights"}, xml(kFlickrUploaded), xml("<rsp stat=\"ok\"><groups/></rsp>"), {},
         "Warning: You have no groups.\n", false},
        {"group list refused", {"--group", "Nights"}, xml(kFlickrUploaded), xml(kFlickrBadToken), {},
         std::string(kNoConnection) + "\n", false},
        {"empty token", {"--token", ""}, xml(kFlickrUploaded), {}, {}, "Warning: Please log in first.\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeConfig(c.hosts);
        reply("/services/upload", c.upload);
        reply("rest:flickr.groups.pools.getGroups", c.groups);
        server.clearRequests();
        const ToolRun result = share("flickr", QStringList{"--token", kFlickrToken} + c.options);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(request("/services/upload").has_value(), c.uploadSent);
        EXPECT_EQ(fileBytes(m_database), before);
    }
}

TEST_F(ShareToolTest, FlickrSetRefusalAfterTheUploadStillCompletes)
{
    reply("rest:flickr.photosets.getList", xml(kFlickrSets));
    reply("rest:flickr.groups.pools.getGroups", xml(kFlickrGroups));
    reply("rest:flickr.photosets.addPhoto", xml(kFlickrBadToken));
    reply("rest:flickr.groups.pools.add", xml(kFlickrBadToken));
    reply("/services/upload", xml(kFlickrUploaded));

    // A token short enough to turn up inside the group's name leaves the name alone.
    for (const char* token : {kFlickrToken, "t"}) {
        SCOPED_TRACE(token);
        server.clearRequests();
        const ToolRun result = share("flickr", {"--token", token, "--set", "Holiday", "--set", "Night", "--group",
                                                "Streets"});
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.out, std::string(kComplete) + "\n");
        EXPECT_EQ(result.err, "Error: The photo could not be added to the photo set.\n"
                              "nimbalight-share: the pool of the Flickr group 'Streets' did not take the photo\n");
        EXPECT_EQ(restCalls("flickr.photosets.addPhoto").size(), 1u) << "the second set is not tried";
        EXPECT_EQ(store().findAuthToken(), QString(token));
    }
}

// ---- Picasa -------------------------------------------------------------------

TEST_F(ShareToolTest, PicasaUploadsToTheAlbumAndKeepsTheAccount)
{
    reply("/accounts/ClientLogin", Reply(200, kPicasaLogin));
    reply("/data/feed/api/user/default", Reply(200, kPicasaFeed, "application/atom+xml"));
    reply("/data/feed/api/user/default/albumid/5070", Reply(201, kPicasaPublished, "application/atom+xml"));
    reply("/data/feed/api/user/default/albumid/default", Reply(201, kPicasaPublished, "application/atom+xml"));

    struct Case {
        const char* name;
        QStringList options;
        std::vector<std::string> paths;
        std::string summary;
    } cases[] = {
        {"default album", {}, {"/accounts/ClientLogin", "/data/feed/api/user/default/albumid/default"},
         "<summary>Created with Nimbalight for iPhone</summary>"},
        {"album by title",
         {"--album", "Holidays & more", "--description", "<sea & sand>"},
         {"/accounts/ClientLogin", "/data/feed/api/user/default", "/accounts/ClientLogin",
          "/data/feed/api/user/default/albumid/5070"},
         "<summary>&lt;sea &amp; sand&gt;</summary>"},
        {"drop box", {"--album", "Drop Box"},
         {"/accounts/ClientLogin", "/data/feed/api/user/default", "/accounts/ClientLogin",
          "/data/feed/api/user/default/albumid/default"},
         "<summary>Created with Nimbalight for iPhone</summary>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(m_database);
        server.clearRequests();
        const ToolRun result =
            share("picasa", QStringList{"--user", "someone+photos@example.com", "--password", kPassword} + c.options);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, std::string(kComplete) + "\n");
        EXPECT_EQ(paths(), c.paths);

        const std::optional<RecordedRequest> login = request("/accounts/ClientLogin");
        ASSERT_TRUE(login);
        EXPECT_EQ(param(login->body, "Email", true), "someone+photos@example.com");
        EXPECT_EQ(param(login->body, "Passwd", true), kPassword);
        EXPECT_EQ(param(login->body, "service", true), "lh2");
        const RecordedRequest upload = server.lastRequest();
        EXPECT_EQ(upload.method, "POST");
        EXPECT_EQ(upload.header("Authorization"), "GoogleLogin auth=DQAAAGgAdk3fA5N");
        EXPECT_EQ(upload.header("Content-Type"), "multipart/related; boundary=Larch_Wise_Boundary");
        EXPECT_NE(upload.body.find(c.summary), std::string::npos) << upload.body.substr(0, 400);
        EXPECT_NE(upload.body.find("Content-Type:image/jpeg\r\n\r\n\xff\xd8"), std::string::npos);

        EXPECT_EQ(store().getPicasaDataFromDatabase("id", false), "someone+photos@example.com");
        EXPECT_EQ(store().getPicasaDataFromDatabase("pass", true), kPassword);
        EXPECT_NE(fileBytes(m_database).indexOf("someone+photos"), -1);
        EXPECT_EQ(fileBytes(m_database).indexOf(kPassword), -1) << "the password is stored encrypted";
    }
}

TEST_F(ShareToolTest, PicasaRefusalsShowTheAlert)
{
    ASSERT_EQ(store().checkDatabaseIsExist(CredentialTable::Picasa), services::TableCheck::Created);
    reply("/data/feed/api/user/default", Reply(200, kPicasaFeed, "application/atom+xml"));

    struct Case {
        const char* name;
        QStringList options;
        Reply login;
        Reply upload;
        std::map<ServiceHost, std::string> hosts;
        std::string err;
        bool loggedIn;  // an accepted login keeps the account, as the view does
    } cases[] = {
        {"login refused", {}, Reply(403, "Error=BadAuthentication\n"), Reply(201, kPicasaPublished), {},
         std::string(kWrongPassword) + "\n", false},
        {"account disabled", {}, Reply(403, "Url=x\nError=AccountDisabled\n"), Reply(201, kPicasaPublished), {},
         "Error: This account has been disabled.\n", false},
        {"upload refused", {}, Reply(200, kPicasaLogin), Reply(400, "Invalid album\n id"), {},
         "Error: The upload failed. Please try again. (Invalid album id)\n", true},
        {"service down", {}, Reply(200, kPicasaLogin), Reply(201, kPicasaPublished),
         {{ServiceHost::PicasaLogin, closedBase()}}, std::string(kOffline) + "\n", false},
        {"no network", {}, Reply(200, kPicasaLogin), Reply(201, kPicasaPublished),
         {{ServiceHost::NetworkCheck, closedBase()}}, std::string(kNoConnection) + "\n", false},
        {"unknown album", {"--album", "Dogs"}, Reply(200, kPicasaLogin), Reply(201, kPicasaPublished), {},
         "nimbalight-share: none of your Picasa albums is titled 'Dogs'; nothing was sent\n", true},
        {"empty user", {"--user", ""}, Reply(200, kPicasaLogin), Reply(201, kPicasaPublished), {},
         "Warning: Please enter your user name.\n", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(store().createOrUpdatePicasaDatabase("id", "earlier@example.com", false));
        ASSERT_TRUE(store().createOrUpdatePicasaDatabase("pass", "", false));
        writeConfig(c.hosts);
        reply("/accounts/ClientLogin", c.login);
        reply("/data/feed/api/user/default/albumid/default", c.upload);
        server.clearRequests();
        const ToolRun result =
            share("picasa", QStringList{"--user", "someone@example.com", "--password", kPassword} + c.options);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(store().getPicasaDataFromDatabase("id", false),
                  c.loggedIn ? "someone@example.com" : "earlier@example.com");
        EXPECT_EQ(store().getPicasaDataFromDatabase("pass", true), c.loggedIn ? kPassword : "");
    }
}

// ---- Twitter ------------------------------------------------------------------

TEST_F(ShareToolTest, TwitterTweetsThroughEachHostAndKeepsLoginAndHost)
{
    reply("/oauth/access_token", Reply(200, kTwitterAccessToken));
    reply("/statuses/update.xml", xml(kTwitterPosted));
    reply("/", xml(kMobyAnswer));
    reply("/1/upload.xml", xml(kTwitpicAnswer));
    reply("/api/upload", xml(kYfrogAnswer));

    struct Case {
        const char* name;
        QStringList options;
        std::optional<QString> storedHost;  // before the run
        std::vector<std::string> paths;
        std::string address;
        std::string host;
    } cases[] = {
        {"mobypicture", {"--host", "mobypicture"}, std::nullopt,
         {"/", "/oauth/access_token", "/statuses/update.xml"}, "http://moby.to/6hdlg", "mobypicture"},
        {"twitpic", {"--host", "twitpic"}, QString("yfrog"),
         {"/oauth/access_token", "/1/upload.xml", "/statuses/update.xml"}, "http://twitpic.com/1lacuz", "twitpic"},
        {"yfrog", {"--host", "yfrog"}, std::nullopt, {"/api/upload", "/oauth/access_token", "/statuses/update.xml"},
         "http://yfrog.com/h4ps2s", "yfrog"},
        {"stored host", {}, QString("yfrog"), {"/api/upload", "/oauth/access_token", "/statuses/update.xml"},
         "http://yfrog.com/h4ps2s", "yfrog"},
        {"retired stored host", {}, QString("img.ly"),
         {"/oauth/access_token", "/1/upload.xml", "/statuses/update.xml"}, "http://twitpic.com/1lacuz", "twitpic"},
        {"nothing stored", {}, std::nullopt, {"/oauth/access_token", "/1/upload.xml", "/statuses/update.xml"},
         "http://twitpic.com/1lacuz", "twitpic"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(m_database);
        if (c.storedHost) {
            ASSERT_TRUE(store().createOrUpdateTwitterDatabase("earlier", "old"));
            ASSERT_TRUE(store().socialUpdateFromDatabase("thirdparty", *c.storedHost));
        }
        server.clearRequests();
        const ToolRun result = share("twitter", QStringList{"--user", "episod", "--password", kPassword, "--caption",
                                                            "Dusk & #night"} +
                                                    c.options);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, std::string(kComplete) + ": " + c.address + "\n");
        EXPECT_EQ(paths(), c.paths);

        const std::optional<RecordedRequest> token = request("/oauth/access_token");
        ASSERT_TRUE(token);
        EXPECT_EQ(param(token->query, "x_auth_username"), "episod");
        EXPECT_EQ(param(token->query, "x_auth_password"), kPassword);
        EXPECT_EQ(token->header("Authorization").rfind("OAuth ", 0), 0u);
        const RecordedRequest status = server.lastRequest();
        EXPECT_EQ(param(status.query, "status"), "Dusk & #night " + c.address);
        EXPECT_NE(status.header("Authorization").find("oauth_token=\"819797-"), std::string::npos);

        const std::optional<services::TwitterLogin> login = store().getTwitterFromDatabase();
        ASSERT_TRUE(login);
        EXPECT_EQ(login->userName, "episod");
        EXPECT_EQ(login->password, kPassword);
        EXPECT_EQ(store().getSocialDataFromDatabase(), QString::fromStdString(c.host));
        EXPECT_EQ(fileBytes(m_database).indexOf(kPassword), -1) << "the password is stored encrypted";
    }
}

TEST_F(ShareToolTest, TwitterRefusalsShowTheAlertAndLeaveTheStore)
{
    ASSERT_TRUE(store().createOrUpdateTwitterDatabase("earlier", "old"));
    ASSERT_TRUE(store().socialUpdateFromDatabase("thirdparty", "mobypicture"));
    const QByteArray before = fileBytes(m_database);
    reply("/1/upload.xml", xml(kTwitpicAnswer));
    reply("/api/upload", xml(kYfrogAnswer));

    struct Case {
        const char* name;
        QStringList options;
        Reply token;
        Reply moby;
        Reply status;
        std::map<ServiceHost, std::string> hosts;
        std::string err;
    } cases[] = {
        {"duplicate status", {}, Reply(200, kTwitterAccessToken), xml(kMobyAnswer), xml(kTwitterDuplicate), {},
         "Error: You posted the same text just before.\n"},
        {"status refused", {}, Reply(200, kTwitterAccessToken), xml(kMobyAnswer),
         xml("<hash><error>Could not authenticate you.</error></hash>"), {}, std::string(kUploadFailed) + "\n"},
        {"host answer without an address", {}, Reply(200, kTwitterAccessToken),
         xml("<rsp><err code=\"2\">Invalid credentials</err></rsp>"), xml(kTwitterPosted), {},
         std::string(kLoginFailed) + "\n"},
        {"login refused", {"--host", "twitpic"}, Reply(401, "error=Invalid user name or password"), xml(kMobyAnswer),
         xml(kTwitterPosted), {}, std::string(kLoginFailed) + "\n"},
        {"host down", {}, Reply(200, kTwitterAccessToken), xml(kMobyAnswer), xml(kTwitterPosted),
         {{ServiceHost::MobyPicture, closedBase()}}, std::string(kOffline) + "\n"},
        {"twitter down", {"--host", "yfrog"}, Reply(200, kTwitterAccessToken), xml(kMobyAnswer), xml(kTwitterPosted),
         {{ServiceHost::TwitterAuth, closedBase()}, {ServiceHost::TwitterApi, closedBase()}},
         std::string(kOffline) + "\n"},
        {"no network", {}, Reply(200, kTwitterAccessToken), xml(kMobyAnswer), xml(kTwitterPosted),
         {{ServiceHost::NetworkCheck, closedBase()}}, std::string(kNoConnection) + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeConfig(c.hosts);
        reply("/oauth/access_token", c.token);
        reply("/", c.moby);
        reply("/statuses/update.xml", c.status);
        server.clearRequests();
        const ToolRun result = share("twitter", QStringList{"--user", "episod", "--password", kPassword} + c.options);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(fileBytes(m_database), before);
    }
}

// ---- Everything else --------------------------------------------------------------

TEST_F(ShareToolTest, UsageErrorsExitWithTwoAndSendNothing)
{
    const QString photo = m_photo;
    struct Case {
        QStringList arguments;
        std::map<QString, QString> environment;
        std::string message;
    } cases[] = {
        {{}, {}, "SERVICE and PHOTO are required"},
        {{"myspace", photo}, {}, "unknown service 'myspace': use facebook, flickr, picasa or twitter"},
        {{"facebook"}, {}, "PHOTO is required"},
        {{"facebook", "--token", "t", photo, photo}, {}, "too many arguments: give one SERVICE and one PHOTO"},
        {{"facebook", "--tokn", "t", photo}, {}, "unknown option --tokn"},
        {{"facebook", "--token"}, {}, "option --token needs a value"},
        {{"facebook", "--quiet=yes", "--token", "t", photo}, {}, "option --quiet takes no value"},
        {{"facebook", photo}, {}, "facebook needs --token TOKEN (or NIMBALIGHT_SHARE_TOKEN)"},
        {{"flickr", photo}, {}, "flickr needs --token TOKEN (or NIMBALIGHT_SHARE_TOKEN)"},
        {{"picasa", "--password", kPassword, photo}, {}, "picasa needs --user NAME"},
        {{"twitter", "--user", "u", photo}, {}, "twitter needs --password PASSWORD (or NIMBALIGHT_SHARE_PASSWORD)"},
        {{"twitter", "--user", "u", photo}, {{"NIMBALIGHT_SHARE_PASSWORD", ""}},
         "twitter needs --password PASSWORD (or NIMBALIGHT_SHARE_PASSWORD)"},
        {{"flickr", "--token", "t", "--privacy", "everyone", photo}, {},
         "--privacy must be public, friends, family, friends-and-family or private (1 to 5), not 'everyone'"},
        {{"flickr", "--token", "t", "--privacy=6", photo}, {},
         "--privacy must be public, friends, family, friends-and-family or private (1 to 5), not '6'"},
        {{"twitter", "--user", "u", "--password", kPassword, "--host", "img.ly", photo}, {},
         "--host must be mobypicture, twitpic or yfrog, not 'img.ly'"},
        {{"flickr", "--token", "t", "--album", "A", photo}, {}, "option --album is for picasa, not flickr"},
        {{"picasa", "--user", "u", "--password", kPassword, "--caption", "c", photo}, {},
         "option --caption is for facebook and twitter, not picasa"},
        {{"facebook", "--password", kPassword, photo}, {}, "option --password is for picasa and twitter, not facebook"},
        {{"flickr", "--token", "t", "--set", "", photo}, {}, "--set needs a name"},
        {{"twitter", "--user", "u", "--password", kPassword, "--host", "twitpic", "--caption", QString(115, 'x'), photo},
         {}, "the caption is 1 character too long for a tweet through twitpic"},
        {{"twitter", "--user", "u", "--password", kPassword, "--caption", QString(141, 'x'), photo}, {},
         "the caption is 27 characters too long for a tweet through twitpic"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').left(120).toStdString());
        const ToolRun result = run(c.arguments, c.environment);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "nimbalight-share: " + c.message + "\nTry 'nimbalight-share --help'.\n");
    }
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_EQ(checkServer.requestCount(), 0u);
    EXPECT_FALSE(QFile::exists(m_database));
}

TEST_F(ShareToolTest, HelpDescribesEveryOption)
{
    const ToolRun result = run({"twitter", "--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out.rfind("Usage: nimbalight-share SERVICE [options] PHOTO\n", 0), 0u);
    for (const char* option : {"--token", "--user", "--password", "--caption", "--title", "--description", "--tags",
                               "--privacy", "--set", "--group", "--album", "--target", "--host", "--database",
                               "--quiet", "--help", "NIMBALIGHT_SHARE_PASSWORD", "friends-and-family", "mobypicture",
                               "\"My Wall\"", "Exit status: 0 uploaded, 1 refused or failed, 2 a usage error."})
        EXPECT_NE(result.out.find(option), std::string::npos) << option;
}

TEST_F(ShareToolTest, APhotoThatCannotBeReadSendsNothing)
{
    const QString text = m_dir.filePath("notes.jpg");
    QFile file(text);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture at all");
    file.close();
    for (const QString& photo : {m_dir.filePath("missing.png"), text}) {
        SCOPED_TRACE(photo.toStdString());
        const ToolRun result =
            run({"facebook", "--token", kFacebookToken, "--database", m_database, photo});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.rfind("nimbalight-share: cannot read the photo '" + photo.toStdString() + "': ", 0), 0u)
            << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    EXPECT_EQ(server.requestCount(), 0u);
    EXPECT_EQ(checkServer.requestCount(), 0u);
}

TEST_F(ShareToolTest, SecretsFromTheEnvironmentNeverShowAndTheDefaultStoreIsTheDocumentsFolder)
{
    reply("/accounts/ClientLogin", Reply(200, kPicasaLogin));
    reply("/data/feed/api/user/default/albumid/default", Reply(201, kPicasaPublished));
    reply("/me/photos", json(kFacebookPosted));
    const std::map<QString, QString> environment{{"NIMBALIGHT_SHARE_PASSWORD", kPassword},
                                                 {"NIMBALIGHT_SHARE_TOKEN", kFacebookToken},
                                                 {"NIMBALIGHT_LOG_TO_STDERR", "1"}};

    // Not quiet, no --database, the debug log on stderr: progress lines and
    // log lines, but no password or token (checked by run()).
    ToolRun result = run({"picasa", "--user", "someone@example.com", m_photo}, environment);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, std::string(kComplete) + "\n");
    EXPECT_NE(result.err.find("Picasa: Uploading...\n"), std::string::npos) << result.err;
    EXPECT_EQ(param(request("/accounts/ClientLogin")->body, "Passwd", true), kPassword);

    result = run({"facebook", m_photo}, environment);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("Facebook: Uploading...\n"), std::string::npos) << result.err;
    EXPECT_EQ(part(request("/me/photos")->body, "access_token"), kFacebookToken);

    CredentialStore documents(m_dir.filePath("documents/upload.sqlite"));
    EXPECT_EQ(documents.getPicasaDataFromDatabase("pass", true), kPassword);
    EXPECT_EQ(documents.getFacebookDataFromDatabase("authtoken"), kFacebookToken);
    EXPECT_FALSE(QFile::exists(m_database));

    // A service that echoes the password back in its refusal.
    reply("/data/feed/api/user/default/albumid/default",
          Reply(400, std::string("Bad request: Passwd=") + kPassword + " / " + services::oauthPercentEncode(kPassword)));
    result = run({"picasa", "--user", "someone@example.com", "--quiet", m_photo}, environment);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("Error: The upload failed. Please try again. (Bad request: Passwd=*** / ***)"),
              std::string::npos)
        << result.err;
}
