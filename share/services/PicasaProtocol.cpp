#include "share/services/PicasaProtocol.h"

#include "share/services/CredentialStore.h"
#include "share/services/NetworkCheck.h"
#include "share/services/ServiceConfig.h"
#include "share/services/WebRequest.h"
#include "share/services/XmlEventReader.h"
#include "share/services/XmlSupport.h"

#include "platform/SystemLog.h"

#include <QString>

#include <array>
#include <utility>

namespace services {

namespace {

constexpr char kLoginPath[] = "/accounts/ClientLogin";
constexpr char kFeedPath[] = "/data/feed/api/user/default";
constexpr char kUploadPathPrefix[] = "/data/feed/api/user/default/albumid/";
constexpr auto kRequestTimeout = std::chrono::seconds(30);
// The most of a service's answer that is logged or shown.
constexpr std::size_t kAnswerExcerpt = 2000;

constexpr std::array<std::pair<const char*, const char*>, 9> kLoginErrors{{
    {"BadAuthentication", "ERROR_LOGIN_ERROR_MSG"},
    {"NotVerified", "ERROR_NOT_VERIFIED"},
    {"TermsNotAgreed", "ERROR_TERMS_NOT_AGREED"},
    {"CaptchaRequired", "ERROR_LOGIN_ERROR_MSG"},
    {"Unknown", "ERROR_UNKNOWN"},
    {"AccountDeleted", "ERROR_ACCOUNT_DELETED"},
    {"AccountDisabled", "ERROR_ACCOUNT_DISABLED"},
    {"ServiceDisabled", "ERROR_SERVICE_DISABLED"},
    {"ServiceUnavailable", "ERROR_SERVICE_UNAVAILABLE"},
}};

std::string authorization(std::string_view auth)
{
    return "GoogleLogin auth=" + std::string(auth);
}

ShareOutcome transportFailure(const TransportError& error)
{
    if (error.code == url_error::kNotConnectedToInternet)
        return ShareOutcome::alert("ERROR", "ERROR_INTERNET_CONNECTION_OFFLINE_MSG");
    return ShareOutcome::alert("ERROR_FAIL", "ERROR_UPLOAD_FAIL_MSG");
}

// At most kAnswerExcerpt bytes, cut before a UTF-8 continuation byte.
std::string excerpt(std::string_view text)
{
    if (text.size() <= kAnswerExcerpt)
        return std::string(text);
    std::size_t end = kAnswerExcerpt;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return std::string(text.substr(0, end));
}

// The login answer for the log: the values of the token lines left out.
std::string loggableLoginAnswer(std::string_view answer)
{
    std::string out;
    std::string_view rest = answer.substr(0, kAnswerExcerpt);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        const std::size_t equals = line.find('=');
        const std::string_view key = line.substr(0, equals);
        if (equals != std::string_view::npos && (key == "SID" || key == "LSID" || key == "Auth" || key == "CaptchaToken"))
            out += std::string(key) + "=...";
        else
            out += std::string(line);
        if (end != std::string_view::npos)
            out += '\n';
    }
    return out;
}

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

bool networkReachable(const PicasaAccount& account, HttpClient& client, const ServiceConfig& config)
{
    return account.networkCheck ? account.networkCheck() : isNetworkReachable(client, config);
}

// The checks before any album list or upload; nothing when they pass.
std::optional<ShareOutcome> checkForConnection(const PicasaAccount& account, HttpClient& client,
                                               const ServiceConfig& config)
{
    if (account.userName.empty())
        return ShareOutcome::alert("WARNING", "ENTER_USERNAME");
    if (account.password.empty())
        return ShareOutcome::alert("WARNING", "ENTER_PASSWORD");
    if (!networkReachable(account, client, config))
        return ShareOutcome::alert("ERROR_INTERNET_CONNECTION_CHECK_TITLE", "ERROR_INTERNET_CONNECTION_CHECK_MSG");
    return std::nullopt;
}

// Reads the album feed's events into album records.
class AlbumFeedReader {
public:
    void start(const XmlEventName& name, const std::vector<XmlEventAttribute>& attributes)
    {
        m_text.clear();
        const std::string qualified = name.qualifiedName();
        if (qualified == "entry") {
            m_inEntry = true;
            m_current = PicasaAlbum();
            return;
        }
        if (!m_inEntry)
            return;
        if (qualified == "media:content" || qualified == "media:thumbnail") {
            for (const XmlEventAttribute& attribute : attributes) {
                if (attribute.name.qualifiedName() != "url")
                    continue;
                (qualified == "media:content" ? m_current.content : m_current.thumbnail) = attribute.value;
            }
        }
    }

    void characters(std::string_view text)
    {
        if (m_inEntry)
            m_text += text;
    }

    void end(const XmlEventName& name)
    {
        if (!m_inEntry)
            return;
        const std::string qualified = name.qualifiedName();
        if (qualified == "title")
            m_current.title = trimmed();
        else if (qualified == "gphoto:numphotos")
            m_current.numPhotos = trimmed();
        else if (qualified == "gphoto:id")
            m_current.id = trimmed();
        else if (qualified == "entry") {
            if (!m_current.id.empty())
                m_albums.push_back(m_current);
            m_inEntry = false;
        }
        m_text.clear();
    }

