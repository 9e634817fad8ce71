#include "share/services/Crypto.h"

#include <openssl/evp.h>

#include <climits>
#include <memory>

namespace services {

namespace {

// OpenSSL treats a null key or data pointer as "none given" even with a
// length of 0; an empty QByteArray must still pass a real address.
const unsigned char* bytes(const QByteArray& data)
{
    static const unsigned char kEmpty = 0;
    return data.isEmpty() ? &kEmpty : reinterpret_cast<const unsigned char*>(data.constData());
}

struct CipherContextDeleter {
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};

} // namespace

QByteArray md5(const QByteArray& data)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes(data), size_t(data.size()), digest, &length, EVP_md5(), nullptr) != 1)
        return {};
    return QByteArray(reinterpret_cast<const char*>(digest), int(length));
}

QString md5Hex(const QByteArray& data)
{
    return QString::fromLatin1(md5(data).toHex());
}

QString md5HexDigest(const QString& text)
{
    return md5Hex(text.toUtf8());
}

QByteArray hmacSha1(const QByteArray& key, const QByteArray& data)
{
    unsigned char mac[EVP_MAX_MD_SIZE];
    size_t length = 0;
    if (!EVP_Q_mac(nullptr, "HMAC", nullptr, "SHA1", nullptr, bytes(key), size_t(key.size()), bytes(data),
                   size_t(data.size()), mac, sizeof mac, &length))
        return {};
    return QByteArray(reinterpret_cast<const char*>(mac), qsizetype(length));
}

std::optional<QByteArray> aes128Cbc(CipherOperation operation, const QByteArray& data, const QByteArray& key,
                                    const QByteArray& iv, CipherPadding padding)
{
    if (key.size() != kAes128KeySize || iv.size() != kAesBlockSize)
        return std::nullopt;
    // The EVP interface counts in int.
    if (data.size() > qsizetype(INT_MAX) - kAesBlockSize)
        return std::nullopt;

    std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter> ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        return std::nullopt;
    const int encrypt = operation == CipherOperation::Encrypt ? 1 : 0;
    if (EVP_CipherInit_ex2(ctx.get(), EVP_aes_128_cbc(), bytes(key), bytes(iv), encrypt, nullptr) != 1)
        return std::nullopt;
    if (EVP_CIPHER_CTX_set_padding(ctx.get(), padding == CipherPadding::Pkcs7 ? 1 : 0) != 1)
        return std::nullopt;

    QByteArray out(data.size() + kAesBlockSize, Qt::Uninitialized);
    auto* o = reinterpret_cast<unsigned char*>(out.data());
    int written = 0;
    if (EVP_CipherUpdate(ctx.get(), o, &written, bytes(data), int(data.size())) != 1)
        return std::nullopt;
    int last = 0;
    if (EVP_CipherFinal_ex(ctx.get(), o + written, &last) != 1)
        return std::nullopt;
    out.truncate(written + last);
    return out;
}

std::optional<QByteArray> aes128CbcEncryptZeroIv(const QByteArray& plain, const QByteArray& key)
{
    return aes128Cbc(CipherOperation::Encrypt, plain, key, QByteArray(kAesBlockSize, '\0'), CipherPadding::Pkcs7);
}

std::optional<QByteArray> aes128CbcDecryptZeroIv(const QByteArray& cipher, const QByteArray& key)
{
    return aes128Cbc(CipherOperation::Decrypt, cipher, key, QByteArray(kAesBlockSize, '\0'), CipherPadding::Pkcs7);
}

} // namespace services
