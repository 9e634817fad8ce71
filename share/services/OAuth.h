// OAuth 1.0 request signing with HMAC-SHA1 (RFC 5849), as the Twitter
// requests use it: percent-encoding, nonce and timestamp, the signature base
// string, the signing key and the signature itself.
//
// Everything here is a pure function of its arguments except oauthNonce()
// and the clock; OAuthClock lets tests fix both.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace services {

// RFC 5849 section 3.6: the UTF-8 bytes of the text, every byte outside
// A-Z, a-z, 0-9, "-", ".", "_" and "~" written as "%" and two upper-case
// hexadecimal digits. An empty text gives an empty text.
std::string oauthPercentEncode(std::string_view text);

// The inverse of oauthPercentEncode for reading received parameters: "%XX"
// becomes its byte; "+" stays "+" (OAuth never writes a blank as "+").
// Malformed escapes are kept as they are.
std::string oauthPercentDecode(std::string_view text);

// A fresh UUID in its 36-character upper-case form (8-4-4-4-12 hexadecimal
// digits joined by hyphens); it needs no escaping anywhere.
std::string oauthNonce();

// Whole seconds since 1970-01-01 UTC, in decimal.
std::string oauthTimestamp(std::chrono::system_clock::time_point time);

// Where the nonce and the timestamp of a signed request come from. The
// defaults are oauthNonce() and the system clock.
struct OAuthClock {
    std::function<std::string()> nonce;
    std::function<std::chrono::system_clock::time_point()> now;

    std::string makeNonce() const { return nonce ? nonce() : oauthNonce(); }
    std::string makeTimestamp() const
    {
        return oauthTimestamp(now ? now() : std::chrono::system_clock::now());
    }
};

// Name/value pairs as they are meant (not yet encoded). Order does not
// matter; names may repeat.
using OAuthParameters = std::vector<std::pair<std::string, std::string>>;

// RFC 5849 section 3.4.1.3.2: every name and value percent-encoded, the
// pairs sorted by encoded name and then encoded value, each written
// "name=value" and joined with "&".
std::string oauthNormalizedParameters(const OAuthParameters& parameters);

// RFC 5849 section 3.4.1.2 as far as the requests here need it: the URL
// without its query and fragment.
std::string oauthBaseStringUri(std::string_view url);

// RFC 5849 section 3.4.1.1: METHOD "&" encoded base URI "&" encoded
// normalized parameters. url may carry a query; it is left out of the URI
// (the caller lists the query's parameters among the parameters).
std::string oauthSignatureBaseString(std::string_view method, std::string_view url,
                                     const OAuthParameters& parameters);

// RFC 5849 section 3.4.2: encoded consumer secret "&" encoded token secret
// (the token secret empty while there is no token).
std::string oauthSigningKey(std::string_view consumerSecret, std::string_view tokenSecret);

// HMAC-SHA1 of the base string's UTF-8 bytes under the key's UTF-8 bytes,
// as Base64 (28 characters ending in "=").
std::string oauthHmacSha1Signature(std::string_view baseString, std::string_view signingKey);

// Reads the parameters of an "Authorization: OAuth ..." header back into
// decoded pairs (the realm left out); nothing when the header is not OAuth.
// Used to check received requests.
OAuthParameters parseOAuthAuthorizationHeader(std::string_view header);

// Reads "a=b&c=d" (a query or a form body, OAuth-encoded) into decoded
// pairs; a piece without "=" gives a pair with an empty value.
OAuthParameters parseOAuthQuery(std::string_view query);

} // namespace services
