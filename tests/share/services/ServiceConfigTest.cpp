#include "share/services/ServiceConfig.h"

#include "platform/SystemLog.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include <set>

namespace {

using services::kAllServiceHosts;
using services::ServiceConfig;
using services::ServiceHost;

class ServiceConfigTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        m_previous = platform::setSystemLogSink([this](const std::string& line) { logLines.push_back(line); });
    }
    void TearDown() override { platform::setSystemLogSink(std::move(m_previous)); }

    QTemporaryDir folder;
    QSettings settings{folder.filePath("Nimbalight.ini"), QSettings::IniFormat};
    std::vector<std::string> logLines;

private:
    platform::SystemLogSink m_previous;
};

TEST_F(ServiceConfigTest, DefaultsAreDistinctHttpsBasesWithoutTrailingSlash)
{
    const ServiceConfig config(settings);
    std::set<std::string> keys;
    for (ServiceHost host : kAllServiceHosts) {
        const std::string base = config.baseUrl(host);
        EXPECT_EQ(base, ServiceConfig::defaultBaseUrl(host));
        EXPECT_EQ(base.rfind("https://", 0), 0u) << base;
        EXPECT_NE(base.back(), '/') << base;
        const std::string key = ServiceConfig::settingsKey(host).toStdString();
        EXPECT_EQ(key.rfind("ServiceHosts/", 0), 0u) << key;
        keys.insert(key);
    }
    EXPECT_EQ(keys.size(), kAllServiceHosts.size());
    EXPECT_TRUE(config.caBundlePath().empty());
    EXPECT_EQ(config.url(ServiceHost::FlickrApi, "/services/rest/?method=flickr.auth.getFrob"),
              "https://api.flickr.com/services/rest/?method=flickr.auth.getFrob");
    EXPECT_EQ(config.flickrStaticImageBase("5"), "https://farm5.staticflickr.com");
    EXPECT_TRUE(logLines.empty());
}

TEST_F(ServiceConfigTest, OverridesPointHostsElsewhere)
{
    settings.setValue("ServiceHosts/TwitterAuth", "http://127.0.0.1:8443/");
    settings.setValue("ServiceHosts/PicasaFeeds", " https://localhost:9000/prefix// ");
    settings.setValue("ServiceHosts/FlickrStaticImages", "http://127.0.0.1:7000/farm{farm}");
    settings.setValue("ServiceHosts/CaBundlePath", "/tmp/test-ca.pem");
    const ServiceConfig config(settings);

    EXPECT_EQ(config.baseUrl(ServiceHost::TwitterAuth), "http://127.0.0.1:8443");
    EXPECT_EQ(config.url(ServiceHost::TwitterAuth, "/oauth/access_token"), "http://127.0.0.1:8443/oauth/access_token");
    EXPECT_EQ(config.url(ServiceHost::PicasaFeeds, "/data/feed/api/user/default"),
              "https://localhost:9000/prefix/data/feed/api/user/default");
    EXPECT_EQ(config.flickrStaticImageBase("12"), "http://127.0.0.1:7000/farm12");
    EXPECT_EQ(config.baseUrl(ServiceHost::TwitterApi), "https://api.twitter.com");  // its own key
    EXPECT_EQ(config.caBundlePath(), "/tmp/test-ca.pem");
}

TEST_F(ServiceConfigTest, UnusableOverridesAreIgnoredAndLogged)
{
    const std::vector<std::pair<ServiceHost, const char*>> bad{
        {ServiceHost::FacebookGraph, "ftp://127.0.0.1/"},       {ServiceHost::FacebookWeb, "127.0.0.1:80"},
        {ServiceHost::FlickrApi, ""},                           {ServiceHost::FlickrUpload, "http://"},
        {ServiceHost::Twitpic, "http://127.0.0.1/?q=1"},        {ServiceHost::Yfrog, "http://user:pw@127.0.0.1"},
        {ServiceHost::MobyPicture, "http://bad host name/"},
    };
    for (const auto& [host, value] : bad)
        settings.setValue(ServiceConfig::settingsKey(host), value);
    const ServiceConfig config(settings);
    for (const auto& [host, value] : bad)
        EXPECT_EQ(config.baseUrl(host), ServiceConfig::defaultBaseUrl(host)) << value;
    ASSERT_EQ(logLines.size(), bad.size());
    EXPECT_EQ(logLines[0], "Ignoring the setting ServiceHosts/FacebookGraph: not an http or https base URL");
    // A rejected value is not echoed (it could carry credentials).
    for (const std::string& line : logLines)
        EXPECT_EQ(line.find("pw@"), std::string::npos);
}

TEST_F(ServiceConfigTest, DefaultConstructorReadsTheApplicationsUserDefaults)
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path());
    {
        QSettings defaults(QStringLiteral("Nimbalight"), QStringLiteral("Nimbalight"));
        defaults.setValue("ServiceHosts/NetworkCheck", "http://127.0.0.1:1");
    }
    const ServiceConfig config;
    EXPECT_EQ(config.baseUrl(ServiceHost::NetworkCheck), "http://127.0.0.1:1");
}

} // namespace
