#include "share/services/ImageHostUpload.h"

#include "share/services/ServiceConfig.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

namespace {

using namespace services;

TEST(ImageHostChooser, NamesAndIndices)
{
    const std::vector<std::pair<std::string, int>> indexOfName{
        {"mobypicture", 0}, {"twitpic", 1}, {"yfrog", 2},  {"tweetphoto", 3}, {"twitgoo", 4},
        {"img.ly", 5},      {"", -1},       {"Twitpic", -1}, {"flickr", -1},
    };
    for (const auto& [name, index] : indexOfName)
        EXPECT_EQ(imageHostIndexForName(name), index) << name;

    const std::vector<std::pair<int, std::string>> nameOfIndex{
        {-1, "twitpic"}, {0, "mobypicture"}, {1, "twitpic"}, {2, "yfrog"}, {3, ""}, {5, ""}, {-2, ""},
    };
    for (const auto& [index, name] : nameOfIndex)
        EXPECT_EQ(imageHostNameForIndex(index), name) << index;

    const std::vector<std::pair<std::string, ImageHost>> hostOfName{
        {"mobypicture", ImageHost::MobyPicture}, {"twitpic", ImageHost::Twitpic}, {"yfrog", ImageHost::Yfrog},
        {"img.ly", ImageHost::Twitpic},          {"twitgoo", ImageHost::Twitpic}, {"tweetphoto", ImageHost::Twitpic},
        {"", ImageHost::Twitpic},                {"other", ImageHost::Twitpic},
    };
    for (const auto& [name, host] : hostOfName)
        EXPECT_EQ(imageHostForName(name), host) << name;

    for (ImageHost host : {ImageHost::MobyPicture, ImageHost::Twitpic, ImageHost::Yfrog}) {
        EXPECT_EQ(imageHostForName(imageHostName(host)), host);
        EXPECT_EQ(imageHostIndexForName(imageHostName(host)), int(host));
        EXPECT_EQ(imageHostRowImage(host), imageHostName(host) + ".png");
    }
}

TEST(ImageHostChooser, ReserveOfEachHost)
{
    const std::vector<std::pair<std::string, int>> cases{
        {"mobypicture", 22}, {"twitpic", 26}, {"yfrog", 24}, {"img.ly", 0}, {"", 0},
    };
    for (const auto& [name, reserve] : cases)
        EXPECT_EQ(imageHostReserve(name), reserve) << name;
}

TEST(ImageHostKeys, HaveTheirServicesShapes)
{
    EXPECT_EQ(std::string(kMobyPictureDeveloperKey).size(), 16u);
    const std::string twitpic = kTwitpicApiKey;
    EXPECT_EQ(twitpic.size(), 32u);
    EXPECT_EQ(twitpic.find_first_not_of("0123456789abcdef"), std::string::npos);
}

ImageHostUploadFields sampleFields()
{
    ImageHostUploadFields fields;
    fields.userName = "user";
    fields.password = "pa ss&";
    fields.caption = "Caf\xc3\xa9 \"x\"";
    fields.mobyPictureDeveloperKey = "MOBYKEY";
    fields.twitpicApiKey = "TPKEY";
    fields.consumerKey = "CK";
    fields.consumerSecret = "CS";
    fields.oauthToken = "TOK";
    fields.oauthTokenSecret = "TOKS";
    return fields;
}

TEST(ImageHostUploadBody, EachHostsPartsByteForByte)
{
    const std::string jpeg("\xff\xd8\x00\r\n--B\xff\xd9", 9);
    const auto text = [](const std::string& name, const std::string& value) {
        return "--B\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
    };
    const auto file = [&](const std::string& name, const std::string& type) {
        return "--B\r\nContent-Disposition: form-data; name=\"" + name + "\"; filename=\"m1.jpg\"\r\nContent-Type: " +
               type + "\r\nContent-Transfer-Encoding: binary\r\n\r\n" + jpeg + "\r\n--B--\r\n";
    };
    const std::string caption = "Caf\xc3\xa9 \"x\"";
    const std::vector<std::pair<ImageHost, std::string>> cases{
        {ImageHost::MobyPicture, text("u", "user") + text("p", "pa ss&") + text("s", "none") + text("k", "MOBYKEY") +
                                     text("d", caption) + text("format", "xml") + file("i", "image/jpeg")},
        {ImageHost::Twitpic, text("key", "TPKEY") + text("consumer_token", "CK") + text("consumer_secret", "CS") +
                                 text("oauth_token", "TOK") + text("oauth_secret", "TOKS") + text("message", caption) +
                                 file("media", "image/png")},
        {ImageHost::Yfrog, text("username", "user") + text("password", "pa ss&") + text("message", caption) +
                               file("media", "image/png")},
    };
    for (const auto& [host, body] : cases)
        EXPECT_EQ(imageHostUploadBody(host, sampleFields(), "B", jpeg), body) << imageHostName(host);
}

TEST(ImageHostUploadRequest, AddressesAndType)
{
    QTemporaryDir folder;
    QSettings settings{folder.filePath("Nimbalight.ini"), QSettings::IniFormat};
    settings.setValue(ServiceConfig::settingsKey(ServiceHost::MobyPicture), "http://moby.example.test");
    settings.setValue(ServiceConfig::settingsKey(ServiceHost::Twitpic), "http://twitpic.example.test/api");
    settings.setValue(ServiceConfig::settingsKey(ServiceHost::Yfrog), "http://yfrog.example.test:81");
    const ServiceConfig config(settings);
    const std::vector<std::pair<ImageHost, std::string>> cases{
        {ImageHost::MobyPicture, "http://moby.example.test/"},
        {ImageHost::Twitpic, "http://twitpic.example.test/api/1/upload.xml"},
        {ImageHost::Yfrog, "http://yfrog.example.test:81/api/upload"},
    };
    for (const auto& [host, url] : cases) {
        const HttpRequest request = imageHostUploadRequest(host, config, "Larch_Wise_Boundary", "BODY");
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.url, url);
        EXPECT_EQ(request.headers,
                  (HttpHeaders{{"Content-Type", "multipart/form-data; boundary=Larch_Wise_Boundary"}}));
        EXPECT_EQ(request.body, "BODY");
        EXPECT_EQ(request.timeout, std::chrono::seconds(30));
        EXPECT_FALSE(request.ignoreLocalCache);
        EXPECT_FALSE(request.sendNoCookies);
    }
}

