// The image hosts a tweet's photo goes to (MobyPicture, Twitpic, yfrog):
// the host chooser's names and indices, the characters of a tweet each host
// keeps for its address, each host's upload request, and the photo address
// read from its answer. The whole tweet flow is in TwitterProtocol.h.
#pragma once

#include "share/services/HttpClient.h"

#include <optional>
#include <string>
#include <string_view>

namespace services {

class ServiceConfig;

// The application's keys at the hosts. They can be replaced per upload
// through ImageHostKeys (and TwitterKeys).
inline constexpr char kMobyPictureDeveloperKey[] = "7q4uVPo2Kq0pXLUf";         // 16 characters
inline constexpr char kTwitpicApiKey[] = "19f976fb624da9694ac7c988bb0d6e81";   // 32 hex digits

// Host names as stored and shown.
inline constexpr char kMobyPictureName[] = "mobypicture";
inline constexpr char kTwitpicName[] = "twitpic";
inline constexpr char kYfrogName[] = "yfrog";

// The three hosts, numbered as the chooser's rows.
enum class ImageHost { MobyPicture = 0, Twitpic = 1, Yfrog = 2 };

// The chooser's index of a stored or shown name: "mobypicture" 0,
// "twitpic" 1, "yfrog" 2, the retired "tweetphoto" 3, "twitgoo" 4,
// "img.ly" 5; anything else -1 (no row marked).
int imageHostIndexForName(std::string_view name);
// The name of a marked index: 0 "mobypicture", 1 or -1 "twitpic",
// 2 "yfrog"; anything else "".
std::string imageHostNameForIndex(int index);
// The host an upload goes to for a shown name: the three hosts by name;
// every other name (empty, retired, unknown) reads as Twitpic, as an
// unmarked chooser does.
ImageHost imageHostForName(std::string_view name);
std::string imageHostName(ImageHost host);
// The chooser row's picture ("mobypicture.png", "twitpic.png", "yfrog.png").
std::string imageHostRowImage(ImageHost host);
// Characters of a tweet kept for the host's address: mobypicture 22,
// twitpic 26, yfrog 24; 0 for any other name.
int imageHostReserve(std::string_view name);

// What goes into an upload besides the photo.
struct ImageHostUploadFields {
    std::string userName;           // Twitter user name (MobyPicture, yfrog)
    std::string password;           // Twitter password (MobyPicture, yfrog)
    std::string caption;            // the tweet's caption
    std::string mobyPictureDeveloperKey = kMobyPictureDeveloperKey;
    std::string twitpicApiKey = kTwitpicApiKey;
    // Twitpic only: the application's Twitter consumer key and secret and
    // the user's access token and its secret.
    std::string consumerKey;
    std::string consumerSecret;
    std::string oauthToken;
    std::string oauthTokenSecret;
};

// The host's multipart/form-data body, field by field in the host's order,
// the photo last as "m1.jpg", then the close delimiter.
//   MobyPicture: u, p, s = "none", k, d, format = "xml"; file "i" (image/jpeg)
//   Twitpic:     key, consumer_token, consumer_secret, oauth_token,
//                oauth_secret, message; file "media" (image/png, as the host wants it)
//   yfrog:       username, password, message; file "media" (image/png)
std::string imageHostUploadBody(ImageHost host, const ImageHostUploadFields& fields, std::string_view boundary,
                                std::string_view jpeg);

// Where the upload goes: MobyPicture "/", Twitpic "/1/upload.xml",
// yfrog "/api/upload" on the host's configured base.
std::string imageHostUploadUrl(ImageHost host, const ServiceConfig& config);

// POST of the body with Content-Type "multipart/form-data; boundary=...",
// time-out 30 seconds.
HttpRequest imageHostUploadRequest(ImageHost host, const ServiceConfig& config, std::string_view boundary,
                                   std::string body);

// The XPath the host's answer carries the address in: "//url",
// "/image/url", "//mediaurl".
std::string_view imageHostAddressQuery(ImageHost host);

// The photo's address from the host's XML answer: the first matched element
// with a non-empty text. Nothing for an answer without one (a refusal, an
// error page, an empty or malformed answer).
std::optional<std::string> imageHostPhotoAddress(ImageHost host, std::string_view answer);

} // namespace services
