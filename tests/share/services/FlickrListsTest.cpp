#include "share/services/FlickrLists.h"

#include "share/services/Crypto.h"
#include "share/services/ServiceConfig.h"

#include "tests/support/LocalHttpServer.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

using namespace services;
using testsupport::LocalHttpServer;
using testsupport::RecordedRequest;
using testsupport::Reply;

const std::string S = kFlickrSharedSecret;
const std::string K = kFlickrApiKey;
constexpr char kToken[] = "72157600000000001-0a1b2c3d4e5f6071";
constexpr char kFrob[] = "72157600000000002-1f2e3d4c5b6a7988-111";

std::string md5Of(const std::string& text) { return md5HexDigest(QString::fromStdString(text)).toStdString(); }

Reply xml(std::string body) { return Reply(200, std::move(body), "text/xml"); }

constexpr char kSetsAnswer[] = R"(<?xml version="1.0" encoding="utf-8" ?>
<rsp stat="ok">
<photosets cancreate="1" page="1" pages="1" perpage="3" total="3">
  <photoset id="72157601" primary="5001" secret="0a1b2c" server="65535" farm="66" photos="12" videos="0">
    <title>Holiday</title>
    <description>sea</description>
  </photoset>
  <photoset id="72157602" primary="5002" secret="3d4e5f" server="0" farm="0" photos="0" videos="1">
    <description>no title here</description>
  </photoset>
  <photoset id="72157603" primary="5003" secret="6a7b8c" server="7" farm="8" photos="3" videos="2">
    <title>Night/Day</title>
  </photoset>
</photosets>
</rsp>)";

constexpr char kTagsAnswer[] = R"(<rsp stat="ok"><who id="1@N01"><tags>
  <tag>street</tag><tag>night</tag><tag></tag><tag>Über</tag>
</tags></who></rsp>)";

constexpr char kGroupsAnswer[] = R"(<rsp stat="ok"><groups>
  <group nsid="34427469792@N01" name="Nights" admin="0" privacy="3" iconserver="1" iconfarm="1" photos="120" />
  <group nsid="11111111@N02" name="Streets" iconserver="0" iconfarm="0" photos="7" />
</groups></rsp>)";

class FlickrListsTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testsupport::bypassProxies();
    }

    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        server.setHandler([this](const RecordedRequest&) { return reply; });
        ASSERT_TRUE(server.start());
        QSettings settings(folder.filePath("Nimbalight.ini"), QSettings::IniFormat);
        settings.setValue("ServiceHosts/FlickrApi", QString::fromStdString(server.baseUrl()));
        settings.setValue("ServiceHosts/FlickrStaticImages", "http://127.0.0.1:7000/farm{farm}");
        config = std::make_unique<ServiceConfig>(settings);
    }

    // The one request a fetch sent: its shape, and the query it had.
    std::string onlyQuery()
    {
        EXPECT_EQ(server.requestCount(), 1u);
        const RecordedRequest request = server.lastRequest();
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.path, "/services/rest/");
        EXPECT_EQ(request.header("Content-Type"), "multipart/form-data; boundary=Larch_Wise_Boundary");
        EXPECT_EQ(request.body, "--Larch_Wise_Boundary\r\n");
        return request.query;
    }

    QTemporaryDir folder;
    LocalHttpServer server;
    Reply reply;
    std::unique_ptr<ServiceConfig> config;
    CurlHttpClient client;
    FlickrSession session{kToken, "1@N01", kFrob};
};

