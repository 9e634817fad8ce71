#include "share/services/Base64.h"

#include <gtest/gtest.h>

namespace {

using services::base64Decode;
using services::base64Encode;

struct Vector {
    const char* bytes;
    const char* text;
};

// RFC 4648, section 10.
constexpr Vector kRfc4648[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
};

TEST(Base64Test, EncodesAndDecodesTheRfcVectors)
{
    for (const Vector& v : kRfc4648) {
        SCOPED_TRACE(v.text);
        EXPECT_EQ(base64Encode(QByteArray(v.bytes)), QByteArray(v.text));
        EXPECT_EQ(base64Decode(QByteArray(v.text)), QByteArray(v.bytes));
    }
}

// Every byte value in every position of a group, and the two "+" and "/"
// characters that text-only vectors never reach.
TEST(Base64Test, RoundTripsEveryByteValueAtEveryLength)
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    for (qsizetype length = 0; length <= 6; ++length) {
        for (qsizetype start = 0; start + length <= all.size(); ++start) {
            const QByteArray data = all.mid(start, length);
            const QByteArray text = base64Encode(data);
            ASSERT_EQ(text.size(), (length + 2) / 3 * 4);
            ASSERT_EQ(base64Decode(text), data) << text.constData();
        }
    }
    EXPECT_EQ(base64Encode(QByteArray("\xfb\xff\xbf", 3)), QByteArray("+/+/"));
    EXPECT_EQ(base64Decode("+/+/"), QByteArray("\xfb\xff\xbf", 3));
}

TEST(Base64Test, LongInputStaysOnOneLine)
{
    const QByteArray text = base64Encode(QByteArray(1000, 'x'));
    EXPECT_EQ(text.size(), 1336);
    EXPECT_FALSE(text.contains('\n'));
    EXPECT_FALSE(text.contains('\r'));
}

// Anything but the encoder's own form is refused, not decoded to a guess.
TEST(Base64Test, RefusesTextTheEncoderNeverWrites)
{
    const char* const invalid[] = {
        "Zg",          // padding missing
        "Zg=",         // length not a multiple of 4
        "Zm9vY",       // truncated
        "Zm9v\nYmFy",  // line break
        "Zm9v YmFy",   // blank
        "Zm-_",        // URL-safe alphabet
        "Zm9v*mFy",    // not in any alphabet
        "Z===",        // three padding characters
        "====",        // padding only
        "Zg==Zm8=",    // padding inside the text
        "Zm=v",        // padding before a digit
        "Zh==",        // unused bits set ("Zg==" is the form)
        "Zm9=",        // unused bits set ("Zm8=" is the form)
    };
    for (const char* text : invalid) {
        SCOPED_TRACE(text);
        EXPECT_EQ(base64Decode(QByteArray(text)), std::nullopt);
    }
    EXPECT_EQ(base64Decode(QByteArray("Zm9v\0mFy", 8)), std::nullopt);
}

} // namespace