    std::vector<PicasaAlbum> take() { return std::move(m_albums); }

private:
    std::string trimmed() const { return std::string(trimXmlWhiteSpace(m_text)); }

    bool m_inEntry = false;
    std::string m_text;
    PicasaAlbum m_current;
    std::vector<PicasaAlbum> m_albums;
};

} // namespace

std::string picasaFormEncode(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '*') {
            out += ch;
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

std::string clientLoginBody(std::string_view userName, std::string_view password, std::string_view source)
{
    return "accountType=GOOGLE&Email=" + picasaFormEncode(userName) + "&Passwd=" + picasaFormEncode(password) +
           "&service=lh2&source=" + picasaFormEncode(source);
}

HttpRequest clientLoginRequest(const ServiceConfig& config, std::string_view userName, std::string_view password,
                               std::string_view source)
{
    HttpRequest request;
    request.method = "POST";
    request.url = config.url(ServiceHost::PicasaLogin, kLoginPath);
    request.body = clientLoginBody(userName, password, source);
    request.headers = {{"Content-Type", "application/x-www-form-urlencoded"},
                       {"Content-Length", std::to_string(request.body.size())}};
    request.timeout = kRequestTimeout;
    return request;
}

std::optional<std::string> clientLoginErrorMessageKey(std::string_view answer)
{
    if (answer.find("Error=") == std::string_view::npos)
        return std::nullopt;
    for (const auto& [code, key] : kLoginErrors)
        if (answer.find(code) != std::string_view::npos)
            return std::string(key);
    return std::nullopt;
}

std::optional<PicasaLogin> parseClientLoginAnswer(std::string_view answer)
{
    std::optional<std::string> sid, lsid, auth;
    while (!answer.empty()) {
        const std::size_t end = answer.find('\n');
        std::string_view line = answer.substr(0, end);
        answer = end == std::string_view::npos ? std::string_view() : answer.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, equals);
        const std::string value(line.substr(equals + 1));
        if (key == "SID")
            sid = value;
        else if (key == "LSID")
            lsid = value;
        else if (key == "Auth")
            auth = value;
    }
    if (!sid || !lsid || !auth || auth->empty())
        return std::nullopt;
    return PicasaLogin{*auth, *sid, *lsid};
}

PicasaLoginResult loginToPicasa(HttpClient& client, CredentialStore& store, const ServiceConfig& config,
                                std::string_view userName, std::string_view password, std::string_view source)
{
    const HttpResponse response = client.send(clientLoginRequest(config, userName, password, source));
    if (response.error.failed()) {
        platform::systemLog("Error = %s code = %d", response.error.description.c_str(), response.error.code);
        return {std::nullopt, transportFailure(response.error)};
    }
    platform::systemLog("Response = %s", loggableLoginAnswer(response.body).c_str());

    if (const std::optional<std::string> key = clientLoginErrorMessageKey(response.body))
        return {std::nullopt, ShareOutcome::alert("ERROR", *key)};
    std::optional<PicasaLogin> login = parseClientLoginAnswer(response.body);
    if (!login)
        return {std::nullopt, ShareOutcome::alert("ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ERROR_MSG")};

    // Every successful login keeps the account for the next time.
    store.checkDatabaseIsExist(CredentialTable::Picasa);
    store.createOrUpdatePicasaDatabase(QString::fromLatin1(kPicasaIdKey), fromUtf8(userName), false);
    store.createOrUpdatePicasaDatabase(QString::fromLatin1(kPicasaPassKey), fromUtf8(password), true);
    return {std::move(login), {}};
}

HttpRequest picasaAlbumFeedRequest(const ServiceConfig& config, std::string_view auth)
{
    HttpRequest request;
    request.method = "GET";
    request.url = config.url(ServiceHost::PicasaFeeds, kFeedPath);
    request.headers = {{"Authorization", authorization(auth)},
                       {"Content-Type", "application/atom+xml"},
                       {"GData-Version", "2"}};
    request.timeout = kRequestTimeout;
    return request;
}

std::vector<PicasaAlbum> parsePicasaAlbumFeed(std::string_view feed)
{
    AlbumFeedReader reader;
    XmlEventHandlers handlers;
    handlers.startElement = [&](const XmlEventName& name, const std::vector<XmlEventAttribute>& attributes) {
        reader.start(name, attributes);
    };
    handlers.characters = [&](std::string_view text) { reader.characters(text); };
    handlers.endElement = [&](const XmlEventName& name) { reader.end(name); };
    if (!feed.empty())
        readXmlEvents(feed, handlers);
    return reader.take();
}

std::string picasaUploadAlbumId(std::string_view albumTitle, std::string_view albumId)
{
    if (albumTitle.empty() || albumTitle == kPicasaDropBoxTitle || albumId.empty())
        return kPicasaDefaultAlbumId;
    return std::string(albumId);
}

