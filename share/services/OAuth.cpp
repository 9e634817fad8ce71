#include "share/services/OAuth.h"

#include "share/services/Base64.h"
#include "share/services/Crypto.h"
#include "share/services/WebRequest.h"

#include <QByteArray>
#include <QUuid>

#include <algorithm>

namespace services {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::string oauthPercentEncode(std::string_view text)
{
    return percentEncode(text);
}

std::string oauthPercentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string oauthNonce()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
}

std::string oauthTimestamp(std::chrono::system_clock::time_point time)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
    return std::to_string(seconds);
}

std::string oauthNormalizedParameters(const OAuthParameters& parameters)
{
    std::vector<std::pair<std::string, std::string>> encoded;
    encoded.reserve(parameters.size());
    for (const auto& [name, value] : parameters)
        encoded.emplace_back(oauthPercentEncode(name), oauthPercentEncode(value));
    std::sort(encoded.begin(), encoded.end());
    std::string out;
    for (const auto& [name, value] : encoded) {
        if (!out.empty())
            out += '&';
        out += name;
        out += '=';
        out += value;
    }
    return out;
}

std::string oauthBaseStringUri(std::string_view url)
{
    const std::size_t end = url.find_first_of("?#");
    return std::string(url.substr(0, end));
}

std::string oauthSignatureBaseString(std::string_view method, std::string_view url,
                                     const OAuthParameters& parameters)
{
    std::string out(method);
    out += '&';
    out += oauthPercentEncode(oauthBaseStringUri(url));
    out += '&';
    out += oauthPercentEncode(oauthNormalizedParameters(parameters));
    return out;
}

std::string oauthSigningKey(std::string_view consumerSecret, std::string_view tokenSecret)
{
    return oauthPercentEncode(consumerSecret) + '&' + oauthPercentEncode(tokenSecret);
}

std::string oauthHmacSha1Signature(std::string_view baseString, std::string_view signingKey)
{
    const QByteArray key(signingKey.data(), qsizetype(signingKey.size()));
    const QByteArray data(baseString.data(), qsizetype(baseString.size()));
    return base64Encode(hmacSha1(key, data)).toStdString();
}

OAuthParameters parseOAuthAuthorizationHeader(std::string_view header)
{
    header = trimBlanks(header);
    constexpr std::string_view kScheme = "OAuth ";
    if (header.size() < kScheme.size() || header.substr(0, kScheme.size()) != kScheme)
        return {};
    header.remove_prefix(kScheme.size());

    OAuthParameters out;
    while (!header.empty()) {
        const std::size_t comma = header.find(',');
        const std::string_view item = trimBlanks(header.substr(0, comma));
        header = comma == std::string_view::npos ? std::string_view() : header.substr(comma + 1);
        const std::size_t equals = item.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view name = trimBlanks(item.substr(0, equals));
        std::string_view value = trimBlanks(item.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (name == "realm")
            continue;
        out.emplace_back(oauthPercentDecode(name), oauthPercentDecode(value));
    }
    return out;
}

OAuthParameters parseOAuthQuery(std::string_view query)
{
    OAuthParameters out;
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view item = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        if (item.empty())
            continue;
        const std::size_t equals = item.find('=');
        if (equals == std::string_view::npos)
            out.emplace_back(oauthPercentDecode(item), std::string());
        else
            out.emplace_back(oauthPercentDecode(item.substr(0, equals)), oauthPercentDecode(item.substr(equals + 1)));
    }
    return out;
}

} // namespace services
