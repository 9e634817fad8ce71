#include "tools/ShareTool.h"

#include "platform/DocumentsFolder.h"
#include "platform/Image.h"
#include "platform/StringTable.h"
#include "share/services/CredentialStore.h"
#include "share/services/FlickrLists.h"
#include "share/services/HttpClient.h"
#include "share/services/ImageHostUpload.h"
#include "share/services/NetworkCheck.h"
#include "share/services/OAuth.h"
#include "share/services/ServiceConfig.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <utility>

using services::ShareOutcome;

namespace {

const char kProgram[] = "nimbalight-share";
const char kDatabaseName[] = "upload.sqlite";
// The longest piece of a service's own answer that goes into an alert line.
constexpr int kDetailLimit = 300;
// Passwords and tokens at least this long are blanked out of service texts.
constexpr std::size_t kShortestRedactedSecret = 4;

struct ServiceName {
    ShareService service;
    const char* name;
    const char* title;
};
constexpr ServiceName kServiceNames[] = {
    {ShareService::Facebook, "facebook", "Facebook"},
    {ShareService::Flickr, "flickr", "Flickr"},
    {ShareService::Picasa, "picasa", "Picasa"},
    {ShareService::Twitter, "twitter", "Twitter"},
};

// The five privacy buttons of the Flickr view, in the order of their levels.
const char* const kPrivacyNames[services::kFlickrPrivacyLevels] = {"public", "friends", "family",
                                                                   "friends-and-family", "private"};

QString text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

std::string utf8(const QString& value)
{
    return value.toStdString();
}

QString localized(const char* key)
{
    return platform::localizedString(QString::fromLatin1(key));
}

// One line of text for the terminal: control characters and line breaks as
// blanks, runs of blanks as one, nothing at the ends, at most limit
// characters (a longer text ends in "...").
QString oneLine(const QString& value, int limit = -1)
{
    QString out;
    bool blank = false;
    for (const QChar ch : value) {
        if (ch.isSpace() || (!ch.isPrint() && !ch.isSurrogate())) {
            blank = !out.isEmpty();
            continue;
        }
        if (blank)
            out += QLatin1Char(' ');
        blank = false;
        out += ch;
    }
    if (limit >= 0 && out.size() > limit) {
        out.truncate(limit);
        if (!out.isEmpty() && out.back().isHighSurrogate())
            out.chop(1);
        out += QStringLiteral("...");
    }
    return out;
}

void printLine(std::FILE* stream, const QString& line)
{
    std::fprintf(stream, "%s\n", line.toUtf8().constData());
    std::fflush(stream);
}

int failure(const QString& message)
{
    printLine(stderr, QStringLiteral("%1: %2").arg(QLatin1String(kProgram), message));
    return 1;
}

QString quotedList(const std::vector<std::string>& names)
{
    QStringList quoted;
    for (const std::string& name : names)
        quoted << QStringLiteral("'%1'").arg(oneLine(text(name), 80));
    return quoted.join(QStringLiteral(", "));
}

// Watches the answer to one address, so that the run can read what a
// whole-flow function does not hand back (the image host's photo address).
class WatchingClient final : public services::HttpClient {
public:
    explicit WatchingClient(services::HttpClient& inner) : m_inner(inner) {}

    void watch(std::string url) { m_url = std::move(url); }
    const std::optional<std::string>& watchedBody() const { return m_body; }

    services::HttpResponse send(const services::HttpRequest& request) override
    {
        services::HttpResponse response = m_inner.send(request);
        if (!m_url.empty() && request.url == m_url && !response.error.failed())
            m_body = response.body;
        return response;
    }

private:
    services::HttpClient& m_inner;
    std::string m_url;
    std::optional<std::string> m_body;
};

// What every service's run shares.
class ShareRun {
public:
    explicit ShareRun(const ShareRequest& request)
        : m_request(request),
          m_databasePath(request.databasePath.isEmpty() ? platform::documentPath(QLatin1String(kDatabaseName))
                                                        : request.databasePath),
          m_store(m_databasePath),
          m_curl(curlOptions(m_config)),
          m_client(m_curl)
    {
        // The network check runs once, when the flow first asks for it.
        auto reachable = std::make_shared<std::optional<bool>>();
        m_networkCheck = [this, reachable] {
            if (!*reachable)
                *reachable = services::isNetworkReachable(m_client, m_config);
            return **reachable;
        };
        for (const std::string& secret : {request.facebook.accessToken, request.flickr.authToken,
                                          request.picasa.account.password, request.twitter.password})
            addSecret(secret);
    }

