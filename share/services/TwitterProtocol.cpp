#include "share/services/TwitterProtocol.h"

#include "share/services/CredentialStore.h"
#include "share/services/NetworkCheck.h"
#include "share/services/ServiceConfig.h"
#include "share/services/XmlQuery.h"

#include "platform/SystemLog.h"

#include <QString>

namespace services {

namespace {

constexpr char kAccessTokenPath[] = "/oauth/access_token";
constexpr char kStatusUpdatePath[] = "/statuses/update.xml";
constexpr char kFormContentType[] = "application/x-www-form-urlencoded";
constexpr auto kRequestTimeout = std::chrono::seconds(30);
constexpr int kTweetLength = 140;

HttpRequest oauthPost(std::string url, std::string authorization)
{
    HttpRequest request;
    request.method = "POST";
    request.url = std::move(url);
    request.headers = {{"Content-Type", kFormContentType}, {"Authorization", std::move(authorization)}};
    request.timeout = kRequestTimeout;
    request.ignoreLocalCache = true;
    request.sendNoCookies = true;
    return request;
}

// The outcome of a request that did not get through.
TweetOutcome transportOutcome(const TransportError& error)
{
    return error.code == url_error::kNotConnectedToInternet ? TweetOutcome::Offline : TweetOutcome::Failed;
}

ShareOutcome loginError()
{
    return ShareOutcome::alert("ERROR_LOGIN_ERROR_TITLE", "ERROR_LOGIN_ERROR_MSG");
}

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

HttpRequest twitterAccessTokenRequest(const ServiceConfig& config, const TwitterKeys& keys, std::string_view userName,
                                      std::string_view password, std::string_view nonce, std::string_view timestamp)
{
    const std::string endpoint = config.url(ServiceHost::TwitterAuth, kAccessTokenPath);
    const OAuthParameters parameters{
        {"oauth_consumer_key", keys.consumerKey},
        {"oauth_nonce", std::string(nonce)},
        {"oauth_signature_method", "HMAC-SHA1"},
        {"oauth_timestamp", std::string(timestamp)},
        {"oauth_version", "1.0"},
        {"x_auth_mode", "client_auth"},
        {"x_auth_password", std::string(password)},
        {"x_auth_username", std::string(userName)},
    };
    const std::string signature = oauthHmacSha1Signature(oauthSignatureBaseString("POST", endpoint, parameters),
                                                         oauthSigningKey(keys.consumerSecret, {}));
    const std::string header = "OAuth oauth_nonce=\"" + oauthPercentEncode(nonce) +
                               "\", oauth_signature_method=\"HMAC-SHA1\", oauth_timestamp=\"" +
                               oauthPercentEncode(timestamp) + "\", oauth_consumer_key=\"" +
                               oauthPercentEncode(keys.consumerKey) + "\", oauth_signature=\"" +
                               oauthPercentEncode(signature) + "\", oauth_version=\"1.0\"";
    const std::string url = endpoint + "?x_auth_mode=client_auth&x_auth_password=" + oauthPercentEncode(password) +
                            "&x_auth_username=" + oauthPercentEncode(userName);
    return oauthPost(url, header);
}

std::map<std::string, std::string> parseTwitterAccessToken(std::string_view answer)
{
    std::map<std::string, std::string> values;
    while (!answer.empty()) {
        const std::size_t amp = answer.find('&');
        const std::string_view piece = answer.substr(0, amp);
        answer = amp == std::string_view::npos ? std::string_view() : answer.substr(amp + 1);
        const std::size_t equals = piece.find('=');
        if (equals == std::string_view::npos || piece.find('=', equals + 1) != std::string_view::npos)
            continue;
        values[std::string(piece.substr(0, equals))] = std::string(piece.substr(equals + 1));
    }
    return values;
}

std::string TwitterAccessToken::token() const
{
    const auto it = values.find("oauth_token");
    return it == values.end() ? std::string() : it->second;
}

std::string TwitterAccessToken::tokenSecret() const
{
    const auto it = values.find("oauth_token_secret");
    return it == values.end() ? std::string() : it->second;
}

bool TwitterAccessToken::valid() const
{
    return values.size() > 1 && !token().empty() && !tokenSecret().empty();
}

TwitterAccessToken requestTwitterAccessToken(HttpClient& client, const ServiceConfig& config, const TwitterKeys& keys,
                                             std::string_view userName, std::string_view password,
                                             const OAuthClock& clock)
{
    const HttpResponse response = client.send(
        twitterAccessTokenRequest(config, keys, userName, password, clock.makeNonce(), clock.makeTimestamp()));
    TwitterAccessToken token;
    token.error = response.error;
    if (response.error.failed())
        platform::systemLog("Error = %s code = %d", response.error.description.c_str(), response.error.code);
    else
        token.values = parseTwitterAccessToken(response.body);
    return token;
}

std::string twitterStatusText(std::string_view caption, std::string_view photoAddress)
{
    std::string status(caption);
    status += ' ';
    status += photoAddress;
    return status;
}

HttpRequest twitterStatusUpdateRequest(const ServiceConfig& config, const TwitterKeys& keys,
                                       const TwitterAccessToken& token, std::string_view status,
                                       std::string_view nonce, std::string_view timestamp)
{
    const std::string endpoint = config.url(ServiceHost::TwitterApi, kStatusUpdatePath);
    const std::string tokenValue = token.token();
    const OAuthParameters parameters{
        {"oauth_consumer_key", keys.consumerKey},
        {"oauth_nonce", std::string(nonce)},
        {"oauth_signature_method", "HMAC-SHA1"},
        {"oauth_timestamp", std::string(timestamp)},
        {"oauth_token", tokenValue},
        {"oauth_version", "1.0"},
        {"status", std::string(status)},
    };
    const std::string signature = oauthHmacSha1Signature(oauthSignatureBaseString("POST", endpoint, parameters),
                                                         oauthSigningKey(keys.consumerSecret, token.tokenSecret()));
    const std::string header = "OAuth oauth_nonce=\"" + oauthPercentEncode(nonce) +
                               "\", oauth_signature_method=\"HMAC-SHA1\", oauth_timestamp=\"" +
                               oauthPercentEncode(timestamp) + "\", oauth_consumer_key=\"" +
                               oauthPercentEncode(keys.consumerKey) + "\", oauth_token=\"" +
                               oauthPercentEncode(tokenValue) + "\", oauth_signature=\"" +
                               oauthPercentEncode(signature) + "\", oauth_version=\"1.0\"";
    return oauthPost(endpoint + "?status=" + oauthPercentEncode(status), header);
}

TweetOutcome tweetOutcomeFromAnswer(std::string_view answer)
{
    if (answer.empty() || xmlNodeExists(answer, "//id") != 200)
        return TweetOutcome::Failed;
    const std::vector<std::string> errors = xmlTextsOf(answer, "//error");
    if (errors.empty())
        return TweetOutcome::Posted;
    return errors.front() == kTwitterDuplicateStatus ? TweetOutcome::Duplicate : TweetOutcome::Failed;
}

TweetOutcome postTwitterStatus(HttpClient& client, const ServiceConfig& config, const TwitterKeys& keys,
                               const TwitterAccessToken& token, std::string_view caption,
                               std::string_view photoAddress, const OAuthClock& clock)
{
    const HttpResponse response =
        client.send(twitterStatusUpdateRequest(config, keys, token, twitterStatusText(caption, photoAddress),
                                               clock.makeNonce(), clock.makeTimestamp()));
    if (response.error.failed()) {
        platform::systemLog("Error = %s code = %d", response.error.description.c_str(), response.error.code);
        if (response.error.code == url_error::kNotConnectedToInternet)
            return TweetOutcome::Offline;
    }
    return tweetOutcomeFromAnswer(response.body);
}

ShareOutcome shareOutcomeForTweet(TweetOutcome outcome)
{
    switch (outcome) {
    case TweetOutcome::Posted:
        return ShareOutcome::success();
    case TweetOutcome::LoginFailed:
        return loginError();
    case TweetOutcome::Offline:
        return ShareOutcome::alert("ERROR", "ERROR_INTERNET_CONNECTION_OFFLINE_MSG");
    case TweetOutcome::Duplicate:
        return ShareOutcome::alert("ERROR", "ERROR_SHORT_TIME_MSG");
    case TweetOutcome::Failed:
        break;
    }
    return ShareOutcome::alert("ERROR_FAIL", "ERROR_UPLOAD_FAIL_MSG");
}

TweetCounter tweetCounter(std::string_view captionUtf8, std::string_view imageHostName)
{
    TweetCounter counter;
    counter.remaining = kTweetLength - imageHostReserve(imageHostName) - int(fromUtf8(captionUtf8).size());
    if (counter.remaining >= 20) {
        counter.colour = TweetCounter::Colour::LightGrey;
        counter.sendEnabled = true;
    } else {
        counter.colour = counter.remaining < 10 ? TweetCounter::Colour::Red : TweetCounter::Colour::Orange;
        counter.sendEnabled = counter.remaining >= 0;
    }
    return counter;
}

namespace {

// One tweet, from the photo upload to the outcome code, or an alert of its
// own where the host's answer carries no address.
struct TweetRun {
    const TwitterPostRequest& request;
    HttpClient& client;
    const ServiceConfig& config;
    ImageHost host;
    std::string jpeg;

