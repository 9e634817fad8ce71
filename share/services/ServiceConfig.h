// Where the online services live.
//
// Every host the service views talk to has a compiled-in base URL (scheme,
// host, optional port; no trailing slash), and each can be overridden
// without rebuilding through the application's user defaults (QSettings,
// organisation "Nimbalight", application "Nimbalight"), group
// "ServiceHosts", which the settings screen does not show. The protocol
// units append their fixed paths and queries to these bases.
//
//   key                             default                         used for
//   ServiceHosts/FacebookGraph      https://graph.facebook.com      Graph API calls and uploads, the login page ("/oauth/authorize")
//   ServiceHosts/FacebookWeb        https://www.facebook.com        the login-success redirect ("/connect/login_success.html"); its cookies are cleared at log-out
//   ServiceHosts/FlickrApi          https://api.flickr.com          REST calls ("/services/rest/")
//   ServiceHosts/FlickrUpload       https://up.flickr.com           photo upload ("/services/upload"); its cookies are cleared at log-out
//   ServiceHosts/FlickrAuth         https://www.flickr.com          the approval page ("/services/auth/")
//   ServiceHosts/FlickrStaticImages https://farm{farm}.staticflickr.com
//                                                                   set and group thumbnails; "{farm}" becomes the farm number
//   ServiceHosts/PicasaLogin        https://www.google.com          ClientLogin ("/accounts/ClientLogin")
//   ServiceHosts/PicasaFeeds        https://picasaweb.google.com    album feed and upload ("/data/feed/api/user/default...")
//   ServiceHosts/TwitterAuth        https://api.twitter.com         xAuth access token ("/oauth/access_token")
//   ServiceHosts/TwitterApi         https://api.twitter.com         status update ("/statuses/update.xml")
//   ServiceHosts/MobyPicture        https://api.mobypicture.com     photo upload (root path)
//   ServiceHosts/Twitpic            https://api.twitpic.com         photo upload ("/1/upload.xml")
//   ServiceHosts/Yfrog              https://yfrog.com               photo upload ("/api/upload")
//   ServiceHosts/NetworkCheck       https://www.google.com          the network check before a request
//   ServiceHosts/CaBundlePath       (empty: the system's CAs)       PEM file of the CAs to trust instead of the system's
//
// An override must be an absolute http or https URL with a host (it may
// carry a port and a path prefix; trailing slashes are dropped); anything
// else is ignored with a line in the system log and the default is used.
// Values are read once, when the configuration object is made.
#pragma once

#include <QString>

#include <array>
#include <string>
#include <string_view>

class QSettings;

namespace services {

enum class ServiceHost {
    FacebookGraph,
    FacebookWeb,
    FlickrApi,
    FlickrUpload,
    FlickrAuth,
    FlickrStaticImages,
    PicasaLogin,
    PicasaFeeds,
    TwitterAuth,
    TwitterApi,
    MobyPicture,
    Twitpic,
    Yfrog,
    NetworkCheck,
};

inline constexpr std::array<ServiceHost, 14> kAllServiceHosts{
    ServiceHost::FacebookGraph, ServiceHost::FacebookWeb, ServiceHost::FlickrApi,   ServiceHost::FlickrUpload,
    ServiceHost::FlickrAuth,    ServiceHost::FlickrStaticImages, ServiceHost::PicasaLogin, ServiceHost::PicasaFeeds,
    ServiceHost::TwitterAuth,   ServiceHost::TwitterApi,  ServiceHost::MobyPicture, ServiceHost::Twitpic,
    ServiceHost::Yfrog,         ServiceHost::NetworkCheck,
};

class ServiceConfig {
public:
    // Reads the application's user defaults.
    ServiceConfig();
    // Reads the given settings (tests point these at their own file).
    explicit ServiceConfig(QSettings& settings);

    // The base URL of a host, e.g. "https://api.flickr.com".
    const std::string& baseUrl(ServiceHost host) const;
    // Base URL followed by a path (and query) that starts with "/".
    std::string url(ServiceHost host, std::string_view pathAndQuery) const;
    // Base of the static-image host of a Flickr farm.
    std::string flickrStaticImageBase(std::string_view farm) const;
    // The CA bundle to hand to the HTTP client; empty for the system's CAs.
    const std::string& caBundlePath() const { return m_caBundlePath; }

    static const char* defaultBaseUrl(ServiceHost host);
    // The user-defaults key, e.g. "ServiceHosts/FlickrApi".
    static QString settingsKey(ServiceHost host);
    static QString caBundleSettingsKey();

private:
    void load(QSettings& settings);

    std::array<std::string, kAllServiceHosts.size()> m_baseUrls;
    std::string m_caBundlePath;
};

} // namespace services