    int run(const platform::Image& photo)
    {
        switch (m_request.service) {
        case ShareService::Facebook:
            return facebook(photo);
        case ShareService::Flickr:
            return flickr(photo);
        case ShareService::Picasa:
            return picasa(photo);
        case ShareService::Twitter:
            return twitter(photo);
        }
        return 1;
    }

    // The image host a tweet goes through: the option, else the stored one
    // as the Twitter view restores it, else Twitpic.
    services::ImageHost twitterHost()
    {
        if (m_request.twitterHostGiven)
            return services::imageHostForName(m_request.twitter.imageHost);
        if (storeExists())
            if (const std::optional<QString> stored = m_store.getSocialDataFromDatabase())
                return services::imageHostForName(utf8(services::currentImageHost(*stored)));
        return services::ImageHost::Twitpic;
    }

private:
    static services::CurlHttpClient::Options curlOptions(const services::ServiceConfig& config)
    {
        services::CurlHttpClient::Options options;
        options.caBundlePath = config.caBundlePath();
        return options;
    }

    void addSecret(const std::string& secret)
    {
        // Shorter texts turn up inside ordinary words, and blanking them
        // would garble the service's message more than it protects.
        if (secret.size() < kShortestRedactedSecret)
            return;
        for (const std::string& form : {secret, services::oauthPercentEncode(secret),
                                        services::oauthPercentEncode(services::oauthPercentEncode(secret)),
                                        services::picasaFormEncode(secret)})
            m_secrets.insert(text(form));
    }