std::string picasaEscapeXmlText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string picasaAtomEntry(std::string_view description)
{
    return std::string("<entry xmlns='") + kAtomNamespace + "'><title>" + kPicasaEntryTitle + "</title><summary>" +
           picasaEscapeXmlText(description) + "</summary><category scheme=\"" + kPicasaKindScheme + "\"\tterm=\"" +
           kPicasaPhotoKind + "\"/></entry>";
}

std::string picasaUploadBody(std::string_view boundary, std::string_view description, std::string_view jpeg)
{
    const std::string line = multipartBoundaryLine(boundary);
    std::string body;
    body.reserve(jpeg.size() + 1024);
    body += line;
    body += "Content-Type:application/atom+xml\r\n\r\n";
    body += picasaAtomEntry(description);
    body += "\r\n";
    body += line;
    body += "Content-Type:image/jpeg\r\n\r\n";
    body += jpeg;
    body += "\r\n--";
    body += boundary;
    body += "--";
    return body;
}

HttpRequest picasaUploadRequest(const ServiceConfig& config, std::string_view auth, std::string_view albumId,
                                std::string_view boundary, std::string body)
{
    HttpRequest request;
    request.method = "POST";
    // Album ids are digits; anything else is escaped so that it stays one
    // path segment.
    std::string path = kUploadPathPrefix;
    for (const char ch : albumId) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            path += ch;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            path += '%';
            path += kHex[c >> 4];
            path += kHex[c & 0x0F];
        }
    }
    request.url = config.url(ServiceHost::PicasaFeeds, path);
    request.headers = {{"Authorization", authorization(auth)},
                       {"Content-Type", multipartRelatedContentType(boundary)},
                       {"Content-Length", std::to_string(body.size())},
                       {"MIME-version", "1.0"},
                       {"GData-Version", "2"}};
    request.body = std::move(body);
    request.timeout = kRequestTimeout;
    return request;
}

std::optional<std::string> picasaPublishedDate(std::string_view answer)
{
    if (answer.find("<published>") == std::string_view::npos)
        return std::nullopt;
    std::string text;
    std::optional<std::string> published;
    XmlEventHandlers handlers;
    handlers.startElement = [&](const XmlEventName&, const std::vector<XmlEventAttribute>&) { text.clear(); };
    handlers.characters = [&](std::string_view piece) { text += piece; };
    handlers.endElement = [&](const XmlEventName& name) {
        if (name.qualifiedName() == "published" && !published) {
            const std::string_view value = trimXmlWhiteSpace(text);
            if (!value.empty())
                published = std::string(value);
        }
        text.clear();
    };
    readXmlEvents(answer, handlers);
    return published;
}

PicasaAlbumList listPicasaAlbums(const PicasaAccount& account, HttpClient& client, CredentialStore& store,
                                 const ServiceConfig& config)
{
    if (std::optional<ShareOutcome> refused = checkForConnection(account, client, config))
        return {std::move(*refused), {}};
    PicasaLoginResult login =
        loginToPicasa(client, store, config, account.userName, account.password, account.source);
    if (!login.login)
        return {std::move(login.failure), {}};

    const HttpResponse response = client.send(picasaAlbumFeedRequest(config, login.login->auth));
    if (response.error.failed()) {
        platform::systemLog("Error = %s code = %d", response.error.description.c_str(), response.error.code);
        return {transportFailure(response.error), {}};
    }
    return {ShareOutcome::success(), parsePicasaAlbumFeed(response.body)};
}

ShareOutcome uploadToPicasa(const PicasaUploadRequest& request, HttpClient& client, CredentialStore& store,
                            const ServiceConfig& config)
{
    if (std::optional<ShareOutcome> refused = checkForConnection(request.account, client, config))
        return std::move(*refused);
    const QByteArray jpeg = request.photo.isNull() ? QByteArray() : request.photo.jpegData(request.jpegQuality);
    if (jpeg.isEmpty())
        return ShareOutcome::alert("ERROR", "NO_PHOTO_MSG");

    PicasaLoginResult login = loginToPicasa(client, store, config, request.account.userName,
                                            request.account.password, request.account.source);
    if (!login.login)
        return std::move(login.failure);

    std::string body = picasaUploadBody(request.boundary, request.description,
                                        std::string_view(jpeg.constData(), std::size_t(jpeg.size())));
    const HttpResponse response =
        client.send(picasaUploadRequest(config, login.login->auth,
                                        picasaUploadAlbumId(request.albumTitle, request.albumId), request.boundary,
                                        std::move(body)));
    if (response.error.failed()) {
        platform::systemLog("Error = %s code = %d", response.error.description.c_str(), response.error.code);
        return transportFailure(response.error);
    }
    if (picasaPublishedDate(response.body))
        return ShareOutcome::success();
    return ShareOutcome::alert("ERROR", "ERROR_UPLOAD_FAIL_MSG", excerpt(response.body));
}

} // namespace services
