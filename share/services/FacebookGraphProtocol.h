// The Facebook service without its view: the Graph API requests, the login
// page and its redirect, the target list (own wall and groups), the upload
// body, what the answers mean, and the credential-store writes.
//
// Every Graph request goes to ServiceHost::FacebookGraph; the login page is
// on the same host and redirects to "/connect/login_success.html" on
// ServiceHost::FacebookWeb, whose cookies are dropped whenever a login starts
// or the user logs out. Answers are JSON; an answer that is not a JSON object
// never counts as a success.
//
// A view runs these on its worker, one after the other:
//   open:    restoreFacebookLogin              (token check of the stored token)
//   log in:  beginFacebookLogin, show facebookLoginPageUrl in the web view,
//            feed every finished page address to finishFacebookLogin
//   log out: logOutFacebook
//   target:  fetchFacebookTargets              (own wall first, then the groups)
//   send:    uploadToFacebook
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
#include <vector>

namespace services {

class CookieJar;
class CredentialStore;
class ServiceConfig;

// The application's Facebook client id (15 decimal digits).
inline constexpr char kFacebookClientId[] = "104857326191457";
// The multipart boundary every service view uploads with.
inline constexpr char kShareUploadBoundary[] = "Larch_Wise_Boundary";
// The message view's initial text.
inline constexpr char kFacebookDefaultMessage[] = "Created with Nimbalight for iPhone.";
// Key of the own-wall entry's name (the view shows its text).
inline constexpr char kFacebookOwnWallKey[] = "UPLOAD_MY_WALL";
// Fixed texts of the upload body.
inline constexpr char kFacebookCaption[] = "Nimbalight";
inline constexpr char kFacebookDescription[] = "Nimbalight";
// At most this many groups of the group list are fetched and offered; a
// longer list is cut (a hostile answer cannot make us send without end).
inline constexpr std::size_t kFacebookMaxGroups = 500;
// JSON answers longer than this are refused as malformed.
inline constexpr std::size_t kFacebookMaxAnswerBytes = 4u << 20;

// One entry of the target picker: the own wall or one of the user's groups.
struct FacebookTarget {
    std::string id;
    std::string name;     // what the picker shows and the target label holds
    std::string privacy;  // the group's "privacy" ("OPEN", "CLOSED", "SECRET"); "SECRET" for the own wall

