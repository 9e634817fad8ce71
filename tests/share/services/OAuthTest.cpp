#include "share/services/OAuth.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace {

using namespace services;

TEST(OAuthPercentEncode, EncodesEveryByteOutsideTheUnreservedSet)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"", ""},
        {"AZaz09-._~", "AZaz09-._~"},
        {" ", "%20"},
        {"+", "%2B"},
        {"%", "%25"},
        {"%41", "%2541"},
        {"&=?/:@#", "%26%3D%3F%2F%3A%40%23"},
        {"!*'();$,[]", "%21%2A%27%28%29%3B%24%2C%5B%5D"},
        {"\"<>\\^`{|}", "%22%3C%3E%5C%5E%60%7B%7C%7D"},
        {"\r\n\t", "%0D%0A%09"},
        {std::string("\0", 1), "%00"},
        {"\x7f", "%7F"},
        {"\xc3\xa9", "%C3%A9"},              // é
        {"\xe2\x82\xac", "%E2%82%AC"},       // €
        {"\xf0\x9f\x98\x80", "%F0%9F%98%80"}, // an emoji, four bytes
        {"Ladies + Gentlemen", "Ladies%20%2B%20Gentlemen"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(oauthPercentEncode(in), out) << in;
        EXPECT_EQ(oauthPercentDecode(out), in) << out;
    }
}

TEST(OAuthPercentDecode, KeepsMalformedEscapes)
{
    EXPECT_EQ(oauthPercentDecode("%"), "%");
    EXPECT_EQ(oauthPercentDecode("%4"), "%4");
    EXPECT_EQ(oauthPercentDecode("%G1"), "%G1");
    EXPECT_EQ(oauthPercentDecode("a+b"), "a+b");
    EXPECT_EQ(oauthPercentDecode("%2b%2B"), "++");
}

TEST(OAuthNonce, IsAFreshUpperCaseUuid)
{
    const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        const std::string nonce = oauthNonce();
        EXPECT_TRUE(std::regex_match(nonce, form)) << nonce;
        EXPECT_EQ(oauthPercentEncode(nonce), nonce);
        seen.insert(nonce);
    }
    EXPECT_EQ(seen.size(), 50u);
}

TEST(OAuthTimestamp, WholeSecondsSinceTheEpoch)
{
    using namespace std::chrono;
    EXPECT_EQ(oauthTimestamp(system_clock::time_point{}), "0");
    EXPECT_EQ(oauthTimestamp(system_clock::time_point{seconds(137131201) + milliseconds(999)}), "137131201");
    const OAuthClock fixed{[] { return std::string("N"); }, [] { return system_clock::time_point{seconds(42)}; }};
    EXPECT_EQ(fixed.makeNonce(), "N");
    EXPECT_EQ(fixed.makeTimestamp(), "42");
    const OAuthClock real;
    EXPECT_EQ(real.makeNonce().size(), 36u);
    EXPECT_FALSE(real.makeTimestamp().empty());
}

// RFC 5849 section 3.4.1: the request
//   POST /request?b5=%3D%253D&a3=a&c%40=&a2=r%20b  (body c2&a3=2+q)
// with its OAuth parameters, decoded.
const OAuthParameters kRfcSection341Parameters{
    {"b5", "=%3D"},
    {"a3", "a"},
    {"c@", ""},
    {"a2", "r b"},
    {"oauth_consumer_key", "9djdj82h48djs9d2"},
    {"oauth_token", "kkk9d7dh3k39sjv7"},
    {"oauth_signature_method", "HMAC-SHA1"},
    {"oauth_timestamp", "137131201"},
    {"oauth_nonce", "7d8f3e4a"},
    {"c2", ""},
    {"a3", "2 q"},
};

TEST(OAuthSignature, NormalizesParametersAsRfc5849Section3413)
{
    EXPECT_EQ(oauthNormalizedParameters(kRfcSection341Parameters),
              "a2=r%20b&a3=2%20q&a3=a&b5=%3D%253D&c%40=&c2=&oauth_consumer_key=9djdj82h48djs9d2"
              "&oauth_nonce=7d8f3e4a&oauth_signature_method=HMAC-SHA1&oauth_timestamp=137131201"
              "&oauth_token=kkk9d7dh3k39sjv7");
}

TEST(OAuthSignature, BaseStringOfRfc5849Section3411)
{
    EXPECT_EQ(oauthSignatureBaseString("POST", "http://example.com/request?b5=%3D%253D&a3=a&c%40=&a2=r%20b",
                                       kRfcSection341Parameters),
              "POST&http%3A%2F%2Fexample.com%2Frequest&a2%3Dr%2520b%26a3%3D2%2520q%26a3%3Da%26b5%3D%253D%25253D"
              "%26c%2540%3D%26c2%3D%26oauth_consumer_key%3D9djdj82h48djs9d2%26oauth_nonce%3D7d8f3e4a"
              "%26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp%3D137131201%26oauth_token%3Dkkk9d7dh3k39sjv7");
    EXPECT_EQ(oauthSigningKey("j49sk3j29djd", "dh893hdasih9"), "j49sk3j29djd&dh893hdasih9");
}

