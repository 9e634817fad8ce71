// The Flickr service without its view: the signed REST calls of the legacy
// frob/token login, the approval page, the token check, the photo upload with
// its privacy fields, the additions to sets and group pools, and the
// credential-store writes. The lists of sets, tags and groups are in
// FlickrLists.h.
//
// REST calls are POSTs to ServiceHost::FlickrApi + "/services/rest/?<query>"
// with the multipart Content-Type and the body "--<boundary>\r\n"; uploads go
// to ServiceHost::FlickrUpload + "/services/upload"; the approval page is
// ServiceHost::FlickrAuth + "/services/auth/?<query>". Answers are XML; an
// answer counts as "ok" only when it is well-formed and its root element rsp
// says stat="ok".
//
// Signing: api_sig is the MD5 (lower-case hex) of the shared secret followed
// by every signed parameter's name and value, in ascending byte order of the
// names, nothing between them. "method" is signed for every REST call; the
// photo of an upload is not signed. Query values are percent-encoded when
// sent (Flickr's own values, hex digits and dashes, pass unchanged); the
// signature is over the values themselves.
//
// A view runs these one after the other:
//   open:    restoreFlickrLogin, flickrPrivacyFromStored(privacy row)
//   log in:  startFlickrLogin (frob and approval address), then, when the user
//            says they have approved, finishFlickrLogin
//   log out: logOutFlickr
//   send:    uploadToFlickr (set and group ids from FlickrLists.h)
//
// Tokens are never written to the system log.
#pragma once

#include "platform/Image.h"
#include "share/services/HttpClient.h"
#include "share/services/ShareOutcome.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace services {

class CookieJar;
class CredentialStore;
class ServiceConfig;

// The application's Flickr credentials: API key (32 lower-case hex digits)
// and shared secret (16 lower-case hex digits).
inline constexpr char kFlickrApiKey[] = "5f3a9c1e7b2d4f60a8c4e2b6d1f3a5c7";
inline constexpr char kFlickrSharedSecret[] = "3b7e1f9a5c2d8e40";
// The multipart boundary every service view uploads with.
inline constexpr char kFlickrBoundary[] = "Larch_Wise_Boundary";
// The description field's initial text.
inline constexpr char kFlickrDefaultDescription[] = "Created with Nimbalight for iPhone";
// The file name of the uploaded photo part.
inline constexpr char kFlickrPhotoFileName[] = "Nimbalight.jpg";
// The permission asked for on the approval page.
inline constexpr char kFlickrPermission[] = "write";
// XML answers longer than this are refused (a transport error).
inline constexpr std::size_t kFlickrMaxAnswerBytes = 4u << 20;

// Which application is asking; the defaults are ours, tests and other builds
// may hand in their own.
struct FlickrApp {
    std::string apiKey = kFlickrApiKey;
    std::string sharedSecret = kFlickrSharedSecret;
};

// Name/value pairs in the order they are sent.
using FlickrParameters = std::vector<std::pair<std::string, std::string>>;

// The signed text: secret, then name + value of each parameter sorted by name.
std::string flickrSignedText(std::string_view secret, FlickrParameters parameters);
// api_sig: MD5 hex of the signed text's UTF-8 bytes.
std::string flickrSignature(std::string_view secret, const FlickrParameters& parameters);

// ---- Privacy ------------------------------------------------------------------

// The five privacy levels (the buttons' tags 1 to 5, in this order): public,
// friends, family, friends and family, private.
inline constexpr int kFlickrPrivacyLevels = 5;

struct FlickrPrivacyFields {
    char isFriend;  // '1' or '0'
    char isFamily;
    char isPublic;
};
// The fields a level sends. A level outside 1..5 is sent as private (5).
FlickrPrivacyFields flickrPrivacyFields(int level);
// The level's part of the upload's signed text, e.g. "is_family1is_friend1is_public1".
std::string flickrPrivacyFragment(int level);

// The privacy buttons' state: the active level and whether one of the
// buttons shows it (a stored "-1" selects none and keeps level 1).
struct FlickrPrivacyChoice {
    int level = 1;
    bool buttonSelected = true;

