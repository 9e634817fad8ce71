#include "share/services/FacebookGraphProtocol.h"

#include "platform/SystemLog.h"
#include "share/services/CookieJar.h"
#include "share/services/CredentialStore.h"
#include "share/services/ServiceConfig.h"
#include "share/services/WebRequest.h"

#include <nlohmann/json.hpp>

#include <QByteArray>
#include <QString>

namespace services {

namespace {

using nlohmann::json;

constexpr std::chrono::milliseconds kGraphTimeout{std::chrono::seconds(30)};
constexpr char kScope[] = "publish_stream,user_about_me,user_groups,read_stream";
constexpr char kFullScope[] = "publish_stream,user_about_me,user_groups,read_stream,user_photos";

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percentUnescape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool isUsableToken(const std::string& token)
{
    if (token.empty())
        return false;
    for (const unsigned char c : token)
        if (c < 0x20 || c == 0x7F)
            return false;
    const QByteArray bytes = QByteArray::fromStdString(token);
    return QString::fromUtf8(bytes).toUtf8() == bytes;  // valid UTF-8
}

std::string_view withoutScheme(std::string_view url)
{
    for (const std::string_view scheme : {std::string_view("https://"), std::string_view("http://")})
        if (url.size() >= scheme.size() && QByteArray(url.data(), qsizetype(scheme.size())).toLower() ==
                                               QByteArray(scheme.data(), qsizetype(scheme.size())))
            return url.substr(scheme.size());
    return url;
}

bool isRedirectPage(std::string_view address, const ServiceConfig& config)
{
    const std::string redirect = facebookRedirectUri(config);
    const std::string_view page = withoutScheme(redirect);
    const std::string_view rest = withoutScheme(address);
    if (rest.size() < page.size() || QByteArray(rest.data(), qsizetype(page.size())).toLower() !=
                                         QByteArray(page.data(), qsizetype(page.size())).toLower())
        return false;
    return rest.size() == page.size() || rest[page.size()] == '?' || rest[page.size()] == '#';
}

// A JSON answer as an object; nothing when it is not one (or too long).
std::optional<json> parseObject(std::string_view body)
{
    if (body.size() > kFacebookMaxAnswerBytes)
        return std::nullopt;
    json value = json::parse(body.begin(), body.end(), nullptr, /*allow_exceptions=*/false);
    if (value.is_discarded() || !value.is_object())
        return std::nullopt;
    return value;
}

// A Graph id or name: text as it is, whole numbers in decimal.
std::string textOf(const json& object, const char* key)
{
    const auto it = object.find(key);
    if (it == object.end())
        return {};
    if (it->is_string())
        return it->get<std::string>();
    if (it->is_number_integer() || it->is_number_unsigned())
        return it->dump();
    return {};
}

HttpRequest graphGet(std::string url)
{
    HttpRequest request;
    request.method = "GET";
    request.url = std::move(url);
    request.timeout = kGraphTimeout;
    request.maxResponseBytes = kFacebookMaxAnswerBytes;
    return request;
}

ShareOutcome networkCheckAlert()
{
    return ShareOutcome::alert("ERROR_INTERNET_CONNECTION_CHECK_TITLE", "ERROR_INTERNET_CONNECTION_CHECK_MSG");
}

ShareOutcome loginWarning() { return ShareOutcome::alert("WARNING", "WARNING_LOGIN_MSG"); }

void deleteWebCookies(CookieJar* cookies, const ServiceConfig& config)
{
    if (cookies)
        cookies->deleteCookiesForUrl(config.url(ServiceHost::FacebookWeb, "/"));
}

} // namespace

FacebookTarget facebookOwnWallTarget(std::string_view ownWallName)
{
    return {std::string(ownWallName), std::string(ownWallName), "SECRET"};
}

std::string facebookTokenCheckUrl(const ServiceConfig& config, std::string_view token)
{
    return config.url(ServiceHost::FacebookGraph, "/me?access_token=" + facebookFormUrlEncode(token));
}

std::string facebookGroupListUrl(const ServiceConfig& config, std::string_view token)
{
    return config.url(ServiceHost::FacebookGraph, "/me/groups?access_token=" + facebookFormUrlEncode(token));
}

std::string facebookGroupUrl(const ServiceConfig& config, std::string_view groupId, std::string_view token)
{
    std::string path = "/";
    path += percentEncode(groupId);
    path += "?access_token=";
    path += facebookFormUrlEncode(token);
    return config.url(ServiceHost::FacebookGraph, path);
}

std::string facebookRedirectUri(const ServiceConfig& config)
{
    return config.url(ServiceHost::FacebookWeb, "/connect/login_success.html");
}

std::string facebookLoginPageUrl(const ServiceConfig& config, bool fullPermission, std::string_view clientId)
{
    std::string query = "/oauth/authorize?client_id=";
    query += clientId;
    query += "&redirect_uri=";
    query += facebookRedirectUri(config);
    query += "&type=user_agent&display=touch&scope=";
    query += fullPermission ? kFullScope : kScope;
    return config.url(ServiceHost::FacebookGraph, query);
}

std::string facebookUploadPath(std::string_view targetName, const std::vector<FacebookTarget>& targets,
                               std::string_view ownWallName)
{
    if (targetName.empty() || targetName == ownWallName)
        return "/me/photos";
    std::string id;
    for (const FacebookTarget& target : targets) {
        if (target.name == targetName) {
            id = target.id;
            break;
        }
    }
    std::string path = "/";
    path += percentEncode(id);
    path += "/photos";
    return path;
}

std::string facebookUploadBody(std::string_view boundary, std::string_view message, std::string_view jpeg,
                               std::string_view token)
{
    std::string body;
    body.reserve(jpeg.size() + message.size() + token.size() + 512);
    const auto textField = [&](std::string_view name, std::string_view value) {
        body += "Content-Disposition: form-data; name=\"";
        body += name;
        body += "\"\r\n\r\n";
        body += value;
    };
    const auto delimiter = [&](std::string_view before, std::string_view after) {
        body += before;
        body += boundary;
        body += after;
    };
    const auto nextPart = [&] { delimiter("\r\n--", "\r\n"); };

    delimiter("--", "\r\n");
    textField("caption", kFacebookCaption);
    nextPart();
    textField("description", kFacebookDescription);
    nextPart();
    textField("message", message);
    nextPart();
    body += "Content-Disposition: form-data; name=\"media\"; filename=\"media.png\"\r\n\r\n";
    body += jpeg;
    nextPart();
    textField("access_token", token);
    delimiter("\r\n--", "--\r\n");
    return body;
}

bool facebookAnswerSucceeded(const HttpResponse& response)
{
    if (response.error.failed() || response.statusCode >= 400)
        return false;
    const std::optional<json> object = parseObject(response.body);
    return object && !object->contains("error");
}

bool checkFacebookAccessToken(HttpClient& client, const ServiceConfig& config, std::string_view token)
{
    const HttpResponse response = client.send(graphGet(facebookTokenCheckUrl(config, token)));
    if (response.error.failed())
        platform::systemLog("Error = %s", response.error.description.c_str());
    return facebookAnswerSucceeded(response);
}

FacebookLoginState restoreFacebookLogin(CredentialStore& store, HttpClient& client, const ServiceConfig& config)
{
    store.checkDatabaseIsExist(CredentialTable::FacebookGraph);
    const std::string token = store.getFacebookDataFromDatabase(kAuthTokenKey).toStdString();
    if (token.empty() || !checkFacebookAccessToken(client, config, token))
        return {};
    return {token, true};
}

std::optional<ShareOutcome> beginFacebookLogin(const std::function<bool()>& networkAvailable, CookieJar* cookies,
                                               const ServiceConfig& config)
{
    if (networkAvailable && !networkAvailable())
        return networkCheckAlert();
    deleteWebCookies(cookies, config);
    return std::nullopt;
}

FacebookRedirect parseFacebookRedirect(std::string_view address, const ServiceConfig& config)
{
    static constexpr std::string_view kTokenMark = "access_token=";
    if (const std::size_t at = address.find(kTokenMark); at != std::string_view::npos) {
        std::string_view rest = address.substr(at + kTokenMark.size());
        if (const std::size_t amp = rest.find('&'); amp != std::string_view::npos)
            rest = rest.substr(0, amp);
        std::string token = percentUnescape(rest);
        if (!isUsableToken(token))
            return {FacebookRedirect::Kind::Cancelled, {}};
        return {FacebookRedirect::Kind::Token, std::move(token)};
    }
    if (address.find("error_reason=") != std::string_view::npos || isRedirectPage(address, config))
        return {FacebookRedirect::Kind::Cancelled, {}};
    return {};
}

std::optional<FacebookLoginState> finishFacebookLogin(std::string_view address, CredentialStore& store,
                                                      const ServiceConfig& config)
{
    FacebookRedirect redirect = parseFacebookRedirect(address, config);
    switch (redirect.kind) {
    case FacebookRedirect::Kind::Pending:
        return std::nullopt;
    case FacebookRedirect::Kind::Cancelled:
        return FacebookLoginState{};
    case FacebookRedirect::Kind::Token:
        break;
    }
    store.checkDatabaseIsExist(CredentialTable::FacebookGraph);
    store.storeFacebookData(kAuthTokenKey, QString::fromStdString(redirect.token));
    return FacebookLoginState{std::move(redirect.token), true};
}

void logOutFacebook(CredentialStore& store, CookieJar* cookies, const ServiceConfig& config)
{
    store.logOutFacebook();
    deleteWebCookies(cookies, config);
}

FacebookTargetList fetchFacebookTargets(HttpClient& client, const ServiceConfig& config, std::string_view token,
                                        const std::function<bool()>& networkAvailable, std::string_view ownWallName)
{
    FacebookTargetList list;
    if (networkAvailable && !networkAvailable()) {
        list.alert = networkCheckAlert();
        return list;
    }
    if (token.empty()) {
        list.alert = loginWarning();
        return list;
    }

    const HttpResponse response = client.send(graphGet(facebookGroupListUrl(config, token)));
    if (response.error.failed()) {
        platform::systemLog("Error = %s", response.error.description.c_str());
        list.listFailed = true;
        return list;
    }
    const std::optional<json> object =
        response.statusCode < 400 ? parseObject(response.body) : std::optional<json>{};
    if (!object || object->contains("error")) {
        platform::systemLog("Facebook group list not readable (HTTP %ld)", response.statusCode);
        list.listFailed = true;
        return list;
    }

    list.targets.push_back(facebookOwnWallTarget(ownWallName));
    std::size_t fetched = 0;
    for (const auto& [key, value] : object->items()) {
        if (!value.is_array())
            continue;
        for (const json& element : value) {
            if (!element.is_object())
                continue;
            const std::string id = textOf(element, "id");
            if (id.empty())
                continue;
            if (fetched++ == kFacebookMaxGroups) {
                platform::systemLog("Facebook group list cut at %zu groups", kFacebookMaxGroups);
                return list;
            }
            const HttpResponse groupResponse = client.send(graphGet(facebookGroupUrl(config, id, token)));
            if (!facebookAnswerSucceeded(groupResponse)) {
                platform::systemLog("Error = %s", groupResponse.error.failed()
                                                      ? groupResponse.error.description.c_str()
                                                      : "group not readable");
                continue;
            }
            const json group = *parseObject(groupResponse.body);
            std::string groupId = textOf(group, "id");
            list.targets.push_back({groupId.empty() ? id : std::move(groupId), textOf(group, "name"),
                                    textOf(group, "privacy")});
        }
    }
    return list;
}

ShareOutcome uploadToFacebook(const FacebookUploadRequest& request, HttpClient& client, const ServiceConfig& config,
                              const std::function<bool()>& networkAvailable)
{
    if (networkAvailable && !networkAvailable())
        return networkCheckAlert();
    if (request.accessToken.empty())
        return loginWarning();
    const QByteArray jpeg = request.photo.isNull() ? QByteArray() : request.photo.jpegData(request.jpegQuality);
    if (jpeg.isEmpty())
        return ShareOutcome::alert("ERROR", "NO_PHOTO_MSG");

    HttpRequest post;
    post.method = "POST";
    post.url = config.url(ServiceHost::FacebookGraph,
                          facebookUploadPath(request.targetName, request.targets, request.ownWallName));
    post.timeout = kGraphTimeout;
    post.maxResponseBytes = kFacebookMaxAnswerBytes;
    post.body = facebookUploadBody(request.boundary, request.message, std::string_view(jpeg.constData(), jpeg.size()),
                                   request.accessToken);
    post.headers = {{"Content-Type", multipartFormDataContentType(request.boundary)},
                    {"Content-Length", std::to_string(post.body.size())}};

    const HttpResponse response = client.send(post);
    if (response.error.failed()) {
        platform::systemLog("Error = %s", response.error.description.c_str());
        if (response.error.code == url_error::kNotConnectedToInternet)
            return ShareOutcome::alert("ERROR", "ERROR_INTERNET_CONNECTION_OFFLINE_MSG");
        return ShareOutcome::alert("ERROR_FAIL", "ERROR_UPLOAD_FAIL_MSG");
    }
    if (!facebookAnswerSucceeded(response))
        return ShareOutcome::alert("ERROR_FAIL", "ERROR_UPLOAD_FAIL_MSG");
    return ShareOutcome::success();
}

} // namespace services