TEST(OAuthSignature, PhotoRequestOfRfc5849Section12)
{
    const OAuthParameters parameters{
        {"file", "vacation.jpg"},
        {"size", "original"},
        {"oauth_consumer_key", "dpf43f3p2l4k3l03"},
        {"oauth_token", "nnch734d00sl2jdk"},
        {"oauth_signature_method", "HMAC-SHA1"},
        {"oauth_timestamp", "137131202"},
        {"oauth_nonce", "chapoH"},
    };
    const std::string base =
        oauthSignatureBaseString("GET", "http://photos.example.net/photos?file=vacation.jpg&size=original", parameters);
    EXPECT_EQ(base, "GET&http%3A%2F%2Fphotos.example.net%2Fphotos&file%3Dvacation.jpg%26oauth_consumer_key%3D"
                    "dpf43f3p2l4k3l03%26oauth_nonce%3DchapoH%26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp"
                    "%3D137131202%26oauth_token%3Dnnch734d00sl2jdk%26size%3Doriginal");
    const std::string signature =
        oauthHmacSha1Signature(base, oauthSigningKey("kd94hf93k423kf44", "pfkkdhi9sl3r4s00"));
    EXPECT_EQ(signature, "MdpQcU8iPSUjWoN/UDMsK2sui9I=");
    // As the RFC's Authorization header carries it.
    EXPECT_EQ(oauthPercentEncode(signature), "MdpQcU8iPSUjWoN%2FUDMsK2sui9I%3D");
}

// The worked example of the service's own signing guide: a status update
// whose text needs blanks, "+", "," and "!" encoded.
TEST(OAuthSignature, StatusUpdateOfTheServicesSigningGuide)
{
    const OAuthParameters parameters{
        {"status", "Hello Ladies + Gentlemen, a signed OAuth request!"},
        {"include_entities", "true"},
        {"oauth_consumer_key", "xvz1evFS4wEEPTGEFPHBog"},
        {"oauth_nonce", "kYjzVBB8Y0ZFabxSWbWovY3uYSQ2pTgmZeNu2VS4cg"},
        {"oauth_signature_method", "HMAC-SHA1"},
        {"oauth_timestamp", "1318622958"},
        {"oauth_token", "370773112-GmHxMAgYyLbNEtIKZeRNFsMKPR9EyMZeS9weJAEb"},
        {"oauth_version", "1.0"},
    };
    const std::string base = oauthSignatureBaseString(
        "POST", "https://api.twitter.com/1.1/statuses/update.json?include_entities=true", parameters);
    EXPECT_EQ(base, "POST&https%3A%2F%2Fapi.twitter.com%2F1.1%2Fstatuses%2Fupdate.json&include_entities%3Dtrue"
                    "%26oauth_consumer_key%3Dxvz1evFS4wEEPTGEFPHBog%26oauth_nonce%3DkYjzVBB8Y0ZFabxSWbWovY3uYSQ2pTgmZeNu2VS4cg"
                    "%26oauth_signature_method%3DHMAC-SHA1%26oauth_timestamp%3D1318622958%26oauth_token%3D370773112-"
                    "GmHxMAgYyLbNEtIKZeRNFsMKPR9EyMZeS9weJAEb%26oauth_version%3D1.0%26status%3DHello%2520Ladies%2520%252B"
                    "%2520Gentlemen%252C%2520a%2520signed%2520OAuth%2520request%2521");
    EXPECT_EQ(oauthHmacSha1Signature(base, oauthSigningKey("kAcSOqF21Fu85e7zjz7ZN2U4ZRhfV3WpwPAoE3Z7kBw",
                                                           "LswwdoUaIvS8ltyTt5jkRh4J50vUPVVHtR2YPi5kE")),
              "hCtSmYh+iHYCEqBWrE7C7hYmtUk=");
}

TEST(OAuthSignature, KeysAndSecretsAreEncodedIntoTheSigningKey)
{
    EXPECT_EQ(oauthSigningKey("", ""), "&");
    EXPECT_EQ(oauthSigningKey("a b", "c&d"), "a%20b&c%26d");
    EXPECT_EQ(oauthSigningKey("secret", ""), "secret&");
}

TEST(OAuthSignature, BaseStringUriDropsQueryAndFragment)
{
    EXPECT_EQ(oauthBaseStringUri("http://h:8080/p/q?x=1#f"), "http://h:8080/p/q");
    EXPECT_EQ(oauthBaseStringUri("http://h/p#f"), "http://h/p");
    EXPECT_EQ(oauthBaseStringUri("http://h/p"), "http://h/p");
}

TEST(OAuthHeader, ParsesTheRfcHeaderBack)
{
    const OAuthParameters parsed = parseOAuthAuthorizationHeader(
        "OAuth realm=\"Photos\", oauth_consumer_key=\"dpf43f3p2l4k3l03\",oauth_token=\"nnch734d00sl2jdk\", "
        "oauth_signature=\"MdpQcU8iPSUjWoN%2FUDMsK2sui9I%3D\"");
    const OAuthParameters expected{{"oauth_consumer_key", "dpf43f3p2l4k3l03"},
                                   {"oauth_token", "nnch734d00sl2jdk"},
                                   {"oauth_signature", "MdpQcU8iPSUjWoN/UDMsK2sui9I="}};
    EXPECT_EQ(parsed, expected);
    EXPECT_TRUE(parseOAuthAuthorizationHeader("Basic abc").empty());
    EXPECT_TRUE(parseOAuthAuthorizationHeader("").empty());
}

TEST(OAuthQuery, ParsesEncodedPairs)
{
    const OAuthParameters expected{{"status", "a b&c"}, {"flag", ""}, {"x", "%"}};
    EXPECT_EQ(parseOAuthQuery("status=a%20b%26c&flag&&x=%25"), expected);
    EXPECT_TRUE(parseOAuthQuery("").empty());
}

} // namespace
