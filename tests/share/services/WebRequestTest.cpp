#include "share/services/WebRequest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;
using services::facebookFormUrlEncode;
using services::formUrlEncode;
using services::MultipartBody;

TEST(MultipartBody, TextAndFilePartsAndCloseDelimiterByteForByte)
{
    const std::string jpeg("\xFF\xD8\x00\r\n--B\xFF\xD9", 9);  // binary, with a NUL and a fake boundary inside
    MultipartBody body("Larch_Wise_Boundary");
    body.addText("title", "Gr\xC3\xBC\xC3\x9F"
                          "e & \"mehr\"")
        .addText("tags", "")
        .addFile("photo", "Nimbalight.jpg", "image/jpeg", jpeg);

    const std::string expected = "--Larch_Wise_Boundary\r\n"
                                 "Content-Disposition: form-data; name=\"title\"\r\n\r\n"
                                 "Gr\xC3\xBC\xC3\x9F"
                                 "e & \"mehr\"\r\n"
                                 "--Larch_Wise_Boundary\r\n"
                                 "Content-Disposition: form-data; name=\"tags\"\r\n\r\n"
                                 "\r\n"
                                 "--Larch_Wise_Boundary\r\n"
                                 "Content-Disposition: form-data; name=\"photo\"; filename=\"Nimbalight.jpg\"\r\n"
                                 "Content-Type: image/jpeg\r\n"
                                 "Content-Transfer-Encoding: binary\r\n\r\n"s +
                                 jpeg +
                                 "\r\n"
                                 "--Larch_Wise_Boundary--\r\n";
    EXPECT_EQ(body.finish(), expected);
}

TEST(MultipartBody, EmptyBodyIsTheCloseDelimiterAndFinishEmptiesTheBuilder)
{
    MultipartBody body("B");
    body.addText("k", "v");
    EXPECT_EQ(body.finish(), "--B\r\nContent-Disposition: form-data; name=\"k\"\r\n\r\nv\r\n--B--\r\n");
    EXPECT_EQ(body.finish(), "--B--\r\n");
}

TEST(MultipartBody, HeaderHelpers)
{
    EXPECT_EQ(services::multipartFormDataContentType("Larch_Wise_Boundary"),
              "multipart/form-data; boundary=Larch_Wise_Boundary");
    EXPECT_EQ(services::multipartRelatedContentType("X"), "multipart/related; boundary=X");
    EXPECT_EQ(services::multipartBoundaryLine("X"), "--X\r\n");
}

struct EncoderCase {
    const char* input;
    const char* form;
    const char* facebook;
};

class FormUrlEncoder : public testing::TestWithParam<EncoderCase> {};

TEST_P(FormUrlEncoder, EncodesLikeTheReplacementTable)
{
    EXPECT_EQ(formUrlEncode(GetParam().input), GetParam().form);
    EXPECT_EQ(facebookFormUrlEncode(GetParam().input), GetParam().facebook);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormUrlEncoder,
    testing::Values(
        // Every character of the table, in its order.
        EncoderCase{";/?:@&=+$,[]#!'()* ", "%3B%2F%3F%3A%40%26%3D%2B%24%2C%5B%5D%23%21%27%28%29%2A+",
                    "%3B%2F%3F%3A%40%26%3D%2B%24%2C%5B%5D%23%21%27%28%29%2A+"},
        // A blank becomes "+", a "+" of the input "%2B": the two stay apart.
        EncoderCase{"a b+c", "a+b%2Bc", "a+b%2Bc"},
        // An existing escape and a lone "%" pass unchanged.
        EncoderCase{"%41%", "%41%", "%41%"},
        // "|" only in the Facebook copy.
        EncoderCase{"123|abc-DEF", "123|abc-DEF", "123%7Cabc-DEF"},
        // Unreserved and other ASCII characters, and non-ASCII bytes, stay.
        EncoderCase{"AZaz09-._~\"<>\\^`{}", "AZaz09-._~\"<>\\^`{}", "AZaz09-._~\"<>\\^`{}"},
        EncoderCase{"\xC3\xA9t\xC3\xA9 \xE2\x82\xAC", "\xC3\xA9t\xC3\xA9+\xE2\x82\xAC",
                    "\xC3\xA9t\xC3\xA9+\xE2\x82\xAC"},
        // A UUID nonce is left as it is.
        EncoderCase{"5B2E8F0A-1C3D-4E5F-8A9B-0C1D2E3F4A5B", "5B2E8F0A-1C3D-4E5F-8A9B-0C1D2E3F4A5B",
                    "5B2E8F0A-1C3D-4E5F-8A9B-0C1D2E3F4A5B"},
        // The Base64 signature characters.
        EncoderCase{"q+/w==", "q%2B%2Fw%3D%3D", "q%2B%2Fw%3D%3D"}, EncoderCase{"", "", ""}));

} // namespace