TEST_F(FlickrListsTest, ListQueriesCarryTheSignatureOfTheirSignedText)
{
    const FlickrApp app;
    const std::string T = kToken;
    const struct {
        std::string query;
        std::string expected;
    } cases[] = {
        {flickrSetListQuery(app, T),
         "method=flickr.photosets.getList&api_key=" + K + "&auth_token=" + T + "&api_sig=" +
             md5Of(S + "api_key" + K + "auth_token" + T + "methodflickr.photosets.getList")},
        {flickrTagListQuery(app, T, kFrob),
         "method=flickr.tags.getListUser&api_key=" + K + "&auth_token=" + T + "&frob=" + kFrob + "&api_sig=" +
             md5Of(S + "api_key" + K + "auth_token" + T + "frob" + kFrob + "methodflickr.tags.getListUser")},
        {flickrGroupListQuery(app, T, kFrob),
         "method=flickr.groups.pools.getGroups&api_key=" + K + "&auth_token=" + T + "&frob=" + kFrob + "&api_sig=" +
             md5Of(S + "api_key" + K + "auth_token" + T + "frob" + kFrob + "methodflickr.groups.pools.getGroups")},
        // A token from the store comes without a frob: sent and signed empty.
        {flickrTagListQuery(app, T, ""),
         "method=flickr.tags.getListUser&api_key=" + K + "&auth_token=" + T + "&frob=&api_sig=" +
             md5Of(S + "api_key" + K + "auth_token" + T + "frob" + "methodflickr.tags.getListUser")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.query, c.expected);
}

TEST_F(FlickrListsTest, SetsComeWithTheirOwnTitles)
{
    reply = xml(kSetsAnswer);
    const FlickrSetList list = fetchFlickrSets(client, *config, session);
    EXPECT_TRUE(list.outcome.completed);
    EXPECT_EQ(onlyQuery(), flickrSetListQuery(FlickrApp{}, kToken));
    const std::vector<FlickrPhotoSet> expected{
        {"Holiday", "72157601", "5001", "0a1b2c", "66", "12", "0", "65535"},
        {"", "72157602", "5002", "3d4e5f", "0", "0", "1", "0"},
        {"Night/Day", "72157603", "5003", "6a7b8c", "8", "3", "2", "7"},
    };
    EXPECT_EQ(list.sets, expected);
}

TEST_F(FlickrListsTest, TagsAndGroups)
{
    reply = xml(kTagsAnswer);
    const FlickrTagList tags = fetchFlickrTags(client, *config, session);
    EXPECT_TRUE(tags.outcome.completed);
    EXPECT_EQ(onlyQuery(), flickrTagListQuery(FlickrApp{}, kToken, kFrob));
    EXPECT_EQ(tags.tags, (std::vector<std::string>{"street", "night", "\xC3\x9C" "ber"}));

    server.clearRequests();
    reply = xml(kGroupsAnswer);
    const FlickrGroupList groups = fetchFlickrGroups(client, *config, session);
    EXPECT_TRUE(groups.outcome.completed);
    EXPECT_EQ(onlyQuery(), flickrGroupListQuery(FlickrApp{}, kToken, kFrob));
    const std::vector<FlickrGroup> expected{{"34427469792@N01", "Nights", "1", "1", "120"},
                                            {"11111111@N02", "Streets", "0", "0", "7"}};
    EXPECT_EQ(groups.groups, expected);
    EXPECT_EQ(groups.groupMap, (FlickrGroupMap{{"11111111@N02", "Streets"}, {"34427469792@N01", "Nights"}}));
}

TEST_F(FlickrListsTest, ListFailuresAndEmptyLists)
{
    enum List { Sets, Tags, Groups };
    const struct {
        const char* name;
        List list;
        Reply reply;
        const char* title;
        const char* message;
    } cases[] = {
        {"no sets", Sets, xml(R"(<rsp stat="ok"><photosets total="0"/></rsp>)"), "WARNING", "ERROR_NO_PHOTOSET_MSG"},
        {"no tags", Tags, xml(R"(<rsp stat="ok"><who><tags/></who></rsp>)"), "WARNING", "ERROR_NO_TAG_MSG"},
        {"no groups", Groups, xml(R"(<rsp stat="ok"><groups/></rsp>)"), "WARNING", "ERROR_NO_GROUP"},
        {"refused", Sets, xml(R"(<rsp stat="fail"><err code="98" msg="Invalid auth token"/></rsp>)"),
         "ERROR_INTERNET_CONNECTION_CHECK_TITLE", "ERROR_INTERNET_CONNECTION_CHECK_MSG"},
        {"empty answer", Tags, xml(""), "ERROR_INTERNET_CONNECTION_CHECK_TITLE", "ERROR_INTERNET_CONNECTION_CHECK_MSG"},
        {"truncated", Groups, xml(R"(<rsp stat="ok"><groups><group nsid="1" name="A")"),
         "ERROR_INTERNET_CONNECTION_CHECK_TITLE", "ERROR_INTERNET_CONNECTION_CHECK_MSG"},
        {"server error", Sets, Reply(500, "<html/>", "text/html"), "ERROR_INTERNET_CONNECTION_CHECK_TITLE",
         "ERROR_INTERNET_CONNECTION_CHECK_MSG"},
    };
    for (const auto& c : cases) {
        reply = c.reply;
        server.clearRequests();
        ShareOutcome outcome;
        std::size_t items = 0;
        switch (c.list) {
        case Sets: {
            const FlickrSetList list = fetchFlickrSets(client, *config, session);
            outcome = list.outcome;
            items = list.sets.size();
            break;
        }
        case Tags: {
            const FlickrTagList list = fetchFlickrTags(client, *config, session);
            outcome = list.outcome;
            items = list.tags.size();
            break;
        }
        case Groups: {
            const FlickrGroupList list = fetchFlickrGroups(client, *config, session);
            outcome = list.outcome;
            items = list.groups.size() + list.groupMap.size();
            break;
        }
        }
        EXPECT_FALSE(outcome.completed) << c.name;
        EXPECT_EQ(outcome.titleKey, c.title) << c.name;
        EXPECT_EQ(outcome.messageKey, c.message) << c.name;
        EXPECT_EQ(items, 0u) << c.name;
        EXPECT_EQ(server.requestCount(), 1u) << c.name;
    }
}

TEST_F(FlickrListsTest, NoTokenOrNoConnection)
{
    server.clearRequests();
    const FlickrSetList loggedOut = fetchFlickrSets(client, *config, FlickrSession{});
    EXPECT_EQ(loggedOut.outcome.titleKey, "WARNING");
    EXPECT_EQ(loggedOut.outcome.messageKey, "WARNING_LOGIN_MSG");
    EXPECT_EQ(fetchFlickrGroups(client, *config, FlickrSession{}).outcome.messageKey, "WARNING_LOGIN_MSG");
    EXPECT_EQ(server.requestCount(), 0u);

    LocalHttpServer closed;
    ASSERT_TRUE(closed.start());
    QSettings settings(folder.filePath("refused.ini"), QSettings::IniFormat);
    settings.setValue("ServiceHosts/FlickrApi", QString::fromStdString(closed.baseUrl()));
    closed.stop();
    const ServiceConfig refused(settings);
    const FlickrTagList offline = fetchFlickrTags(client, refused, session);
    EXPECT_EQ(offline.outcome.titleKey, "ERROR");
    EXPECT_EQ(offline.outcome.messageKey, "ERROR_INTERNET_CONNECTION_OFFLINE_MSG");
}

TEST_F(FlickrListsTest, LabelsJoinAndSplitAtSlashes)
{
    EXPECT_EQ(flickrJoinChoice({}), "");
    EXPECT_EQ(flickrJoinChoice({"Holiday"}), "Holiday");
    EXPECT_EQ(flickrJoinChoice({"Holiday", "Night/Day"}), "Holiday/Night/Day");
    EXPECT_EQ(flickrSplitLabel("a//b/"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(flickrSplitLabel("").empty());
}

TEST_F(FlickrListsTest, LabelsBackToIds)
{
    const std::vector<FlickrPhotoSet> sets{
        {"Holiday", "1", "", "", "", "", "", ""}, {"Night", "2", "", "", "", "", "", ""},
        {"Holiday", "3", "", "", "", "", "", ""}, {"Night/Day", "4", "", "", "", "", "", ""},
        {"Day", "5", "", "", "", "", "", ""},     {"", "6", "", "", "", "", "", ""},
    };
    const struct {
        const char* label;
        std::vector<std::string> ids;
    } setCases[] = {
        {"", {}},
        {"Night", {"2"}},
        {"Night/Holiday", {"1", "2", "3"}},       // list order; a shared title gives both ids
        {"Holiday/Holiday", {"1", "3"}},          // each set once
        {"Night/Day", {"2", "5"}},                // a title with "/" is split like two titles
        {"Gone", {}},
    };
    for (const auto& c : setCases)
        EXPECT_EQ(flickrSetIdsForLabel(c.label, sets), c.ids) << c.label;

    const FlickrGroupMap groups{{"g2", "Streets"}, {"g1", "Nights"}, {"g3", "Streets"}};
    const struct {
        const char* label;
        std::vector<std::string> ids;
    } groupCases[] = {
        {"", {}}, {"Nights", {"g1"}}, {"Streets/Nights", {"g1", "g2", "g3"}}, {"Gone", {}},
    };
    for (const auto& c : groupCases)
        EXPECT_EQ(flickrGroupIdsForLabel(c.label, groups), c.ids) << c.label;
}

TEST_F(FlickrListsTest, ThumbnailAddresses)
{
    const FlickrPhotoSet set{"Holiday", "1", "5001", "0a1b2c", "66", "12", "0", "65535"};
    EXPECT_EQ(flickrSetThumbnailUrl(*config, set), "http://127.0.0.1:7000/farm66/65535/5001_0a1b2c_s.jpg");
    const FlickrGroup group{"34427469792@N01", "Nights", "1", "12", "120"};
    EXPECT_EQ(flickrGroupThumbnailUrl(*config, group), "http://127.0.0.1:7000/farm1/12/buddyicons/34427469792@N01.jpg");

    const struct {
        const char* farm;
        const char* server;
        bool fetched;
    } cases[] = {
        {"0", "0", false}, {"0", "5", true}, {"", "5", false}, {"evil.example/", "5", false}, {"3", "0", true},
    };
    for (const auto& c : cases) {
        FlickrGroup g = group;
        g.farm = c.farm;
        g.server = c.server;
        EXPECT_EQ(flickrGroupThumbnailUrl(*config, g).has_value(), c.fetched) << c.farm << " " << c.server;
    }
    FlickrPhotoSet hostile = set;
    hostile.primary = "../../x?y";
    EXPECT_EQ(flickrSetThumbnailUrl(*config, hostile),
              "http://127.0.0.1:7000/farm66/65535/..%2F..%2Fx%3Fy_0a1b2c_s.jpg");
}

} // namespace