TEST(ImageHostAnswer, PhotoAddressOrNothing)
{
    struct Case {
        ImageHost host;
        std::string answer;
        std::optional<std::string> address;
    };
    const std::vector<Case> cases{
        {ImageHost::MobyPicture,
         "<?xml version=\"1.0\"?><rsp><result code=\"0\"><mediaid>a</mediaid><url>http://moby.to/a</url>"
         "</result><url>http://moby.to/b</url></rsp>",
         "http://moby.to/a"},
        {ImageHost::MobyPicture, "<rsp><url></url><url>\n  http://moby.to/c \n</url></rsp>", "http://moby.to/c"},
        {ImageHost::MobyPicture, "<rsp><result code=\"2\"><message>Wrong user</message></result></rsp>", {}},
        {ImageHost::Twitpic, "<image><id>x</id><url>http://twitpic.com/x</url></image>", "http://twitpic.com/x"},
        // Only the url directly under the root counts.
        {ImageHost::Twitpic, "<rsp><image><url>http://twitpic.com/x</url></image></rsp>", {}},
        {ImageHost::Twitpic, "<image><user><url>http://twitter.com/u</url></user></image>", {}},
        {ImageHost::Twitpic, "<errors><error code=\"401\">Could not authenticate you</error></errors>", {}},
        {ImageHost::Yfrog, "<rsp stat=\"ok\"><mediaid>h</mediaid><mediaurl>http://yfrog.com/h</mediaurl></rsp>",
         "http://yfrog.com/h"},
        {ImageHost::Yfrog, "<rsp stat=\"fail\"><err code=\"1001\" msg=\"Invalid username or password\"/></rsp>", {}},
        {ImageHost::Yfrog, "", {}},
        {ImageHost::Yfrog, "not xml at all", {}},
        {ImageHost::Yfrog, "<rsp><mediaurl>", {}},
        {ImageHost::Yfrog, "<!DOCTYPE r [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><rsp><mediaurl>&e;</mediaurl></rsp>", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(imageHostPhotoAddress(c.host, c.answer), c.address) << c.answer;
}

} // namespace
