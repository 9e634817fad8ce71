#include "share/services/XmlSupport.h"

#include <libxml/parser.h>

#include <mutex>

namespace services {

namespace {

bool isSpaceCodePoint(char32_t c)
{
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// Length of the UTF-8 sequence at the start of text when it encodes a space,
// else 0.
size_t leadingSpaceLength(std::string_view text)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    if (text.empty())
        return 0;
    const unsigned char first = byte(0);
    if (first < 0x80)
        return isSpaceCodePoint(first) ? 1 : 0;
    size_t length = 0;
    char32_t c = 0;
    if ((first & 0xE0) == 0xC0) {
        length = 2;
        c = first & 0x1F;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3;
        c = first & 0x0F;
    } else {
        return 0;  // no space needs four bytes
    }
    if (text.size() < length)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (byte(i) & 0x3F);
    }
    return isSpaceCodePoint(c) ? length : 0;
}

// Length of the space sequence that ends text, else 0.
size_t trailingSpaceLength(std::string_view text)
{
    for (size_t length = 1; length <= 3 && length <= text.size(); ++length) {
        const std::string_view tail = text.substr(text.size() - length);
        if (leadingSpaceLength(tail) == length)
            return length;
    }
    return 0;
}

} // namespace

void initialiseXmlLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

std::string_view trimXmlWhiteSpace(std::string_view text)
{
    while (size_t length = leadingSpaceLength(text))
        text.remove_prefix(length);
    while (size_t length = trailingSpaceLength(text))
        text.remove_suffix(length);
    return text;
}

} // namespace services
