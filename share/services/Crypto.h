// The digest, HMAC and cipher functions of the online services and the
// credential store, on OpenSSL's EVP interface. All bytes in, bytes out;
// texts are hashed as their UTF-8 bytes.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace services {

// MD5 of the bytes: the 16-byte digest.
QByteArray md5(const QByteArray& data);
// The same digest as 32 lower-case hexadecimal digits.
QString md5Hex(const QByteArray& data);
// MD5 of the UTF-8 bytes of a text, in lower-case hex: the form of
// Flickr's api_sig.
QString md5HexDigest(const QString& text);

// HMAC-SHA1 of data under key (any length, empty included): the raw
// 20-byte result. OAuth signs with the Base64 of this.
QByteArray hmacSha1(const QByteArray& key, const QByteArray& data);

enum class CipherOperation { Encrypt, Decrypt };
enum class CipherPadding { None, Pkcs7 };

constexpr qsizetype kAes128KeySize = 16;
constexpr qsizetype kAesBlockSize = 16;

// AES-128 in CBC mode. key and iv must be exactly 16 bytes; nothing is
// truncated or filled in. With CipherPadding::None the data must be a whole
// number of blocks. nullopt when the cipher reports an error: a wrong key
// or iv size, unaligned data without padding, or (decrypting with PKCS#7)
// a last block whose padding does not check, the usual sign of a wrong key
// or damaged data.
std::optional<QByteArray> aes128Cbc(CipherOperation operation, const QByteArray& data, const QByteArray& key,
                                    const QByteArray& iv, CipherPadding padding);

// The form the credential store uses: an all-zero iv and PKCS#7 padding, so
// the ciphertext is always 1 to 16 bytes longer than the plaintext.
std::optional<QByteArray> aes128CbcEncryptZeroIv(const QByteArray& plain, const QByteArray& key);
std::optional<QByteArray> aes128CbcDecryptZeroIv(const QByteArray& cipher, const QByteArray& key);

} // namespace services
