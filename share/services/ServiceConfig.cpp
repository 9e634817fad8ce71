#include "share/services/ServiceConfig.h"

#include "platform/SystemLog.h"

#include <QSettings>
#include <QUrl>

namespace services {

namespace {

constexpr std::string_view kFarmPlaceholder = "{farm}";

size_t indexOf(ServiceHost host)
{
    return static_cast<size_t>(host);
}

const char* keyName(ServiceHost host)
{
    switch (host) {
    case ServiceHost::FacebookGraph: return "FacebookGraph";
    case ServiceHost::FacebookWeb: return "FacebookWeb";
    case ServiceHost::FlickrApi: return "FlickrApi";
    case ServiceHost::FlickrUpload: return "FlickrUpload";
    case ServiceHost::FlickrAuth: return "FlickrAuth";
    case ServiceHost::FlickrStaticImages: return "FlickrStaticImages";
    case ServiceHost::PicasaLogin: return "PicasaLogin";
    case ServiceHost::PicasaFeeds: return "PicasaFeeds";
    case ServiceHost::TwitterAuth: return "TwitterAuth";
    case ServiceHost::TwitterApi: return "TwitterApi";
    case ServiceHost::MobyPicture: return "MobyPicture";
    case ServiceHost::Twitpic: return "Twitpic";
    case ServiceHost::Yfrog: return "Yfrog";
    case ServiceHost::NetworkCheck: return "NetworkCheck";
    }
    return "";
}

std::string replaceFarm(std::string pattern, std::string_view farm)
{
    size_t at = 0;
    while ((at = pattern.find(kFarmPlaceholder, at)) != std::string::npos) {
        pattern.replace(at, kFarmPlaceholder.size(), farm);
        at += farm.size();
    }
    return pattern;
}

// The override without trailing slashes, or "" when it is no usable base URL.
std::string validatedBase(QString value)
{
    value = value.trimmed();
    while (value.endsWith(QLatin1Char('/')))
        value.chop(1);
    const std::string base = value.toStdString();
    const QUrl url(QString::fromStdString(replaceFarm(base, "1")), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty() || url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty())
        return {};
    return base;
}

} // namespace

ServiceConfig::ServiceConfig()
{
    QSettings settings(QStringLiteral("Nimbalight"), QStringLiteral("Nimbalight"));
    load(settings);
}

ServiceConfig::ServiceConfig(QSettings& settings)
{
    load(settings);
}

void ServiceConfig::load(QSettings& settings)
{
    for (ServiceHost host : kAllServiceHosts) {
        std::string& base = m_baseUrls[indexOf(host)];
        base = defaultBaseUrl(host);
        const QString key = settingsKey(host);
        if (!settings.contains(key))
            continue;
        const std::string replacement = validatedBase(settings.value(key).toString());
        if (replacement.empty())
            platform::systemLog("Ignoring the setting %s: not an http or https base URL", key.toUtf8().constData());
        else
            base = replacement;
    }
    m_caBundlePath = settings.value(caBundleSettingsKey()).toString().trimmed().toStdString();
}

const std::string& ServiceConfig::baseUrl(ServiceHost host) const
{
    return m_baseUrls[indexOf(host)];
}

std::string ServiceConfig::url(ServiceHost host, std::string_view pathAndQuery) const
{
    return baseUrl(host) + std::string(pathAndQuery);
}

std::string ServiceConfig::flickrStaticImageBase(std::string_view farm) const
{
    return replaceFarm(baseUrl(ServiceHost::FlickrStaticImages), farm);
}

const char* ServiceConfig::defaultBaseUrl(ServiceHost host)
{
    switch (host) {
    case ServiceHost::FacebookGraph: return "https://graph.facebook.com";
    case ServiceHost::FacebookWeb: return "https://www.facebook.com";
    case ServiceHost::FlickrApi: return "https://api.flickr.com";
    case ServiceHost::FlickrUpload: return "https://up.flickr.com";
    case ServiceHost::FlickrAuth: return "https://www.flickr.com";
    case ServiceHost::FlickrStaticImages: return "https://farm{farm}.staticflickr.com";
    case ServiceHost::PicasaLogin: return "https://www.google.com";
    case ServiceHost::PicasaFeeds: return "https://picasaweb.google.com";
    case ServiceHost::TwitterAuth: return "https://api.twitter.com";
    case ServiceHost::TwitterApi: return "https://api.twitter.com";
    case ServiceHost::MobyPicture: return "https://api.mobypicture.com";
    case ServiceHost::Twitpic: return "https://api.twitpic.com";
    case ServiceHost::Yfrog: return "https://yfrog.com";
    case ServiceHost::NetworkCheck: return "https://www.google.com";
    }
    return "";
}

QString ServiceConfig::settingsKey(ServiceHost host)
{
    return QStringLiteral("ServiceHosts/") + QLatin1String(keyName(host));
}

QString ServiceConfig::caBundleSettingsKey()
{
    return QStringLiteral("ServiceHosts/CaBundlePath");
}

} // namespace services
