#include "share/services/FlickrProtocol.h"

#include "platform/SystemLog.h"
#include "share/services/CookieJar.h"
#include "share/services/CredentialStore.h"
#include "share/services/Crypto.h"
#include "share/services/ServiceConfig.h"
#include "share/services/WebRequest.h"
#include "share/services/XmlQuery.h"

#include <QByteArray>
#include <QString>

#include <libxml/parser.h>

#include <algorithm>
#include <charconv>

namespace services {

namespace {

constexpr std::chrono::milliseconds kFlickrTimeout{std::chrono::seconds(30)};
// "Service currently unavailable": says nothing about the token.
constexpr std::string_view kServiceUnavailableCode = "105";

// The XML reader recovers what it can from a broken answer, which is right
// for reading texts but not for deciding that a call went through or that a
// token was refused: those decisions need a well-formed answer. Entities are
// not substituted and nothing is loaded from the network.
bool isWellFormed(std::string_view body)
{
    if (body.empty() || body.size() > kFlickrMaxAnswerBytes)
        return false;
    xmlDocPtr document = xmlReadMemory(body.data(), int(body.size()), nullptr, nullptr,
                                       XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!document)
        return false;
    xmlFreeDoc(document);
    return true;
}

// The stat attribute of the root rsp element of a well-formed answer.
std::string rootStat(std::string_view body)
{
    if (!isWellFormed(body))
        return {};
    return xmlFirstAttributeValue(body, "/rsp", "stat").value_or(std::string());
}

// The first non-empty text of the expression, if any.
std::optional<std::string> firstText(std::string_view body, std::string_view expression)
{
    for (std::string& text : xmlTextsOf(body, expression))
        if (!text.empty())
            return std::move(text);
    return std::nullopt;
}

HttpResponse sendRest(HttpClient& client, const ServiceConfig& config, const std::string& query)
{
    HttpResponse response = client.send(flickrRestRequest(config, query));
    if (response.error.failed())
        platform::systemLog("Error: %s", response.error.description.c_str());
    return response;
}

void deleteUploadCookies(CookieJar* cookies, const ServiceConfig& config)
{
    if (cookies)
        cookies->deleteCookiesForUrl(config.url(ServiceHost::FlickrUpload, "/services/upload"));
}

// The query of the parameters with api_sig, over all of them, put in at the given place.
std::string withSignature(const FlickrApp& app, FlickrParameters sent, std::size_t signatureAt)
{
    const std::string signature = flickrSignature(app.sharedSecret, sent);
    sent.insert(sent.begin() + std::ptrdiff_t(std::min(signatureAt, sent.size())), {"api_sig", signature});
    return flickrQuery(sent);
}

} // namespace

std::string flickrSignedText(std::string_view secret, FlickrParameters parameters)
{
    std::stable_sort(parameters.begin(), parameters.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string text(secret);
    for (const auto& [name, value] : parameters) {
        text += name;
        text += value;
    }
    return text;
}

std::string flickrSignature(std::string_view secret, const FlickrParameters& parameters)
{
    const std::string text = flickrSignedText(secret, parameters);
    return md5Hex(QByteArray(text.data(), qsizetype(text.size()))).toStdString();
}

FlickrPrivacyFields flickrPrivacyFields(int level)
{
    switch (level) {
    case 1:
        return {'1', '1', '1'};
    case 2:
        return {'1', '0', '0'};
    case 3:
        return {'0', '1', '0'};
    case 4:
        return {'1', '1', '0'};
    default:
        return {'0', '0', '0'};
    }
}

std::string flickrPrivacyFragment(int level)
{
    const FlickrPrivacyFields fields = flickrPrivacyFields(level);
    std::string fragment = "is_family";
    fragment += fields.isFamily;
    fragment += "is_friend";
    fragment += fields.isFriend;
    fragment += "is_public";
    fragment += fields.isPublic;
    return fragment;
}

FlickrPrivacyChoice flickrPrivacyFromStored(const std::optional<std::string>& stored)
{
    // Read as a decimal number the way the stored text was written; text that
    // is no number counts as 0, like a missing row.
    long long index = 0;
    if (stored) {
        std::string_view text = *stored;
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
        if (!text.empty() && text.front() == '+')
            text.remove_prefix(1);
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), index);
        if (error != std::errc())
            index = (error == std::errc::result_out_of_range) ? -1 : 0;
    }
    if (index >= 0 && index < kFlickrPrivacyLevels)
        return {int(index) + 1, true};
    return {1, false};
}

