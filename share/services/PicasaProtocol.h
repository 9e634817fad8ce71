// Uploading the finished photo to a Picasa web album: the ClientLogin login
// (account name and password for a token of the photo service, "lh2"), the
// user's album feed, and the GData multipart/related upload of an Atom entry
// with the JPEG.
//
// listPicasaAlbums() and uploadToPicasa() run the whole operations as the
// Picasa view does on its worker thread; both log in first and, on every
// successful login, store the account name (plain) and the password
// (encrypted) in the credential store. The pieces are public for the view
// and for tests.
#pragma once

#include "share/services/HttpClient.h"
#include "share/services/ShareOutcome.h"

#include "platform/Image.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace services {

class CredentialStore;
class ServiceConfig;

// The application as it names itself at login.
inline constexpr char kPicasaSource[] = "Larchwise-Wendlemark-1.0";
// The Atom entry of an upload.
inline constexpr char kPicasaEntryTitle[] = "Wendlemark";
inline constexpr char kAtomNamespace[] = "http://www.w3.org/2005/Atom";
inline constexpr char kPicasaKindScheme[] = "http://schemas.google.com/g/2005#kind";
inline constexpr char kPicasaPhotoKind[] = "http://schemas.google.com/photos/2007#photo";
// Default description of the Picasa view.
inline constexpr char kPicasaDefaultDescription[] = "Created with Nimbalight for iPhone";
inline constexpr char kPicasaUploadBoundary[] = "Larch_Wise_Boundary";
// The album id that means the user's default album, and the album title
// that stands for it.
inline constexpr char kPicasaDefaultAlbumId[] = "default";
inline constexpr char kPicasaDropBoxTitle[] = "Drop Box";

// ---- Login ----------------------------------------------------------------------

// A form value: a blank as "+", every byte outside A-Z, a-z, 0-9, "-", ".",
// "_" and "*" as "%" and two upper-case hexadecimal digits.
std::string picasaFormEncode(std::string_view text);

// "accountType=GOOGLE&Email=E&Passwd=P&service=lh2&source=S", each value
// form-encoded.
std::string clientLoginBody(std::string_view userName, std::string_view password, std::string_view source);

// POST <PicasaLogin>/accounts/ClientLogin, Content-Type
// "application/x-www-form-urlencoded", Content-Length, 30 s.
HttpRequest clientLoginRequest(const ServiceConfig& config, std::string_view userName, std::string_view password,
                               std::string_view source = kPicasaSource);

// For an answer that contains "Error=": the message key of the first of
// these codes it contains: BadAuthentication and CaptchaRequired
// "ERROR_LOGIN_ERROR_MSG", NotVerified "ERROR_NOT_VERIFIED", TermsNotAgreed
// "ERROR_TERMS_NOT_AGREED", Unknown "ERROR_UNKNOWN", AccountDeleted
// "ERROR_ACCOUNT_DELETED", AccountDisabled "ERROR_ACCOUNT_DISABLED",
// ServiceDisabled "ERROR_SERVICE_DISABLED", ServiceUnavailable
// "ERROR_SERVICE_UNAVAILABLE". Nothing for any other answer.
std::optional<std::string> clientLoginErrorMessageKey(std::string_view answer);

struct PicasaLogin {
    std::string auth;  // the token for the photo service
    std::string sid;
    std::string lsid;
};

// The answer's "SID=", "LSID=" and "Auth=" lines (each value up to its line
// break); nothing unless all three are there and the token is not empty.
std::optional<PicasaLogin> parseClientLoginAnswer(std::string_view answer);

// Logs in and, on success, stores "id" and the encrypted "pass". Failures:
//   transport error -1009        "ERROR" / "ERROR_INTERNET_CONNECTION_OFFLINE_MSG"
//   any other transport error    "ERROR_FAIL" / "ERROR_UPLOAD_FAIL_MSG"
//   a listed error code          "ERROR" / its message key
//   an answer without a token    "ERROR_LOGIN_ERROR_TITLE" / "ERROR_LOGIN_ERROR_MSG"
struct PicasaLoginResult {
    std::optional<PicasaLogin> login;
    ShareOutcome failure;  // when there is no login
};
PicasaLoginResult loginToPicasa(HttpClient& client, CredentialStore& store, const ServiceConfig& config,
                                std::string_view userName, std::string_view password,
                                std::string_view source = kPicasaSource);