    bool operator==(const FacebookTarget&) const = default;
};

// The own-wall entry: id and name both ownWallName, privacy "SECRET".
FacebookTarget facebookOwnWallTarget(std::string_view ownWallName = kFacebookOwnWallKey);

// ---- Requests -------------------------------------------------------------

// "<graph>/me?access_token=<token>" and the other Graph addresses; the token
// goes through facebookFormUrlEncode, ids through strict percent-encoding
// (Graph ids are digits, which pass unchanged).
std::string facebookTokenCheckUrl(const ServiceConfig& config, std::string_view token);
std::string facebookGroupListUrl(const ServiceConfig& config, std::string_view token);
std::string facebookGroupUrl(const ServiceConfig& config, std::string_view groupId, std::string_view token);
// "<web>/connect/login_success.html".
std::string facebookRedirectUri(const ServiceConfig& config);
// "<graph>/oauth/authorize?client_id=..&redirect_uri=..&type=user_agent&display=touch&scope=.."
// (client id and redirect URI inserted as they are); fullPermission adds
// "user_photos" to the scope.
std::string facebookLoginPageUrl(const ServiceConfig& config, bool fullPermission = false,
                                 std::string_view clientId = kFacebookClientId);

// The upload's path: "/me/photos" when targetName is empty or ownWallName;
// otherwise "/<id>/photos" with the id of the first target of that name, or
// "//photos" when none has it (the service then refuses the upload).
std::string facebookUploadPath(std::string_view targetName, const std::vector<FacebookTarget>& targets,
                               std::string_view ownWallName = kFacebookOwnWallKey);

// The multipart body of an upload: "caption", "description", "message" and
// the photo (field name "media", file name "media.png", no Content-Type
// line), then "access_token":
//   --B CRLF Content-Disposition: form-data; name="caption" CRLF CRLF Nimbalight
//   CRLF --B CRLF ... name="media"; filename="media.png" CRLF CRLF <jpeg>
//   CRLF --B CRLF ... name="access_token" CRLF CRLF <token> CRLF --B-- CRLF
std::string facebookUploadBody(std::string_view boundary, std::string_view message, std::string_view jpeg,
                               std::string_view token);

// ---- Answers ----------------------------------------------------------------

// A Graph answer that went through: no transport error, an HTTP status below
// 400, a JSON object, and no "error" key in it.
// Answers longer than kFacebookMaxAnswerBytes are refused.
bool facebookAnswerSucceeded(const HttpResponse& response);

// ---- Flows ------------------------------------------------------------------

// Whether the service takes the token (facebookAnswerSucceeded on the token
// check). A transport error or a malformed answer counts as not taken.
bool checkFacebookAccessToken(HttpClient& client, const ServiceConfig& config, std::string_view token);

struct FacebookLoginState {
    std::string accessToken;        // empty when logged out
    bool haveAccessToken = false;   // the login button reads "LOG_OUT"
};

// When the view opens: makes sure of the table, reads the stored token and,
// when there is one, checks it. A token the service does not take leaves the
// view logged out with the row still stored (the next login replaces it).
FacebookLoginState restoreFacebookLogin(CredentialStore& store, HttpClient& client, const ServiceConfig& config);

// Before the login page is shown: the network check (its alert when it
// fails), then the cookies of the web host go. nullopt means "go ahead".
std::optional<ShareOutcome> beginFacebookLogin(const std::function<bool()>& networkAvailable, CookieJar* cookies,
                                               const ServiceConfig& config);

// What a page address of the login dialog means.
struct FacebookRedirect {
    enum class Kind {
        Pending,   // some other page of the login: keep waiting
        Token,     // the redirect carries a token
        Cancelled, // the user refused ("error_reason="), or the redirect page came without a token
    };
    Kind kind = Kind::Pending;
    std::string token;  // for Token: percent-unescaped, never empty
};

// An address containing "access_token=" gives the text after it up to the
// first "&" (or the end), percent-unescaped. An empty token, one with control
// characters, "error_reason=", or the redirect page itself without a token
// all end the dialog as Cancelled: nothing is stored.
FacebookRedirect parseFacebookRedirect(std::string_view address, const ServiceConfig& config);

// Feeds one finished page address: on a token, stores it ("authtoken",
// delete + insert) and returns the logged-in state; on Cancelled returns a
// logged-out state; on Pending returns nothing. A token that could not be
// stored still holds for this session.
std::optional<FacebookLoginState> finishFacebookLogin(std::string_view address, CredentialStore& store,
                                                      const ServiceConfig& config);

// The user taps log out: the "authtoken" row goes, then the web host's
// cookies. The view then shows "LOG_IN" and an empty target label.
void logOutFacebook(CredentialStore& store, CookieJar* cookies, const ServiceConfig& config);

struct FacebookTargetList {
    // Absent: no picker. Present: the alert to show (network check, login).
    std::optional<ShareOutcome> alert;
    // True when the group list itself could not be read (only logged; no picker).
    bool listFailed = false;
    // The own-wall entry first, then each group that could be fetched, in list order.
    std::vector<FacebookTarget> targets;
    // Whether a picker opens.
    bool showPicker() const { return !alert && !listFailed; }
};

// The group picker's list: network check, login, the group list, then one
// request per listed group; a group that cannot be fetched is left out.
FacebookTargetList fetchFacebookTargets(HttpClient& client, const ServiceConfig& config, std::string_view token,
                                        const std::function<bool()>& networkAvailable,
                                        std::string_view ownWallName = kFacebookOwnWallKey);

// Everything one upload needs. Plain values, so a command-line front end can
// fill it from its options.
struct FacebookUploadRequest {
    std::string accessToken;                   // the logged-in token; empty → "WARNING" / "WARNING_LOGIN_MSG"
    std::string message = kFacebookDefaultMessage;  // sent as the "message" field, empty allowed
    // The target label: empty or ownWallName for the own wall, otherwise the
    // name of one of targets (as fetchFacebookTargets gave them).
    std::string targetName;
    std::vector<FacebookTarget> targets;
    platform::Image photo;                     // encoded as JPEG at jpegQuality when the request is built
    double jpegQuality = 0.95;
    std::string boundary = kShareUploadBoundary;
    std::string ownWallName = kFacebookOwnWallKey;
};

// The whole send: network check, login, photo, then one POST to the Graph
// host with Content-Type "multipart/form-data; boundary=B" and Content-Length.
// Outcomes:
//   completed                                    the answer is a JSON object without "error"
//   "ERROR_INTERNET_CONNECTION_CHECK_TITLE" / "ERROR_INTERNET_CONNECTION_CHECK_MSG"  no network (nothing sent)
//   "WARNING" / "WARNING_LOGIN_MSG"              no token (nothing sent)
//   "ERROR" / "NO_PHOTO_MSG"                     the photo gives no JPEG bytes (nothing sent)
//   "ERROR" / "ERROR_INTERNET_CONNECTION_OFFLINE_MSG"  not connected (host unknown, connection refused)
//   "ERROR_FAIL" / "ERROR_UPLOAD_FAIL_MSG"       any other transport error, or a refused or malformed answer
ShareOutcome uploadToFacebook(const FacebookUploadRequest& request, HttpClient& client, const ServiceConfig& config,
                              const std::function<bool()>& networkAvailable);

} // namespace services