std::string flickrPrivacyToStored(const FlickrPrivacyChoice& choice)
{
    if (!choice.buttonSelected || choice.level < 1 || choice.level > kFlickrPrivacyLevels)
        return "-1";
    return std::to_string(choice.level - 1);
}

std::string flickrQuery(const FlickrParameters& parameters)
{
    std::string query;
    for (const auto& [name, value] : parameters) {
        if (!query.empty())
            query += '&';
        query += name;
        query += '=';
        query += percentEncode(value);
    }
    return query;
}

HttpRequest flickrRestRequest(const ServiceConfig& config, std::string_view query, std::string_view boundary)
{
    HttpRequest request;
    request.method = "POST";
    request.url = config.url(ServiceHost::FlickrApi, "/services/rest/?" + std::string(query));
    request.timeout = kFlickrTimeout;
    request.maxResponseBytes = kFlickrMaxAnswerBytes;
    request.headers = {{"Content-Type", multipartFormDataContentType(boundary)}};
    request.body = multipartBoundaryLine(boundary);
    return request;
}

std::string flickrGetFrobQuery(const FlickrApp& app)
{
    return withSignature(app, {{"method", "flickr.auth.getFrob"}, {"api_key", app.apiKey}}, 2);
}

std::string flickrGetTokenQuery(const FlickrApp& app, std::string_view frob)
{
    return withSignature(
        app, {{"method", "flickr.auth.getToken"}, {"api_key", app.apiKey}, {"frob", std::string(frob)}}, 3);
}

std::string flickrCheckTokenQuery(const FlickrApp& app, std::string_view token)
{
    return withSignature(
        app, {{"method", "flickr.auth.checkToken"}, {"api_key", app.apiKey}, {"auth_token", std::string(token)}}, 3);
}

std::string flickrAddToSetQuery(const FlickrApp& app, std::string_view token, std::string_view setId,
                                std::string_view photoId)
{
    return withSignature(app,
                         {{"method", "flickr.photosets.addPhoto"},
                          {"api_key", app.apiKey},
                          {"auth_token", std::string(token)},
                          {"photoset_id", std::string(setId)},
                          {"photo_id", std::string(photoId)}}, 3);
}

std::string flickrAddToGroupQuery(const FlickrApp& app, std::string_view token, std::string_view groupId,
                                  std::string_view photoId)
{
    return withSignature(app,
                         {{"method", "flickr.groups.pools.add"},
                          {"api_key", app.apiKey},
                          {"auth_token", std::string(token)},
                          {"group_id", std::string(groupId)},
                          {"photo_id", std::string(photoId)}}, 3);
}

std::string flickrApprovalUrl(const ServiceConfig& config, const FlickrApp& app, std::string_view frob)
{
    const std::string query = withSignature(
        app, {{"api_key", app.apiKey}, {"perms", kFlickrPermission}, {"frob", std::string(frob)}}, 3);
    return config.url(ServiceHost::FlickrAuth, "/services/auth/?" + query);
}

std::string flickrUploadSignature(const FlickrApp& app, const FlickrUploadFields& fields)
{
    const FlickrPrivacyFields privacy = flickrPrivacyFields(fields.privacyLevel);
    return flickrSignature(app.sharedSecret, {{"api_key", app.apiKey},
                                              {"auth_token", fields.token},
                                              {"description", fields.description},
                                              {"tags", fields.tags},
                                              {"title", fields.title},
                                              {"is_friend", std::string(1, privacy.isFriend)},
                                              {"is_family", std::string(1, privacy.isFamily)},
                                              {"is_public", std::string(1, privacy.isPublic)}});
}

