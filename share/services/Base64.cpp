#include "share/services/Base64.h"

#include <array>
#include <cstdint>

namespace services {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr int8_t kInvalid = -1;

constexpr std::array<int8_t, 256> makeDecodeTable()
{
    std::array<int8_t, 256> table{};
    table.fill(kInvalid);
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
    return table;
}

constexpr std::array<int8_t, 256> kDecode = makeDecodeTable();

} // namespace

QByteArray base64Encode(const QByteArray& data)
{
    const auto* in = reinterpret_cast<const unsigned char*>(data.constData());
    const qsizetype n = data.size();
    QByteArray out;
    out.reserve((n + 2) / 3 * 4);
    qsizetype i = 0;
    for (; i + 3 <= n; i += 3) {
        const uint32_t v = uint32_t(in[i]) << 16 | uint32_t(in[i + 1]) << 8 | in[i + 2];
        out.append(kAlphabet[v >> 18 & 63]);
        out.append(kAlphabet[v >> 12 & 63]);
        out.append(kAlphabet[v >> 6 & 63]);
        out.append(kAlphabet[v & 63]);
    }
    if (n - i == 1) {
        const uint32_t v = uint32_t(in[i]) << 16;
        out.append(kAlphabet[v >> 18 & 63]);
        out.append(kAlphabet[v >> 12 & 63]);
        out.append("==");
    } else if (n - i == 2) {
        const uint32_t v = uint32_t(in[i]) << 16 | uint32_t(in[i + 1]) << 8;
        out.append(kAlphabet[v >> 18 & 63]);
        out.append(kAlphabet[v >> 12 & 63]);
        out.append(kAlphabet[v >> 6 & 63]);
        out.append('=');
    }
    return out;
}

std::optional<QByteArray> base64Decode(const QByteArray& text)
{
    const qsizetype n = text.size();
    if (n % 4 != 0)
        return std::nullopt;
    qsizetype padding = 0;
    if (n > 0 && text[n - 1] == '=')
        padding = (text[n - 2] == '=') ? 2 : 1;

    QByteArray out;
    out.reserve(n / 4 * 3);
    for (qsizetype i = 0; i < n; i += 4) {
        const bool last = i + 4 == n;
        // Padding stands only in the last group; everything before it must
        // be alphabet characters.
        const qsizetype digits = last ? 4 - padding : 4;
        uint32_t v = 0;
        for (qsizetype k = 0; k < 4; ++k) {
            int8_t d = 0;
            if (k < digits) {
                d = kDecode[static_cast<unsigned char>(text[i + k])];
                if (d == kInvalid)
                    return std::nullopt;
            }
            v = v << 6 | uint32_t(d);
        }
        // A last character that sets bits no byte uses is not what the
        // encoder writes ("QR==" instead of "QQ=="): reject it so that one
        // text has one meaning.
        if ((padding == 1 && last && (v & 0xff) != 0) || (padding == 2 && last && (v & 0xffff) != 0))
            return std::nullopt;
        out.append(char(v >> 16 & 0xff));
        if (digits > 2)
            out.append(char(v >> 8 & 0xff));
        if (digits > 3)
            out.append(char(v & 0xff));
    }
    return out;
}

} // namespace services