    // Text that came from a service, fit for our output: no password or
    // token in any of the forms we sent it in, on one line.
    QString fromService(const std::string& value, int limit = kDetailLimit) const
    {
        QString clean = text(value);
        // Longest first, so that an encoded form is not half replaced by a
        // shorter one it contains.
        std::vector<QString> secrets(m_secrets.begin(), m_secrets.end());
        std::sort(secrets.begin(), secrets.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
        for (const QString& secret : secrets)
            clean.replace(secret, QStringLiteral("***"));
        return oneLine(clean, limit);
    }

    bool storeExists() const { return QFileInfo::exists(m_databasePath); }

    void progress(const char* key) const
    {
        if (!m_request.quiet)
            printLine(stderr, QStringLiteral("%1: %2").arg(shareServiceTitle(m_request.service), localized(key)));
    }

    // The alert of a refusal on stderr; exit status 1.
    int refused(const ShareOutcome& outcome) const
    {
        ShareOutcome shown = outcome;
        shown.detail = utf8(fromService(outcome.detail));
        printLine(stderr, shareAlertText(shown));
        return 1;
    }

    // The outcome of the flow: 0 and the completion text on stdout, or the alert.
    int finish(const ShareOutcome& outcome, const std::optional<std::string>& address = std::nullopt) const
    {
        if (!outcome.completed)
            return refused(outcome);
        QString line = shareAlertText(outcome);
        if (address && !address->empty())
            line += QStringLiteral(": ") + fromService(*address);
        printLine(stdout, line);
        return 0;
    }

    int facebook(const platform::Image& photo)
    {
        services::FacebookUploadRequest request = m_request.facebook;
        request.photo = photo;
        // The own-wall entry is named with the text the picker shows.
        request.ownWallName = utf8(localized(services::kFacebookOwnWallKey));
        if (!request.targetName.empty() && request.targetName != request.ownWallName) {
            progress("LOAD_ING");
            services::FacebookTargetList list = services::fetchFacebookTargets(
                m_client, m_config, request.accessToken, m_networkCheck, request.ownWallName);
            if (list.alert)
                return refused(*list.alert);
            if (list.listFailed)
                return failure(QStringLiteral("the list of your Facebook groups could not be read; nothing was sent"));
            const bool found = std::any_of(list.targets.begin(), list.targets.end(),
                                           [&](const services::FacebookTarget& t) { return t.name == request.targetName; });
            if (!found) {
                std::vector<std::string> names;
                for (const services::FacebookTarget& target : list.targets)
                    names.push_back(utf8(fromService(target.name, 80)));
                return failure(QStringLiteral("none of your Facebook groups is named '%1'; the targets are %2")
                                   .arg(oneLine(text(request.targetName), 80), quotedList(names)));
            }
            request.targets = std::move(list.targets);
        }
        progress("UPLOAD_ING");
        const ShareOutcome outcome = services::uploadToFacebook(request, m_client, m_config, m_networkCheck);
        if (outcome.completed) {
            // The token of a login that worked, kept as the login dialog keeps it.
            m_store.checkDatabaseIsExist(services::CredentialTable::FacebookGraph);
            m_store.storeFacebookData(QString::fromLatin1(services::kAuthTokenKey), text(request.accessToken));
        }
        return finish(outcome);
    }

    int flickr(const platform::Image& photo)
    {
        services::FlickrUploadRequest request = m_request.flickr;
        request.photo = photo;
        if (!m_request.flickrPrivacyGiven) {
            std::optional<std::string> stored;
            if (storeExists())
                if (const std::optional<QString> value =
                        m_store.getFlickrStringFromDatabase(QString::fromLatin1(services::kFlickrPrivacyKey)))
                    stored = utf8(*value);
            request.privacy = services::flickrPrivacyFromStored(stored);
        }

        services::FlickrGroupMap groupMap;
        if (!m_request.flickrSetNames.empty() || !m_request.flickrGroupNames.empty()) {
            if (!request.authToken.empty() && !m_networkCheck())
                return refused(services::flickrNetworkCheckAlert());
            progress("LOAD_ING");
            const services::FlickrSession session{request.authToken, {}, {}};
            if (!m_request.flickrSetNames.empty()) {
                const services::FlickrSetList list = services::fetchFlickrSets(m_client, m_config, session);
                if (!list.outcome.completed)
                    return refused(list.outcome);
                for (const std::string& name : m_request.flickrSetNames) {
                    if (std::none_of(list.sets.begin(), list.sets.end(),
                                     [&](const services::FlickrPhotoSet& set) { return set.title == name; }))
                        return failure(QStringLiteral("none of your Flickr sets is titled '%1'; nothing was sent")
                                           .arg(oneLine(text(name), 80)));
                }
                request.setIds = services::flickrSetIdsForLabel(services::flickrJoinChoice(m_request.flickrSetNames),
                                                                list.sets);
            }
            if (!m_request.flickrGroupNames.empty()) {
                services::FlickrGroupList list = services::fetchFlickrGroups(m_client, m_config, session);
                if (!list.outcome.completed)
                    return refused(list.outcome);
                for (const std::string& name : m_request.flickrGroupNames) {
                    if (std::none_of(list.groupMap.begin(), list.groupMap.end(),
                                     [&](const auto& entry) { return entry.second == name; }))
                        return failure(QStringLiteral("none of your Flickr groups is named '%1'; nothing was sent")
                                           .arg(oneLine(text(name), 80)));
                }
                request.groupIds = services::flickrGroupIdsForLabel(
                    services::flickrJoinChoice(m_request.flickrGroupNames), list.groupMap);
                groupMap = std::move(list.groupMap);
            }
        }

        progress("UPLOAD_ING");
        const services::FlickrUploadReport report =
            services::uploadToFlickr(request, m_client, m_store, m_config, m_networkCheck);
        const int status = finish(report.outcome);
        if (status != 0)
            return status;
        // The upload stands; what the sets and pools made of it follows.
        if (report.setAlert)
            refused(*report.setAlert);
        for (const std::string& groupId : report.groupsRefused) {
            const auto it = groupMap.find(groupId);
            printLine(stderr, QStringLiteral("%1: the pool of the Flickr group '%2' did not take the photo")
                                  .arg(QLatin1String(kProgram),
                                       fromService(it == groupMap.end() ? groupId : it->second, 80)));
        }
        return 0;
    }

    int picasa(const platform::Image& photo)
    {
        services::PicasaUploadRequest request = m_request.picasa;
        request.photo = photo;
        request.account.networkCheck = m_networkCheck;
        if (!request.albumTitle.empty()) {
            progress("LOAD_ING");
            const services::PicasaAlbumList list = services::listPicasaAlbums(request.account, m_client, m_store,
                                                                              m_config);
            if (!list.outcome.completed)
                return refused(list.outcome);
            const auto it = std::find_if(list.albums.begin(), list.albums.end(),
                                         [&](const services::PicasaAlbum& a) { return a.title == request.albumTitle; });
            if (it != list.albums.end())
                request.albumId = it->id;
            else if (request.albumTitle != services::kPicasaDropBoxTitle)
                return failure(QStringLiteral("none of your Picasa albums is titled '%1'; nothing was sent")
                                   .arg(oneLine(text(request.albumTitle), 80)));
        }
        progress("UPLOAD_ING");
        return finish(services::uploadToPicasa(request, m_client, m_store, m_config));
    }

    int twitter(const platform::Image& photo)
    {
        services::TwitterPostRequest request = m_request.twitter;
        request.photo = photo;
        request.networkCheck = m_networkCheck;
        const services::ImageHost host = twitterHost();
        request.imageHost = services::imageHostName(host);
        m_client.watch(services::imageHostUploadUrl(host, m_config));
        progress("UPLOAD_ING");
        const ShareOutcome outcome = services::postToTwitter(request, m_client, m_store, m_config);
        std::optional<std::string> address;
        if (outcome.completed && m_client.watchedBody())
            address = services::imageHostPhotoAddress(host, *m_client.watchedBody());
        return finish(outcome, address);
    }

    const ShareRequest& m_request;
    const QString m_databasePath;
    services::CredentialStore m_store;
    const services::ServiceConfig m_config;
    services::CurlHttpClient m_curl;
    WatchingClient m_client;
    std::function<bool()> m_networkCheck;
    std::set<QString> m_secrets;
};

// Which services take an option (the flags --quiet and --help, and
// --database, go with all of them).
const std::map<QString, std::set<ShareService>>& optionServices()
{
    using S = ShareService;
    static const std::map<QString, std::set<ShareService>> table = {
        {QStringLiteral("--token"), {S::Facebook, S::Flickr}},
        {QStringLiteral("--user"), {S::Picasa, S::Twitter}},
        {QStringLiteral("--password"), {S::Picasa, S::Twitter}},
        {QStringLiteral("--caption"), {S::Facebook, S::Twitter}},
        {QStringLiteral("--title"), {S::Flickr}},
        {QStringLiteral("--description"), {S::Flickr, S::Picasa}},
        {QStringLiteral("--tags"), {S::Flickr}},
        {QStringLiteral("--privacy"), {S::Flickr}},
        {QStringLiteral("--set"), {S::Flickr}},
        {QStringLiteral("--group"), {S::Flickr}},
        {QStringLiteral("--album"), {S::Picasa}},
        {QStringLiteral("--target"), {S::Facebook}},
        {QStringLiteral("--host"), {S::Twitter}},
        {QStringLiteral("--database"), {S::Facebook, S::Flickr, S::Picasa, S::Twitter}},
    };
    return table;
}

std::optional<ShareService> serviceNamed(const QString& name)
{
    for (const ServiceName& entry : kServiceNames)
        if (name == QLatin1String(entry.name))
            return entry.service;
    return std::nullopt;
}

QString servicesTaking(const std::set<ShareService>& services)
{
    QStringList names;
    for (ShareService service : services)
        names << shareServiceName(service);
    if (names.size() == 1)
        return names.front();
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

QString captionTooLong(const services::TweetCounter& counter, const std::string& host)
{
    const int over = -counter.remaining;
    return QStringLiteral("the caption is %1 %2 too long for a tweet through %3")
        .arg(over)
        .arg(over == 1 ? QStringLiteral("character") : QStringLiteral("characters"), text(host));
}

} // namespace

QString shareServiceName(ShareService service)
{
    for (const ServiceName& entry : kServiceNames)
        if (entry.service == service)
            return QLatin1String(entry.name);
    return {};
}

QString shareServiceTitle(ShareService service)
{
    for (const ServiceName& entry : kServiceNames)
        if (entry.service == service)
            return QLatin1String(entry.title);
    return {};
}

QString shareAlertText(const ShareOutcome& outcome)
{
    if (outcome.completed)
        return localized("UPLOAD_COMPLETE");
    QStringList parts;
    if (!outcome.titleKey.empty())
        parts << platform::localizedString(text(outcome.titleKey));
    if (!outcome.messageKey.empty())
        parts << platform::localizedString(text(outcome.messageKey));
    QString line = oneLine(parts.join(QStringLiteral(": ")));
    const QString detail = oneLine(text(outcome.detail), kDetailLimit);
    if (!detail.isEmpty())
        line += line.isEmpty() ? detail : QStringLiteral(" (%1)").arg(detail);
    return line;
}

QString shareUsage()
{
    return QStringLiteral(
               "Usage: nimbalight-share SERVICE [options] PHOTO\n"
               "Uploads PHOTO (any picture format the editor reads) to an online service the way\n"
               "the editor's share screen for that service does, and prints how it ended.\n"
               "\n"
               "  facebook  --token TOKEN [--caption TEXT] [--target NAME]\n"
               "  flickr    --token TOKEN [--title TEXT] [--description TEXT] [--tags TEXT]\n"
               "            [--privacy LEVEL] [--set TITLE]... [--group NAME]...\n"
               "  picasa    --user NAME --password PASSWORD [--description TEXT] [--album TITLE]\n"
               "  twitter   --user NAME --password PASSWORD [--caption TEXT] [--host HOST]\n"
               "\n"
               "Login:\n"
               "  --token TOKEN        access token of a Facebook or Flickr login\n"
               "  --user NAME          Picasa account (e-mail address) or Twitter user name\n"
               "  --password PASSWORD  its password\n"
               "  The password can come from the environment variable %1\n"
               "  and the token from %2 instead, so that they do not show in\n"
               "  the process list; an option wins over its variable.\n"
               "\n"
               "What is sent:\n"
               "  --caption TEXT       facebook: the message; twitter: the tweet, which the photo's\n"
               "                       address follows (default \"%3\")\n"
               "  --title TEXT         flickr: the photo's title (default none)\n"
               "  --description TEXT   flickr, picasa: the description\n"
               "                       (default \"%4\")\n"
               "  --tags TEXT          flickr: the tags, several joined with \"/\" as the tag picker\n"
               "                       joins them\n"
               "  --privacy LEVEL      flickr: who may see the photo: public, friends, family,\n"
               "                       friends-and-family or private (or 1 to 5 in this order);\n"
               "                       default: the level of the last upload, else public\n"
               "  --set TITLE          flickr: also add the photo to your set of that title\n"
               "                       (repeatable)\n"
               "  --group NAME         flickr: also send it to the pool of your group of that name\n"
               "                       (repeatable)\n"
               "  --album TITLE        picasa: your web album of that title (default: the default\n"
               "                       album)\n"
               "  --target NAME        facebook: post to your group of that name instead of your own\n"
               "                       wall (\"%5\", the default)\n"
               "  --host HOST          twitter: the image host for the photo: mobypicture, twitpic or\n"
               "                       yfrog; default: the host of the last tweet, else twitpic. The\n"
               "                       caption must leave room for its address: at most 118, 114 or\n"
               "                       116 characters\n"
               "\n"
               "  --database PATH      the credential store (default \"upload.sqlite\" in the documents\n"
               "                       folder, NIMBALIGHT_DOCUMENTS when set). After an upload it keeps\n"
               "                       what the share screen keeps: the Facebook token; the Flickr token\n"
               "                       and privacy level; the Picasa account and password (encrypted,\n"
               "                       after every accepted login); the Twitter user name, password\n"
               "                       (encrypted) and image host\n"
               "  --quiet              no progress lines\n"
               "  --help               this text\n"
               "\n"
               "The service hosts are those of the editor's settings (group ServiceHosts).\n"
               "A completed upload prints \"%6\" on stdout, followed by the photo's address when\n"
               "the service gives one; anything else prints the share screen's alert as\n"
               "\"TITLE: MESSAGE\" on stderr.\n"
               "\n"
               "Exit status: 0 uploaded, 1 refused or failed, 2 a usage error.\n")
        .arg(QLatin1String(kSharePasswordVariable), QLatin1String(kShareTokenVariable),
             QLatin1String(services::kFacebookDefaultMessage), QLatin1String(services::kFlickrDefaultDescription),
             localized(services::kFacebookOwnWallKey), localized("UPLOAD_COMPLETE"));
}

ShareArguments parseShareArguments(const QStringList& arguments, const QProcessEnvironment& environment)
{
    ShareArguments parsed;
    ShareRequest& r = parsed.request;
    auto usage = [&parsed](const QString& message) {
        parsed.outcome = ShareArguments::Outcome::UsageError;
        parsed.error = message;
        return parsed;
    };

    QStringList positional;
    std::vector<std::pair<QString, QString>> options;  // in the order given
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--")) {
            positional += arguments.mid(i + 1);
            break;
        }
        if (!arg.startsWith(QLatin1String("--"))) {
            positional << arg;
            continue;
        }
        QString name = arg, value;
        bool inlineValue = false;
        const int eq = arg.indexOf(QLatin1Char('='));
        if (eq > 0) {
            name = arg.left(eq);
            value = arg.mid(eq + 1);
            inlineValue = true;
        }
        if (name == QLatin1String("--help") || name == QLatin1String("--quiet")) {
            if (inlineValue)
                return usage(QStringLiteral("option %1 takes no value").arg(name));
            if (name == QLatin1String("--help")) {
                parsed.outcome = ShareArguments::Outcome::Help;
                return parsed;
            }
            r.quiet = true;
            continue;
        }
        if (!optionServices().count(name))
            return usage(QStringLiteral("unknown option %1").arg(name));
        if (!inlineValue) {
            if (i + 1 >= arguments.size())
                return usage(QStringLiteral("option %1 needs a value").arg(name));
            value = arguments[++i];
        }
        options.emplace_back(name, value);
    }

