// Small helpers the XML readers share.
#pragma once

#include <string_view>

namespace services {

// Sets libxml2 up for use from several threads; cheap after the first call.
void initialiseXmlLibrary();

// The text without leading and trailing white space and line breaks: ASCII
// blanks, tabs and CR/LF/VT/FF, and the Unicode space and line separators
// (NBSP, NEL, U+1680, U+2000 to U+200A, U+2028, U+2029, U+202F, U+205F,
// U+3000) in UTF-8.
std::string_view trimXmlWhiteSpace(std::string_view text);

} // namespace services
