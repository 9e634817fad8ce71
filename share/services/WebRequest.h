// Pieces every service protocol builds its requests from: the multipart body
// layout and the form-style URL encoders.
#pragma once

#include <string>
#include <string_view>

namespace services {

// "multipart/form-data; boundary=<boundary>", the Content-Type of uploads.
std::string multipartFormDataContentType(std::string_view boundary);
// "multipart/related; boundary=<boundary>", the Content-Type of the Picasa upload.
std::string multipartRelatedContentType(std::string_view boundary);
// "--<boundary>\r\n", the opening line of every part (and the whole body of a
// Flickr REST call).
std::string multipartBoundaryLine(std::string_view boundary);

// Builds a multipart/form-data body part by part:
//
//   text part:  --B CRLF
//               Content-Disposition: form-data; name="NAME" CRLF CRLF
//               VALUE CRLF
//   file part:  --B CRLF
//               Content-Disposition: form-data; name="NAME"; filename="FILE" CRLF
//               Content-Type: TYPE CRLF
//               Content-Transfer-Encoding: binary CRLF CRLF
//               BYTES CRLF
//   close:      --B-- CRLF
//
// Names, file names and values are written as given (UTF-8), nothing escaped.
class MultipartBody {
public:
    explicit MultipartBody(std::string boundary);

    MultipartBody& addText(std::string_view name, std::string_view value);
    MultipartBody& addFile(std::string_view name, std::string_view fileName, std::string_view contentType,
                           std::string_view bytes);
    // Appends the close delimiter and hands the body over; the builder is
    // empty afterwards.
    std::string finish();

    const std::string& boundary() const { return m_boundary; }

private:
    std::string m_boundary;
    std::string m_body;
};

// The form-style encoder of query values: replaces each of
//   ; / ? : @ & = + $ , [ ] # ! ' ( ) *
// by %3B %2F %3F %3A %40 %26 %3D %2B %24 %2C %5B %5D %23 %21 %27 %28 %29 %2A
// and a blank by "+". Everything else, "%" and non-ASCII bytes included, stays
// as it is (so "%41" passes unchanged and is not the same as percent-encoding).
std::string formUrlEncode(std::string_view text);

// Strict percent-encoding: every byte but the unreserved A-Z a-z 0-9 - . _ ~
// becomes %XX (upper-case hex). A value from an answer encoded so can never
// leave its path segment or query value; it is also OAuth's encoding.
std::string percentEncode(std::string_view text);

// The Facebook copy of the encoder: the same, and "|" becomes "%7C" (access
// tokens carry one).
std::string facebookFormUrlEncode(std::string_view text);

} // namespace services