    bool operator==(const FlickrPrivacyChoice&) const = default;
};
// From the stored "privacy" row: the button of index 0..4 (missing or
// unreadable text counts as 0); any other number selects no button.
FlickrPrivacyChoice flickrPrivacyFromStored(const std::optional<std::string>& stored);
// What the row stores: the selected button's index "0".."4", or "-1".
std::string flickrPrivacyToStored(const FlickrPrivacyChoice& choice);

// ---- Requests -------------------------------------------------------------------

// name=value pairs joined with "&", values percent-encoded.
std::string flickrQuery(const FlickrParameters& parameters);
// The POST of a REST call with that query.
HttpRequest flickrRestRequest(const ServiceConfig& config, std::string_view query,
                              std::string_view boundary = kFlickrBoundary);

// The queries, each with its api_sig:
//   "method=flickr.auth.getFrob&api_key=K&api_sig=S"
//   "method=flickr.auth.getToken&api_key=K&frob=F&api_sig=S"
//   "method=flickr.auth.checkToken&api_key=K&auth_token=T&api_sig=S"
//   "method=flickr.photosets.addPhoto&api_key=K&auth_token=T&api_sig=S&photoset_id=P&photo_id=I"
//   "method=flickr.groups.pools.add&api_key=K&auth_token=T&api_sig=S&group_id=G&photo_id=I"
std::string flickrGetFrobQuery(const FlickrApp& app);
std::string flickrGetTokenQuery(const FlickrApp& app, std::string_view frob);
std::string flickrCheckTokenQuery(const FlickrApp& app, std::string_view token);
std::string flickrAddToSetQuery(const FlickrApp& app, std::string_view token, std::string_view setId,
                                std::string_view photoId);
std::string flickrAddToGroupQuery(const FlickrApp& app, std::string_view token, std::string_view groupId,
                                  std::string_view photoId);
// "<auth>/services/auth/?api_key=K&perms=write&frob=F&api_sig=S".
std::string flickrApprovalUrl(const ServiceConfig& config, const FlickrApp& app, std::string_view frob);

// The upload body: text parts api_key, auth_token, api_sig, description,
// tags, title, is_friend, is_family, is_public, then the photo part
// ("photo", file "Nimbalight.jpg", Content-Type image/jpeg, binary) and the
// close delimiter.
struct FlickrUploadFields {
    std::string token;
    std::string title;
    std::string description;
    std::string tags;
    int privacyLevel = 1;
};
std::string flickrUploadBody(const FlickrApp& app, const FlickrUploadFields& fields, std::string_view jpeg,
                             std::string_view boundary = kFlickrBoundary);
// The upload's api_sig.
std::string flickrUploadSignature(const FlickrApp& app, const FlickrUploadFields& fields);

// ---- Answers --------------------------------------------------------------------

// Whether the answer is well-formed XML whose root element is rsp with
// stat="ok" (a truncated or broken answer is never ok).
bool flickrAnswerOk(std::string_view body);
// Whether the answer is an explicit refusal: well-formed, rsp with stat="fail".
bool flickrAnswerRefused(std::string_view body);
// The alert for a failed transport: "ERROR" / "ERROR_INTERNET_CONNECTION_OFFLINE_MSG"
// when not connected, otherwise the given one.
ShareOutcome flickrTransportAlert(const TransportError& error, ShareOutcome otherwise);
// The network-check alert.
ShareOutcome flickrNetworkCheckAlert();

// ---- Flows ------------------------------------------------------------------------

// What the view holds once logged in. frob is the one of this view's login
// (empty when the token came from the store); the tag and group lists sign it.
struct FlickrSession {
    std::string authToken;
    std::string userId;  // the user's "nsid"
    std::string frob;

    bool loggedIn() const { return !authToken.empty(); }
};

enum class FlickrTokenStatus {
    NoToken,     // nothing stored: logged out
    Valid,       // the service took the token: logged in
    Rejected,    // the service refused it: the row and the upload cookies are gone
    Unverified,  // no usable answer: logged out for now, the row stays
};

struct FlickrLoginRestore {
    FlickrTokenStatus status = FlickrTokenStatus::NoToken;
    FlickrSession session;              // set when Valid
    std::optional<ShareOutcome> alert;  // for Unverified: what went wrong
};