    ImageHostUploadFields fields(const TwitterAccessToken* token) const
    {
        ImageHostUploadFields f;
        f.userName = request.userName;
        f.password = request.password;
        f.caption = request.caption;
        f.mobyPictureDeveloperKey = request.keys.mobyPictureDeveloperKey;
        f.twitpicApiKey = request.keys.twitpicApiKey;
        f.consumerKey = request.keys.consumerKey;
        f.consumerSecret = request.keys.consumerSecret;
        if (token) {
            f.oauthToken = token->token();
            f.oauthTokenSecret = token->tokenSecret();
        }
        return f;
    }

    HttpResponse upload(const TwitterAccessToken* token) const
    {
        return client.send(imageHostUploadRequest(
            host, config, request.boundary, imageHostUploadBody(host, fields(token), request.boundary, jpeg)));
    }

    TwitterAccessToken accessToken() const
    {
        return requestTwitterAccessToken(client, config, request.keys, request.userName, request.password,
                                         request.clock);
    }

    // The outcome of an access token that is not usable.
    static TweetOutcome refusedLogin(const TwitterAccessToken& token)
    {
        return token.error.failed() ? transportOutcome(token.error) : TweetOutcome::LoginFailed;
    }

    TweetOutcome post(const TwitterAccessToken& token, const std::string& address) const
    {
        return postTwitterStatus(client, config, request.keys, token, request.caption, address, request.clock);
    }