std::string flickrUploadBody(const FlickrApp& app, const FlickrUploadFields& fields, std::string_view jpeg,
                             std::string_view boundary)
{
    const FlickrPrivacyFields privacy = flickrPrivacyFields(fields.privacyLevel);
    MultipartBody body{std::string(boundary)};
    body.addText("api_key", app.apiKey)
        .addText("auth_token", fields.token)
        .addText("api_sig", flickrUploadSignature(app, fields))
        .addText("description", fields.description)
        .addText("tags", fields.tags)
        .addText("title", fields.title)
        .addText("is_friend", std::string(1, privacy.isFriend))
        .addText("is_family", std::string(1, privacy.isFamily))
        .addText("is_public", std::string(1, privacy.isPublic))
        .addFile("photo", kFlickrPhotoFileName, "image/jpeg", jpeg);
    return body.finish();
}

bool flickrAnswerOk(std::string_view body) { return rootStat(body) == "ok"; }

bool flickrAnswerRefused(std::string_view body) { return rootStat(body) == "fail"; }

ShareOutcome flickrTransportAlert(const TransportError& error, ShareOutcome otherwise)
{
    if (error.code == url_error::kNotConnectedToInternet)
        return ShareOutcome::alert("ERROR", "ERROR_INTERNET_CONNECTION_OFFLINE_MSG");
    return otherwise;
}

ShareOutcome flickrNetworkCheckAlert()
{
    return ShareOutcome::alert("ERROR_INTERNET_CONNECTION_CHECK_TITLE", "ERROR_INTERNET_CONNECTION_CHECK_MSG");
}

FlickrLoginRestore restoreFlickrLogin(CredentialStore& store, HttpClient& client, const ServiceConfig& config,
                                      CookieJar* cookies, const FlickrApp& app)
{
    FlickrLoginRestore restore;
    store.checkDatabaseIsExist(CredentialTable::Flickr);
    const std::optional<QString> stored = store.findAuthToken();
    if (!stored || stored->isEmpty())
        return restore;

    const HttpResponse response = sendRest(client, config, flickrCheckTokenQuery(app, stored->toStdString()));
    restore.status = FlickrTokenStatus::Unverified;
    if (response.error.failed()) {
        restore.alert = flickrTransportAlert(response.error, flickrNetworkCheckAlert());
        return restore;
    }
    if (flickrAnswerOk(response.body)) {
        const std::optional<std::string> token = firstText(response.body, "///token");
        if (!token) {
            restore.alert = flickrNetworkCheckAlert();
            return restore;
        }
        restore.status = FlickrTokenStatus::Valid;
        restore.session.authToken = *token;
        restore.session.userId = xmlFirstAttributeValue(response.body, "///user", "nsid").value_or(std::string());
        return restore;
    }
    const std::optional<std::string> code = xmlFirstAttributeValue(response.body, "/rsp/err", "code");
    if (flickrAnswerRefused(response.body) && code != kServiceUnavailableCode) {
        restore.status = FlickrTokenStatus::Rejected;
        store.logOutFlickr();
        deleteUploadCookies(cookies, config);
        return restore;
    }
    platform::systemLog("Flickr token check: no usable answer (HTTP %ld)", response.statusCode);
    restore.alert = flickrNetworkCheckAlert();
    return restore;
}

FlickrLoginStart startFlickrLogin(HttpClient& client, const ServiceConfig& config, const FlickrApp& app)
{
    FlickrLoginStart start;
    const HttpResponse response = sendRest(client, config, flickrGetFrobQuery(app));
    if (response.error.failed()) {
        start.outcome = flickrTransportAlert(response.error, flickrNetworkCheckAlert());
        return start;
    }
    const std::optional<std::string> frob =
        flickrAnswerOk(response.body) ? firstText(response.body, "//frob") : std::nullopt;
    if (!frob) {
        start.outcome = flickrNetworkCheckAlert();
        return start;
    }
    start.outcome = ShareOutcome::success();
    start.frob = *frob;
    start.approvalUrl = flickrApprovalUrl(config, app, *frob);
    return start;
}