// When the view opens: makes sure of the table, finds the stored token and
// checks it. Only an explicit refusal (stat="fail", other than "service
// unavailable") deletes the token; a malformed answer or a transport error
// leaves it for the next opening.
FlickrLoginRestore restoreFlickrLogin(CredentialStore& store, HttpClient& client, const ServiceConfig& config,
                                      CookieJar* cookies, const FlickrApp& app = {});

struct FlickrLoginStart {
    ShareOutcome outcome;     // completed when a frob came
    std::string frob;
    std::string approvalUrl;  // to load in the login panel's web view
};
// getFrob and the signed approval address.
FlickrLoginStart startFlickrLogin(HttpClient& client, const ServiceConfig& config, const FlickrApp& app = {});

struct FlickrLoginFinish {
    ShareOutcome outcome;   // completed when logged in
    FlickrSession session;  // set when completed
};
// getToken with the frob. A token is stored ("authtoken", replace). Alerts:
// "ERROR_LOGIN_ERROR_TITLE" with "ERROR_LOGIN_ERROR_MSG" (ok but no token) or
// "ERROR_LOGIN_ACCEPT_MSG" (refused: the user has not approved); a failed
// transport gives flickrTransportAlert with the network-check alert.
FlickrLoginFinish finishFlickrLogin(std::string_view frob, CredentialStore& store, HttpClient& client,
                                    const ServiceConfig& config, const FlickrApp& app = {});

// The user taps log out: the upload host's cookies and the "authtoken" row go.
// The view then empties its set, tag and group labels.
void logOutFlickr(CredentialStore& store, CookieJar* cookies, const ServiceConfig& config);

// Everything one upload needs. Plain values, so a command-line front end can
// fill it from its options.
struct FlickrUploadRequest {
    std::string authToken;  // empty → "WARNING" / "WARNING_LOGIN_MSG"
    std::string title;
    std::string description = kFlickrDefaultDescription;
    std::string tags;       // the tag label as it stands (names joined with "/")
    FlickrPrivacyChoice privacy;
    // Where the photo goes afterwards, in order (flickrSetIdsForLabel and
    // flickrGroupIdsForLabel turn the labels into these).
    std::vector<std::string> setIds;
    std::vector<std::string> groupIds;
    platform::Image photo;  // encoded as JPEG at jpegQuality when the request is built
    double jpegQuality = 0.95;
    std::string boundary = kFlickrBoundary;
};

struct FlickrUploadReport {
    // The upload's own outcome (completed: the view closes):
    //   "WARNING" / "WARNING_LOGIN_MSG"                   not logged in (nothing sent)
    //   "ERROR_INTERNET_CONNECTION_CHECK_TITLE" / "..._MSG" no network (nothing sent)
    //   "ERROR" / "NO_PHOTO_MSG"                          no JPEG bytes (nothing sent)
    //   "ERROR" / "ERROR_INTERNET_CONNECTION_OFFLINE_MSG" not connected
    //   "ERROR_FAIL" / "ERROR_UPLOAD_FAIL_MSG"            other transport errors, refused or malformed answers
    ShareOutcome outcome;
    std::string photoId;                    // from the ok answer, when it named one
    std::vector<std::string> setsAdded;     // ids the photo went into
    // "ERROR" / "ERROR_UPLOAD_PHOTOSET_MSG" when a set refused it; the sets
    // after it were not tried. The upload itself stays completed.
    std::optional<ShareOutcome> setAlert;
    std::vector<std::string> groupsAdded;
    std::vector<std::string> groupsRefused; // refused or unanswered pool additions (the view shows nothing)
};

// The whole send: login, network check, photo, upload; on an ok answer the
// token and the privacy choice are stored (replace both), then the photo is
// added to each set (stopping at the first refusal) and to each group pool.
FlickrUploadReport uploadToFlickr(const FlickrUploadRequest& request, HttpClient& client, CredentialStore& store,
                                  const ServiceConfig& config, const std::function<bool()>& networkAvailable,
                                  const FlickrApp& app = {});

} // namespace services