    // Twitpic wants the user's token with the photo: log in first.
    ShareOutcome viaTwitpic() const
    {
        const TwitterAccessToken token = accessToken();
        if (!token.valid())
            return shareOutcomeForTweet(refusedLogin(token));
        const HttpResponse response = upload(&token);
        if (response.error.failed())
            return shareOutcomeForTweet(transportOutcome(response.error));
        const std::optional<std::string> address = imageHostPhotoAddress(host, response.body);
        if (!address)
            return shareOutcomeForTweet(TweetOutcome::LoginFailed);
        return shareOutcomeForTweet(post(token, *address));
    }

    // MobyPicture and yfrog take the user's name and password themselves.
    ShareOutcome viaCredentials() const
    {
        const HttpResponse response = upload(nullptr);
        if (response.error.failed())
            return shareOutcomeForTweet(transportOutcome(response.error));
        const std::optional<std::string> address = imageHostPhotoAddress(host, response.body);
        if (!address)
            return loginError();
        const TwitterAccessToken token = accessToken();
        if (!token.valid())
            return shareOutcomeForTweet(refusedLogin(token));
        return shareOutcomeForTweet(post(token, *address));
    }
};

} // namespace

ShareOutcome postToTwitter(const TwitterPostRequest& request, HttpClient& client, CredentialStore& store,
                           const ServiceConfig& config)
{
    if (request.userName.empty())
        return ShareOutcome::alert("ERROR", "ENTER_USERNAME");
    if (request.password.empty())
        return ShareOutcome::alert("ERROR", "ENTER_PASSWORD");
    const bool reachable = request.networkCheck ? request.networkCheck() : isNetworkReachable(client, config);
    if (!reachable)
        return ShareOutcome::alert("ERROR_INTERNET_CONNECTION_CHECK_TITLE", "ERROR_INTERNET_CONNECTION_CHECK_MSG");

    const QByteArray jpeg = request.photo.isNull() ? QByteArray() : request.photo.jpegData(request.jpegQuality);
    if (jpeg.isEmpty())
        return ShareOutcome::alert("ERROR", "NO_PHOTO_MSG");

    const TweetRun run{request, client, config, imageHostForName(request.imageHost),
                       std::string(jpeg.constData(), std::size_t(jpeg.size()))};
    const ShareOutcome outcome = run.host == ImageHost::Twitpic ? run.viaTwitpic() : run.viaCredentials();
    if (outcome.completed) {
        // The typed credentials and the host are kept for the next tweet.
        store.createOrUpdateTwitterDatabase(fromUtf8(request.userName), fromUtf8(request.password));
        store.socialUpdateFromDatabase(QString::fromLatin1(kThirdPartyKey),
                                       QString::fromStdString(imageHostName(run.host)));
    }
    return outcome;
}

} // namespace services
