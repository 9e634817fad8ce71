#include "share/services/WebRequest.h"

#include <array>
#include <utility>

namespace services {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// The encoder replaces the characters one after the other, each step working
// on the previous step's result. No replacement text contains a character
// that a later step replaces ("%", digits and capitals only; the blank's "+"
// comes after the "+" step), so one pass over the text gives the same result.
struct Replacement {
    char from;
    std::string_view to;
};

constexpr std::array<Replacement, 19> kFormReplacements{{
    {';', "%3B"}, {'/', "%2F"}, {'?', "%3F"}, {':', "%3A"}, {'@', "%40"}, {'&', "%26"}, {'=', "%3D"},
    {'+', "%2B"}, {'$', "%24"}, {',', "%2C"}, {'[', "%5B"}, {']', "%5D"}, {'#', "%23"}, {'!', "%21"},
    {'\'', "%27"}, {'(', "%28"}, {')', "%29"}, {'*', "%2A"}, {' ', "+"},
}};

std::string encode(std::string_view text, bool encodeBar)
{
    std::string result;
    result.reserve(text.size() + text.size() / 4);
    for (const char c : text) {
        if (encodeBar && c == '|') {
            result += "%7C";
            continue;
        }
        bool replaced = false;
        for (const Replacement& replacement : kFormReplacements) {
            if (replacement.from == c) {
                result += replacement.to;
                replaced = true;
                break;
            }
        }
        if (!replaced)
            result += c;
    }
    return result;
}

} // namespace

std::string multipartFormDataContentType(std::string_view boundary)
{
    return "multipart/form-data; boundary=" + std::string(boundary);
}

std::string multipartRelatedContentType(std::string_view boundary)
{
    return "multipart/related; boundary=" + std::string(boundary);
}

std::string multipartBoundaryLine(std::string_view boundary)
{
    std::string line = "--";
    line += boundary;
    line += kCrLf;
    return line;
}

MultipartBody::MultipartBody(std::string boundary) : m_boundary(std::move(boundary)) {}

MultipartBody& MultipartBody::addText(std::string_view name, std::string_view value)
{
    m_body += multipartBoundaryLine(m_boundary);
    m_body += "Content-Disposition: form-data; name=\"";
    m_body += name;
    m_body += "\"\r\n\r\n";
    m_body += value;
    m_body += kCrLf;
    return *this;
}

MultipartBody& MultipartBody::addFile(std::string_view name, std::string_view fileName, std::string_view contentType,
                                      std::string_view bytes)
{
    m_body += multipartBoundaryLine(m_boundary);
    m_body += "Content-Disposition: form-data; name=\"";
    m_body += name;
    m_body += "\"; filename=\"";
    m_body += fileName;
    m_body += "\"\r\n";
    m_body += "Content-Type: ";
    m_body += contentType;
    m_body += kCrLf;
    m_body += "Content-Transfer-Encoding: binary\r\n\r\n";
    m_body += bytes;
    m_body += kCrLf;
    return *this;
}

std::string MultipartBody::finish()
{
    m_body += "--";
    m_body += m_boundary;
    m_body += "--\r\n";
    std::string body = std::move(m_body);
    m_body.clear();
    return body;
}

std::string formUrlEncode(std::string_view text)
{
    return encode(text, false);
}

std::string facebookFormUrlEncode(std::string_view text)
{
    return encode(text, true);
}

std::string percentEncode(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const unsigned char c : text) {
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

} // namespace services