// ---- Album feed --------------------------------------------------------------------

// One album of the feed.
struct PicasaAlbum {
    std::string title;      // "title"
    std::string numPhotos;  // "gphoto:numphotos"
    std::string id;         // "gphoto:id"
    std::string content;    // "url" of its media:content
    std::string thumbnail;  // "url" of its media:thumbnail

    bool operator==(const PicasaAlbum&) const = default;
};

// GET <PicasaFeeds>/data/feed/api/user/default with Authorization
// "GoogleLogin auth=TOKEN", Content-Type "application/atom+xml",
// "GData-Version" "2", 30 s.
HttpRequest picasaAlbumFeedRequest(const ServiceConfig& config, std::string_view auth);

// The albums of the feed in order, each with the values read inside its own
// entry; entries without an album id are left out. A feed that breaks off
// gives the albums completed before the break; one that cannot be read, none.
std::vector<PicasaAlbum> parsePicasaAlbumFeed(std::string_view feed);

// ---- Upload ------------------------------------------------------------------------

// The album an upload goes to: "default" when no album is chosen (empty
// title or id) or the chosen one is titled "Drop Box"; otherwise its id.
std::string picasaUploadAlbumId(std::string_view albumTitle, std::string_view albumId);

// "&", "<" and ">" as "&amp;", "&lt;" and "&gt;".
std::string picasaEscapeXmlText(std::string_view text);

// The Atom entry on one line: title, the escaped description as summary,
// and the photo-kind category.
std::string picasaAtomEntry(std::string_view description);

// The multipart/related body: the Atom entry part, the JPEG part, and the
// close delimiter (nothing after it).
std::string picasaUploadBody(std::string_view boundary, std::string_view description, std::string_view jpeg);

// POST <PicasaFeeds>/data/feed/api/user/default/albumid/ID with
// Authorization, Content-Type "multipart/related; boundary=B",
// Content-Length, "MIME-version" "1.0", "GData-Version" "2", 30 s.
HttpRequest picasaUploadRequest(const ServiceConfig& config, std::string_view auth, std::string_view albumId,
                                std::string_view boundary, std::string body);

// The "published" text of an upload answer: present only when the answer
// contains "<published>" and a published element with text could be read.
std::optional<std::string> picasaPublishedDate(std::string_view answer);

// ---- Whole operations ------------------------------------------------------------

// The account and the check every operation starts with.
struct PicasaAccount {
    std::string userName;                  // required (e-mail address)
    std::string password;                  // required; never logged
    // The network check; empty means isNetworkReachable() on the client.
    std::function<bool()> networkCheck;
    std::string source = kPicasaSource;
};

struct PicasaAlbumList {
    ShareOutcome outcome;             // completed when the feed was fetched
    std::vector<PicasaAlbum> albums;  // may be empty (an unreadable feed)
};

// Preconditions ("WARNING" / "ENTER_USERNAME", "WARNING" / "ENTER_PASSWORD",
// the network check), login, then the album feed.
PicasaAlbumList listPicasaAlbums(const PicasaAccount& account, HttpClient& client, CredentialStore& store,
                                 const ServiceConfig& config);

// What the Picasa view hands its worker (or a command line its options).
struct PicasaUploadRequest {
    PicasaAccount account;
    std::string albumTitle;  // the chosen album as shown; empty when none is chosen
    std::string albumId;     // its "gphoto:id"
    std::string description = kPicasaDefaultDescription;
    platform::Image photo;   // encoded as JPEG at jpegQuality
    double jpegQuality = 0.95;
    std::string boundary = kPicasaUploadBoundary;
};

// Preconditions, "ERROR" / "NO_PHOTO_MSG" for a photo without JPEG bytes,
// login, then the upload. An answer without "published" ends in "ERROR"
// with the answer as detail (the service's words, which the view shows as
// the message; messageKey "ERROR_UPLOAD_FAIL_MSG" stands in when it is
// empty).
ShareOutcome uploadToPicasa(const PicasaUploadRequest& request, HttpClient& client, CredentialStore& store,
                            const ServiceConfig& config);

} // namespace services