    if (positional.isEmpty())
        return usage(QStringLiteral("SERVICE and PHOTO are required"));
    const std::optional<ShareService> service = serviceNamed(positional.front());
    if (!service)
        return usage(QStringLiteral("unknown service '%1': use facebook, flickr, picasa or twitter")
                         .arg(oneLine(positional.front(), 40)));
    r.service = *service;
    if (positional.size() < 2)
        return usage(QStringLiteral("PHOTO is required"));
    if (positional.size() > 2)
        return usage(QStringLiteral("too many arguments: give one SERVICE and one PHOTO"));
    r.photoPath = positional[1];

    std::optional<std::string> token, user, password, caption, description, host;
    for (const auto& [name, value] : options) {
        const std::set<ShareService>& takers = optionServices().at(name);
        if (!takers.count(r.service))
            return usage(QStringLiteral("option %1 is for %2, not %3")
                             .arg(name, servicesTaking(takers), shareServiceName(r.service)));
        const std::string v = utf8(value);
        if (name == QLatin1String("--token")) {
            token = v;
        } else if (name == QLatin1String("--user")) {
            user = v;
        } else if (name == QLatin1String("--password")) {
            password = v;
        } else if (name == QLatin1String("--caption")) {
            caption = v;
        } else if (name == QLatin1String("--description")) {
            description = v;
        } else if (name == QLatin1String("--title")) {
            r.flickr.title = v;
        } else if (name == QLatin1String("--tags")) {
            r.flickr.tags = v;
        } else if (name == QLatin1String("--privacy")) {
            int level = 0;
            for (int k = 0; k < services::kFlickrPrivacyLevels; ++k)
                if (value == QLatin1String(kPrivacyNames[k]) || value == QString::number(k + 1))
                    level = k + 1;
            if (level == 0)
                return usage(QStringLiteral("--privacy must be public, friends, family, friends-and-family or "
                                            "private (1 to 5), not '%1'")
                                 .arg(oneLine(value, 40)));
            r.flickr.privacy = services::FlickrPrivacyChoice{level, true};
            r.flickrPrivacyGiven = true;
        } else if (name == QLatin1String("--set") || name == QLatin1String("--group")) {
            if (v.empty())
                return usage(QStringLiteral("%1 needs a name").arg(name));
            (name == QLatin1String("--set") ? r.flickrSetNames : r.flickrGroupNames).push_back(v);
        } else if (name == QLatin1String("--album")) {
            r.picasa.albumTitle = v;
        } else if (name == QLatin1String("--target")) {
            r.facebook.targetName = v;
        } else if (name == QLatin1String("--host")) {
            if (value != QLatin1String(services::kMobyPictureName) && value != QLatin1String(services::kTwitpicName) &&
                value != QLatin1String(services::kYfrogName))
                return usage(QStringLiteral("--host must be mobypicture, twitpic or yfrog, not '%1'")
                                 .arg(oneLine(value, 40)));
            host = v;
        } else if (name == QLatin1String("--database")) {
            if (value.isEmpty())
                return usage(QStringLiteral("--database needs a path"));
            r.databasePath = value;
        }
    }