FlickrLoginFinish finishFlickrLogin(std::string_view frob, CredentialStore& store, HttpClient& client,
                                    const ServiceConfig& config, const FlickrApp& app)
{
    FlickrLoginFinish finish;
    const HttpResponse response = sendRest(client, config, flickrGetTokenQuery(app, frob));
    if (response.error.failed()) {
        finish.outcome = flickrTransportAlert(response.error, flickrNetworkCheckAlert());
        return finish;
    }
    if (!flickrAnswerOk(response.body)) {
        finish.outcome = ShareOutcome::alert("ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ACCEPT_MSG");
        return finish;
    }
    const std::optional<std::string> token = firstText(response.body, "///token");
    if (!token) {
        finish.outcome = ShareOutcome::alert("ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ERROR_MSG");
        return finish;
    }
    finish.outcome = ShareOutcome::success();
    finish.session.authToken = *token;
    finish.session.userId = xmlFirstAttributeValue(response.body, "///user", "nsid").value_or(std::string());
    finish.session.frob = std::string(frob);
    store.checkDatabaseIsExist(CredentialTable::Flickr);
    store.createOrUpdateFlickrDatabase(kAuthTokenKey, QString::fromStdString(*token));
    return finish;
}

void logOutFlickr(CredentialStore& store, CookieJar* cookies, const ServiceConfig& config)
{
    deleteUploadCookies(cookies, config);
    store.logOutFlickr();
}

FlickrUploadReport uploadToFlickr(const FlickrUploadRequest& request, HttpClient& client, CredentialStore& store,
                                  const ServiceConfig& config, const std::function<bool()>& networkAvailable,
                                  const FlickrApp& app)
{
    FlickrUploadReport report;
    if (request.authToken.empty()) {
        report.outcome = ShareOutcome::alert("WARNING", "WARNING_LOGIN_MSG");
        return report;
    }
    if (networkAvailable && !networkAvailable()) {
        report.outcome = flickrNetworkCheckAlert();
        return report;
    }
    const QByteArray jpeg = request.photo.isNull() ? QByteArray() : request.photo.jpegData(request.jpegQuality);
    if (jpeg.isEmpty()) {
        report.outcome = ShareOutcome::alert("ERROR", "NO_PHOTO_MSG");
        return report;
    }

    const FlickrUploadFields fields{request.authToken, request.title, request.description, request.tags,
                                    request.privacy.level};
    HttpRequest post;
    post.method = "POST";
    post.url = config.url(ServiceHost::FlickrUpload, "/services/upload");
    post.timeout = kFlickrTimeout;
    post.maxResponseBytes = kFlickrMaxAnswerBytes;
    post.headers = {{"Content-Type", multipartFormDataContentType(request.boundary)}};
    post.body = flickrUploadBody(app, fields, std::string_view(jpeg.constData(), std::size_t(jpeg.size())),
                                 request.boundary);

    const HttpResponse response = client.send(post);
    if (response.error.failed()) {
        platform::systemLog("Error: %s", response.error.description.c_str());
        report.outcome =
            flickrTransportAlert(response.error, ShareOutcome::alert("ERROR_FAIL", "ERROR_UPLOAD_FAIL_MSG"));
        return report;
    }
    if (!flickrAnswerOk(response.body)) {
        report.outcome = ShareOutcome::alert("ERROR_FAIL", "ERROR_UPLOAD_FAIL_MSG");
        return report;
    }

    report.outcome = ShareOutcome::success();
    store.checkDatabaseIsExist(CredentialTable::Flickr);
    store.createOrUpdateFlickrDatabase(kAuthTokenKey, QString::fromStdString(request.authToken));
    store.createOrUpdateFlickrDatabase(kFlickrPrivacyKey,
                                       QString::fromStdString(flickrPrivacyToStored(request.privacy)));

    const std::optional<std::string> photoId = firstText(response.body, "//photoid");
    if (!photoId)
        return report;
    report.photoId = *photoId;

    for (const std::string& setId : request.setIds) {
        const HttpResponse added =
            sendRest(client, config, flickrAddToSetQuery(app, request.authToken, setId, *photoId));
        if (added.error.failed() || !flickrAnswerOk(added.body)) {
            report.setAlert = ShareOutcome::alert("ERROR", "ERROR_UPLOAD_PHOTOSET_MSG");
            break;
        }
        report.setsAdded.push_back(setId);
    }
    for (const std::string& groupId : request.groupIds) {
        const HttpResponse added =
            sendRest(client, config, flickrAddToGroupQuery(app, request.authToken, groupId, *photoId));
        if (added.error.failed() || !flickrAnswerOk(added.body)) {
            platform::systemLog("Flickr group pool addition refused");
            report.groupsRefused.push_back(groupId);
        } else {
            report.groupsAdded.push_back(groupId);
        }
    }
    return report;
}

} // namespace services
