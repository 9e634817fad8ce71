// Base64 as the online services and the credential store use it: the
// standard alphabet (A-Z, a-z, 0-9, "+", "/") with "=" padding, no line
// breaks.
#pragma once

#include <QByteArray>

#include <optional>

namespace services {

// The bytes as Base64 text on one line; an empty input gives an empty text.
QByteArray base64Encode(const QByteArray& data);

// Reads exactly the form base64Encode writes: a length that is a multiple
// of 4, only alphabet characters, at most two "=" and only at the very end,
// and zero bits in the unused part of the last character. Anything else
// (line breaks, blanks, the URL-safe alphabet, missing padding, a truncated
// text) gives nullopt rather than a guess at the bytes. An empty text
// decodes to empty bytes.
std::optional<QByteArray> base64Decode(const QByteArray& text);

} // namespace services
