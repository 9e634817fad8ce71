#include "share/services/Crypto.h"

#include <gtest/gtest.h>

namespace {

using namespace services;

QByteArray hex(const char* digits)
{
    return QByteArray::fromHex(digits);
}

// RFC 1321, appendix A.5.
TEST(CryptoTest, Md5MatchesTheRfcSuite)
{
    struct Case {
        const char* text;
        const char* digest;
    };
    const Case cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(md5(QByteArray(c.text)), hex(c.digest));
        EXPECT_EQ(md5Hex(QByteArray(c.text)), QString::fromLatin1(c.digest));
        EXPECT_EQ(md5HexDigest(QString::fromLatin1(c.text)), QString::fromLatin1(c.digest));
    }
}

// A signed Flickr parameter may hold any text: it is hashed as UTF-8, not
// Latin-1 or UTF-16.
TEST(CryptoTest, Md5HexDigestHashesUtf8)
{
    EXPECT_EQ(md5HexDigest(QStringLiteral("é")), QStringLiteral("66ddcd97cfdeabb2f6fb8a999b4bc76f"));
    EXPECT_EQ(md5Hex(QByteArray("\0", 1)), QStringLiteral("93b885adfe0da089cdf634904fd59f71"));
}

// RFC 2202, section 3, and the empty key and text.
TEST(CryptoTest, HmacSha1MatchesTheRfcVectors)
{
    struct Case {
        QByteArray key;
        QByteArray data;
        const char* mac;
    };
    const Case cases[] = {
        {QByteArray(20, '\x0b'), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
        {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {QByteArray(20, '\xaa'), QByteArray(50, '\xdd'), "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
        {hex("0102030405060708090a0b0c0d0e0f10111213141516171819"), QByteArray(50, '\xcd'),
         "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
        {QByteArray(20, '\x0c'), "Test With Truncation", "4c1a03424b55e07fe7f27be1d58bb9324a9a5a04"},
        {QByteArray(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
         "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
        {QByteArray(80, '\xaa'), "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
         "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
        {QByteArray(), QByteArray(), "fbdb1d1b18aa6c08324b7d64b71fb76370690e1d"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mac);
        EXPECT_EQ(hmacSha1(c.key, c.data), hex(c.mac));
    }
}

// NIST SP 800-38A, F.2.1 and F.2.2: CBC-AES128 with an iv and no padding.
const QByteArray kNistKey = hex("2b7e151628aed2a6abf7158809cf4f3c");
const QByteArray kNistIv = hex("000102030405060708090a0b0c0d0e0f");
const QByteArray kNistPlain = hex("6bc1bee22e409f96e93d7e117393172a"
                                  "ae2d8a571e03ac9c9eb76fac45af8e51"
                                  "30c81c46a35ce411e5fbc1191a0a52ef"
                                  "f69f2445df4f9b17ad2b417be66c3710");
const QByteArray kNistCipher = hex("7649abac8119b246cee98e9b12e9197d"
                                   "5086cb9b507219ee95db113a917678b2"
                                   "73bed6b8e3c1743b7116e69e22229516"
                                   "3ff1caa1681fac09120eca307586e1a7");

TEST(CryptoTest, CbcMatchesTheNistVectors)
{
    EXPECT_EQ(aes128Cbc(CipherOperation::Encrypt, kNistPlain, kNistKey, kNistIv, CipherPadding::None), kNistCipher);
    EXPECT_EQ(aes128Cbc(CipherOperation::Decrypt, kNistCipher, kNistKey, kNistIv, CipherPadding::None), kNistPlain);
}

// The store's form: zero iv, PKCS#7. With a zero iv the first block is the
// plain AES of the first plaintext block (NIST F.1.1, ECB-AES128); the
// expected texts come from an independent implementation.
TEST(CryptoTest, ZeroIvPaddedFormAddsOneToSixteenBytes)
{
    struct Case {
        QByteArray plain;
        const char* cipher;
    };
    const Case cases[] = {
        {QByteArray(), "a254be88e037ddd9d79fb6411c3f9df8"},
        {"a", "11b03ff3a75110a6779231ffca7f6d75"},
        {QByteArray(15, 'a'), "7254dc84ea3c80719fb3e685d0d0b55c"},
        {QByteArray(16, 'a'), "037f51088c32de39d6a5821315187bc40c6f8676d00a5453a87e3aefc4cb3d7f"},
        {kNistPlain, "3ad77bb40d7a3660a89ecaf32466ef97b148c17f309ee692287ae57cf12add49"
                     "c93d11bfaf08c5dc4d90b37b4dee002ba7356e1207bb406639e5e5ceb9a9ed93"
                     "da089d0f8ca5d2d60e505eb6a4f6bf07"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plain.size());
        EXPECT_EQ(aes128CbcEncryptZeroIv(c.plain, kNistKey), hex(c.cipher));
        EXPECT_EQ(aes128CbcDecryptZeroIv(hex(c.cipher), kNistKey), c.plain);
    }
}

TEST(CryptoTest, CipherRefusesWhatItCannotDo)
{
    const QByteArray zeroIv(16, '\0');
    const QByteArray good = *aes128CbcEncryptZeroIv("secret", kNistKey);
    QByteArray badPadding = good;
    badPadding[15] = char(badPadding[15] ^ 1);
    struct Case {
        const char* what;
        CipherOperation operation;
        QByteArray data;
        QByteArray key;
        QByteArray iv;
        CipherPadding padding;
    };
    const Case cases[] = {
        {"short key", CipherOperation::Encrypt, "x", kNistKey.left(15), zeroIv, CipherPadding::Pkcs7},
        {"long key", CipherOperation::Encrypt, "x", kNistKey + "x", zeroIv, CipherPadding::Pkcs7},
        {"empty key", CipherOperation::Decrypt, kNistCipher, QByteArray(), zeroIv, CipherPadding::None},
        {"short iv", CipherOperation::Encrypt, "x", kNistKey, zeroIv.left(8), CipherPadding::Pkcs7},
        {"unaligned, no padding", CipherOperation::Encrypt, "x", kNistKey, zeroIv, CipherPadding::None},
        {"unaligned cipher text", CipherOperation::Decrypt, kNistCipher.left(20), kNistKey, zeroIv,
         CipherPadding::Pkcs7},
        {"empty cipher text", CipherOperation::Decrypt, QByteArray(), kNistKey, zeroIv, CipherPadding::Pkcs7},
        {"padding damaged", CipherOperation::Decrypt, badPadding, kNistKey, zeroIv, CipherPadding::Pkcs7},
        {"wrong key", CipherOperation::Decrypt, good, hex("000102030405060708090a0b0c0d0e0f"), zeroIv,
         CipherPadding::Pkcs7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(aes128Cbc(c.operation, c.data, c.key, c.iv, c.padding), std::nullopt);
    }
}

} // namespace