    auto fromEnvironment = [&environment](const char* variable) -> std::optional<std::string> {
        const QString value = environment.value(QLatin1String(variable));
        if (value.isEmpty())
            return std::nullopt;
        return utf8(value);
    };
    if (!token)
        token = fromEnvironment(kShareTokenVariable);
    if (!password)
        password = fromEnvironment(kSharePasswordVariable);

    switch (r.service) {
    case ShareService::Facebook:
    case ShareService::Flickr:
        if (!token)
            return usage(QStringLiteral("%1 needs --token TOKEN (or %2)")
                             .arg(shareServiceName(r.service), QLatin1String(kShareTokenVariable)));
        break;
    case ShareService::Picasa:
    case ShareService::Twitter:
        if (!user)
            return usage(QStringLiteral("%1 needs --user NAME").arg(shareServiceName(r.service)));
        if (!password)
            return usage(QStringLiteral("%1 needs --password PASSWORD (or %2)")
                             .arg(shareServiceName(r.service), QLatin1String(kSharePasswordVariable)));
        break;
    }

    switch (r.service) {
    case ShareService::Facebook:
        r.facebook.accessToken = *token;
        if (caption)
            r.facebook.message = *caption;
        break;
    case ShareService::Flickr:
        r.flickr.authToken = *token;
        if (description)
            r.flickr.description = *description;
        break;
    case ShareService::Picasa:
        r.picasa.account.userName = *user;
        r.picasa.account.password = *password;
        if (description)
            r.picasa.description = *description;
        break;
    case ShareService::Twitter:
        r.twitter.userName = *user;
        r.twitter.password = *password;
        if (caption)
            r.twitter.caption = *caption;
        if (host) {
            r.twitter.imageHost = *host;
            r.twitterHostGiven = true;
            const services::TweetCounter counter = services::tweetCounter(r.twitter.caption, *host);
            if (!counter.sendEnabled)
                return usage(captionTooLong(counter, *host));
        }
        break;
    }
    return parsed;
}

int runShare(const ShareRequest& request)
{
    ShareRun run(request);

    // A tweet whose caption leaves no room for the stored host's address
    // could not be sent from the view either.
    if (request.service == ShareService::Twitter && !request.twitterHostGiven) {
        const std::string host = services::imageHostName(run.twitterHost());
        const services::TweetCounter counter = services::tweetCounter(request.twitter.caption, host);
        if (!counter.sendEnabled) {
            printLine(stderr, QStringLiteral("%1: %2\nTry '%1 --help'.")
                                  .arg(QLatin1String(kProgram), captionTooLong(counter, host)));
            return 2;
        }
    }

    QString error;
    const platform::Image photo = platform::Image::fromFile(request.photoPath, &error);
    if (photo.isNull())
        return failure(QStringLiteral("cannot read the photo '%1': %2").arg(oneLine(request.photoPath), oneLine(error)));
    return run.run(photo);
}
