// Tweeting the finished photo: the photo goes to an image host
// (ImageHostUpload.h), then a status made of the caption and the photo's
// address is posted. The login is xAuth: the user's name and password are
// exchanged for an access token with an OAuth-signed request, and the status
// update is signed with that token.
//
// postToTwitter() runs the whole flow as the Twitter view does on its worker
// thread; the pieces it is made of are public for the view and for tests.
#pragma once

#include "share/services/HttpClient.h"
#include "share/services/ImageHostUpload.h"
#include "share/services/OAuth.h"
#include "share/services/ShareOutcome.h"

#include "platform/Image.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace services {

class CredentialStore;
class ServiceConfig;

// The application's Twitter registration.
inline constexpr char kTwitterConsumerKey[] = "LJTSwvnNp0NCdNw4hIInZl";                          // 22 characters
inline constexpr char kTwitterConsumerSecret[] = "twTTx1vnwrLke1ZL7qqyXst6MmgxxOXqJSkjTftMQFg";   // 43 characters

// Default caption of the Twitter view.
inline constexpr char kTwitterDefaultCaption[] = "Created with Nimbalight for iPhone.";
// The multipart boundary of every service view's uploads.
inline constexpr char kTwitterUploadBoundary[] = "Larch_Wise_Boundary";
// The status answer that means the same text was posted just before.
inline constexpr char kTwitterDuplicateStatus[] = "Status is a duplicate.";

// Every key the tweet flow signs or uploads with; defaults are the
// application's own.
struct TwitterKeys {
    std::string consumerKey = kTwitterConsumerKey;
    std::string consumerSecret = kTwitterConsumerSecret;
    std::string mobyPictureDeveloperKey = kMobyPictureDeveloperKey;
    std::string twitpicApiKey = kTwitpicApiKey;
};

// ---- Access token (xAuth) -------------------------------------------------

// POST <TwitterAuth>/oauth/access_token?x_auth_mode=client_auth&
// x_auth_password=P&x_auth_username=U (P and U percent-encoded), signed
// with the consumer secret alone, empty body, no cache, no cookies, 30 s.
HttpRequest twitterAccessTokenRequest(const ServiceConfig& config, const TwitterKeys& keys, std::string_view userName,
                                      std::string_view password, std::string_view nonce, std::string_view timestamp);

// The answer "a=b&c=d..." as pairs: every piece with exactly one "=" gives a
// pair, taken as it stands; everything else is skipped.
std::map<std::string, std::string> parseTwitterAccessToken(std::string_view answer);

struct TwitterAccessToken {
    std::map<std::string, std::string> values;  // the whole answer, as parsed
    TransportError error;                       // of the request

    std::string token() const;        // "oauth_token", or ""
    std::string tokenSecret() const;  // "oauth_token_secret", or ""
    // A usable login: more than one pair, with a token and its secret.
    bool valid() const;
};

// Sends the access-token request.
TwitterAccessToken requestTwitterAccessToken(HttpClient& client, const ServiceConfig& config, const TwitterKeys& keys,
                                             std::string_view userName, std::string_view password,
                                             const OAuthClock& clock = {});

// ---- Status update --------------------------------------------------------

// What a tweet's outcome is, numbered as the view numbers it.
enum class TweetOutcome {
    LoginFailed = 1,  // no access token, or no photo address from the host
    Posted = 2,
    Failed = 3,       // the upload or the status was refused, or the transport failed
    Offline = 4,      // not connected (transport error -1009)
    Duplicate = 5,    // the same status was posted just before
};

// The status text: caption, one blank, the photo's address.
std::string twitterStatusText(std::string_view caption, std::string_view photoAddress);

// POST <TwitterApi>/statuses/update.xml?status=E (E the percent-encoded
// status), signed with the consumer secret and the token secret, no body,
// no cache, no cookies, 30 s.
HttpRequest twitterStatusUpdateRequest(const ServiceConfig& config, const TwitterKeys& keys,
                                       const TwitterAccessToken& token, std::string_view status,
                                       std::string_view nonce, std::string_view timestamp);

// The outcome from the status answer: no "//id" → Failed; an "//id" and no
// "//error" → Posted; the first "//error" reading "Status is a duplicate."
// → Duplicate; any other error → Failed.
TweetOutcome tweetOutcomeFromAnswer(std::string_view answer);

// Posts caption + address. A request that could not connect at all gives
// Offline; any other answer, a failed transport included, is read by
// tweetOutcomeFromAnswer.
TweetOutcome postTwitterStatus(HttpClient& client, const ServiceConfig& config, const TwitterKeys& keys,
                               const TwitterAccessToken& token, std::string_view caption,
                               std::string_view photoAddress, const OAuthClock& clock = {});

// The alert of an outcome (success for Posted):
//   LoginFailed "ERROR_LOGIN_ERROR_TITLE" / "ERROR_LOGIN_ERROR_MSG"
//   Failed      "ERROR_FAIL" / "ERROR_UPLOAD_FAIL_MSG"
//   Offline     "ERROR" / "ERROR_INTERNET_CONNECTION_OFFLINE_MSG"
//   Duplicate   "ERROR" / "ERROR_SHORT_TIME_MSG"
ShareOutcome shareOutcomeForTweet(TweetOutcome outcome);

// ---- Remaining-characters counter ------------------------------------------

struct TweetCounter {
    enum class Colour { LightGrey, Orange, Red };
    int remaining = 0;         // may be negative
    Colour colour = Colour::LightGrey;
    bool sendEnabled = true;   // while remaining is 0 or more
};

// 140 − the host's reserve − the caption's length in UTF-16 code units;
// orange below 20, red below 10.
TweetCounter tweetCounter(std::string_view captionUtf8, std::string_view imageHostName);

// ---- The whole tweet --------------------------------------------------------

// What the Twitter view hands its worker (or a command line its options).
struct TwitterPostRequest {
    std::string userName;                         // required
    std::string password;                         // required; never logged
    std::string caption = kTwitterDefaultCaption; // UTF-8
    // The host as shown: "mobypicture", "twitpic" or "yfrog"; any other
    // name (empty, or a retired host such as "img.ly") uploads to Twitpic.
    std::string imageHost = kTwitpicName;
    platform::Image photo;                        // encoded as JPEG at jpegQuality
    double jpegQuality = 0.95;
    std::string boundary = kTwitterUploadBoundary;
    // The network check; empty means isNetworkReachable() on the client.
    std::function<bool()> networkCheck;
    TwitterKeys keys;
    OAuthClock clock;                             // nonce and time of the signatures
};

// Preconditions, then host upload, access token and status in the host's
// order; the credential store is written only after the status was posted:
// the Twitter row (user name, encrypted password), then the host row.
//   empty user name        "ERROR" / "ENTER_USERNAME"
//   empty password         "ERROR" / "ENTER_PASSWORD"
//   network check fails    "ERROR_INTERNET_CONNECTION_CHECK_TITLE" / "..._MSG"
//   no JPEG bytes          "ERROR" / "NO_PHOTO_MSG"
//   MobyPicture, yfrog:    upload, then access token, then status
//   Twitpic:               access token, then upload, then status
//   no address in a host's answer: "ERROR_LOGIN_ERROR_TITLE" / "ERROR_LOGIN_ERROR_MSG"
//   a host upload or access token that fails in transport: Offline (-1009) or Failed
// then the alert of the tweet's outcome, or success.
ShareOutcome postToTwitter(const TwitterPostRequest& request, HttpClient& client, CredentialStore& store,
                           const ServiceConfig& config);

} // namespace services
